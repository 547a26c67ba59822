// SPDX-License-Identifier: GPL-3.0-or-later
// Every plenar command answers in one JSON document, for success and failure alike, valid
// against docs/plenar-result.schema.json; exit codes are those of the text mode.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <filesystem>

#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

using plenar::test::JsonRun;
using plenar::test::runPlenarJson;
using plenar::test::shellQuoted;
using plenar::test::SimProcess;

TEST(JsonResults, EveryCommandAnswersInOneValidDocument) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  o.extraArgs = {"--read-chunk", "256"};
  SimProcess sim(o);
  TempDir dir;
  dir.write("font.bin", std::string(700, '\x5A'));
  const std::string d = "--dir " + dir.path() + " ";
  const std::string link = d + "--net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  dir.write("empty.bmp", "");
  struct Case {
    std::string args;
    int exitCode;
    std::string command;
    std::string errorKind;  // empty: no error
    std::string field;
    std::string code;  // the stable key scripts read instead of the message
  };
  const std::string none = shellQuoted(dir.file("none.bin"));
  const std::vector<Case> cases{
      {d + "--version", 0, "version", "", "", ""},
      {d + "--paths", 0, "paths", "", "", ""},
      {d + "--help", 0, "help", "", "", ""},
      {d + "list-ports", 0, "list-ports", "", "", ""},
      {d + "list-lpt", 0, "list-lpt", "", "", ""},
      {d + "list-usb", 0, "list-usb", "", "", ""},
      {d + "bogus", 64, "bogus", "usage", "", "unknown-command"},
      {d + "set-codepage CP437", 64, "set-codepage", "usage", "", "missing-argument"},
      {link + "test", 0, "test", "", "", ""},
      {link + "set-codepage cp437", 0, "set-codepage", "", "", ""},
      {link + "net-port -1", 65, "net-port", "refused", "N", "field-limit"},
      {link + "net-ip 300.1.1.1", 65, "net-ip", "refused", "", "ip-invalid"},
      // One code and one exit status per kind of mistake, whichever command makes it: an
      // address that is not four parts in 0..255, a MAC box that is no hex byte, a number out
      // of its range.
      {link + "net-ip 1.2.3", 65, "net-ip", "refused", "", "ip-invalid"},
      {link + "net-mask 255.255", 65, "net-mask", "refused", "", "mask-invalid"},
      {link + "net-gateway 1.2.3", 65, "net-gateway", "refused", "", "gateway-invalid"},
      {link + "wifi-sta --ssid S --ip 1.2.3 --mask 255.255.255.0 --gateway 1.2.3.4", 65,
       "wifi-sta", "refused", "", "ip-invalid"},
      {link + "wifi-sta --ssid S --ip 1.2.3.4 --mask 255.255.255.0 --gateway 1.2.3", 65,
       "wifi-sta", "refused", "", "gateway-invalid"},
      {link + "net-mac GG 00 00 00", 65, "net-mac", "refused", "XX", "hex-invalid"},
      {link + "net-port 1", 64, "net-port", "usage", "", "option-value"},
      {link + "net-port 65536", 64, "net-port", "usage", "", "option-value"},
      {link + "retract-time 999", 64, "retract-time", "usage", "", "option-value"},
      {link + "set-times 0 60", 64, "set-times", "usage", "", "option-value"},
      {link + "set-baud 12345", 64, "set-baud", "usage", "", "option-value"},
      {link + "device '' 1", 65, "device", "refused", "", "device-name-empty"},
      {link + "send --hex 1G", 65, "send", "refused", "--hex", "hex-invalid"},
      // Every input file that is missing or unreadable: 66, whatever reads it.
      {link + "font " + none + " --address 1000", 66, "font", "file", "", "file-missing"},
      {link + "firmware " + none, 66, "firmware", "file", "", "file-missing"},
      {link + "logo-download " + none, 66, "logo-download", "file", "", "file-missing"},
      {link + "apply " + none, 66, "apply", "file", dir.file("none.bin"), "file-missing"},
      {link + "send --file " + shellQuoted(dir.path()), 66, "send", "file", "--file",
       "file-not-regular"},
      {link + "wifi-ap Shop --password-file " + none, 66, "wifi-ap", "file", "--password-file",
       "file-missing"},
      // A file that is there but holds no image is refused for its content.
      {link + "logo-download " + shellQuoted(dir.file("empty.bmp")), 65, "logo-download", "file",
       "", "logo-refused"},
      {d + "--device-baud 1234 --serial /dev/null test", 64, "", "usage", "", "option-value"},
      {d + "--net 127.0.0.1:1 test", 1, "test", "link", "", "link-failed"},
      // An absent printer on every link, and a test that never ran, still give test's fields.
      {d + "--serial /dev/plenar-none test", 1, "test", "link", "", "link-failed"},
      {d + "--usb 'VID_0000&PID_0000' test", 1, "test", "link", "", "link-failed"},
      {d + "--net 127.0.0.1:1 test extra", 64, "test", "usage", "", "argument-count"},
      // Data on the stream the document owns would corrupt it.
      {link + "read-back --address 0 --length 64 /dev/stdout", 64, "read-back", "usage", "",
       "usage"},
      {link + "read-back --address 0 --length 64 /dev/stderr", 64, "read-back", "usage", "",
       "usage"},
      // A command that needs a link and has none, and a link value the link would refuse, are
      // wrong command lines: nothing opens, and a default link is never tried.
      {d + "test", 64, "test", "usage", "", "missing-argument"},
      {d + "run-code 999", 64, "run-code", "usage", "", "missing-argument"},
      {d + "--net 999.1.1.1 test", 64, "", "usage", "", "option-value"},
      {d + "--net 255.255.255.255 test", 64, "", "usage", "", "option-value"},
      {d + "--usb 'VID_1234&PID_811E&A&B1' test", 64, "", "usage", "", "option-value"},
      {d + "--usb 'VID_12&PID_811E' test", 64, "", "usage", "", "option-value"},
      {d + "--serial '' test", 64, "", "usage", "", "missing-argument"},
      // The output file is checked before the printer is read.
      {link + "read-back --address 0 --length 512 " + shellQuoted(dir.file("none/x.bin")), 73,
       "read-back", "file", "OUTFILE", "output-uncreatable"},
      {link + "read-back --address 0 --length 512 " + shellQuoted(dir.path()), 73, "read-back",
       "file", "OUTFILE", "output-uncreatable"},
      // A setting the printer does not confirm finds out first that a printer is there.
      {d + "--net 127.0.0.1:9 net-ip 192.168.1.50", 1, "net-ip", "link", "", "link-failed"},
      {d + "--net 127.0.0.1:9 net-port 9100", 1, "net-port", "link", "", "link-failed"},
  };
  for (const Case& c : cases) {
    JsonRun r = runPlenarJson(c.args);
    EXPECT_EQ(r.schemaProblems, "") << c.args << "\n" << r.out;
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.out << r.err;
    EXPECT_EQ(r.doc.value("exit_code").toInt(), c.exitCode) << c.args;
    EXPECT_EQ(r.doc.value("command").toString().toStdString(), c.command) << c.args;
    const QJsonObject e = r.doc.value("error").toObject();
    EXPECT_EQ(e.value("kind").toString().toStdString(), c.errorKind) << c.args << r.out;
    EXPECT_EQ(e.value("field").toString().toStdString(), c.field) << c.args << r.out;
    EXPECT_EQ(e.value("code").toString().toStdString(), c.code) << c.args << r.out;
    // Nothing but the document on stdout.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << c.args;
  }
}

TEST(JsonResults, ReadBackGivesExactlyTheLengthAskedForAndItsDigest) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  o.extraArgs = {"--read-chunk", "256"};
  SimProcess sim(o);
  TempDir dir;
  const std::string link =
      "--dir " + dir.path() + " --net 127.0.0.1:" + std::to_string(sim.udpPort()) + " --events ";
  // 300 bytes in blocks of 256: the printer's second block brings 212 bytes too many.
  JsonRun r = runPlenarJson(link + "read-back --address 0 --length 300 " +
                            shellQuoted(dir.file("mem.bin")));
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.schemaProblems, "");
  EXPECT_EQ(std::filesystem::file_size(dir.file("mem.bin")), 300u);
  const QJsonObject result = r.doc.value("result").toObject();
  EXPECT_EQ(result.value("bytes").toInt(), 300);
  EXPECT_EQ(result.value("sha256").toString().size(), 64);
  // Progress never reads past the end: no "(2/1)" after 512 of 300 bytes.
  EXPECT_NE(r.err.find("\"event\":\"progress\""), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("(2/1)"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("\"done\":512"), std::string::npos) << r.err;
}

TEST(JsonResults, APortHeldByAnotherProgramIsBusy) {
  SimProcess sim;
  TempDir dir;
  // The till software has the port: it holds the lock every serial user takes.
  const int held = ::open(sim.serialPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  JsonRun r =
      runPlenarJson("--dir " + dir.path() + " --serial " + shellQuoted(sim.serialPath()) + " test");
  ::close(held);
  EXPECT_EQ(r.schemaProblems, "");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  const QJsonObject e = r.doc.value("error").toObject();
  EXPECT_EQ(e.value("kind").toString(), "busy") << r.out;
  EXPECT_FALSE(e.value("detail").toString().isEmpty()) << r.out;
}

TEST(JsonResults, AFailureThatStandsForAnotherNamesItAsItsDetail) {
  // The printer hears nothing: the rate switch of the link test goes unacknowledged.
  SimProcess::Options o;
  o.extraArgs = {"--fault", "silent"};
  SimProcess sim(o);
  TempDir dir;
  JsonRun r =
      runPlenarJson("--dir " + dir.path() + " --serial " + shellQuoted(sim.serialPath()) + " test");
  EXPECT_EQ(r.schemaProblems, "");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  const QJsonObject e = r.doc.value("error").toObject();
  EXPECT_EQ(e.value("kind").toString(), "link") << r.out;
  EXPECT_EQ(e.value("message").toString(), "Connecting Failed") << r.out;
  const std::string cause =
      sim.serialPath() + ": Set Baudrate Failed: switching to 115200 bit/s: Download Data Failed";
  EXPECT_EQ(e.value("detail").toString().toStdString(), cause) << r.out;
  EXPECT_NE(r.err.find("Connecting Failed\n" + cause + "\n"), std::string::npos) << r.err;
  EXPECT_NE(dir.read("debug.log").find("Connecting Failed: " + cause + " "), std::string::npos)
      << dir.read("debug.log");
}

// A signal while an apply waits for another apply's record lock: the wait ends, nothing is sent,
// and the process leaves its one document, saying what its status says. (Under
// ThreadSanitizer this also catches the signal watcher reading what the main thread's exit
// tears down.)
TEST(JsonResults, ASignalThatEndsTheProcessLeavesItsDocument) {
  TempDir dir;
  dir.write("p.ini", "[ParaDefault]\nRptTime=9\n");
  const int held = ::open(dir.file("rec.json.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  const std::string run = plenar::test::plenarCommandLine(
                              "--json --dir " + shellQuoted(dir.path()) +
                              " --net 127.0.0.1:9 apply " + shellQuoted(dir.file("p.ini")) +
                              " --record " + shellQuoted(dir.file("rec.json")) + " --wait 30") +
                          " >" + shellQuoted(dir.file("out.json")) + " 2>/dev/null";
  auto r = plenar::test::runShell(run + " & pid=$!; sleep 1; kill -TERM $pid; wait $pid; echo $?");
  ::close(held);
  EXPECT_EQ(r.output, "143\n");
  const std::string text = dir.read("out.json");
  EXPECT_EQ(plenar::test::schemaProblems(text), "") << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
  EXPECT_EQ(doc.value("exit_code").toInt(), 143) << text;
  EXPECT_EQ(doc.value("error").toObject().value("kind").toString(), "interrupted") << text;
}

SimProcess::Options udpOnly() {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  return o;
}

TEST(JsonResults, ACommandThePrinterDoesNotConfirmSaysSoAfterALinkTest) {
  SimProcess sim(udpOnly());
  TempDir dir;
  const std::string link =
      "--dir " + dir.path() + " --net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  struct Case {
    std::string args;
    bool confirmed;
  };
  for (const Case& c : {Case{"net-port 9100", false}, Case{"black-mark on", false},
                        Case{"set-codepage cp437", true}}) {
    JsonRun r = runPlenarJson(link + c.args);
    ASSERT_EQ(r.exitCode, 0) << c.args << r.out << r.err;
    EXPECT_EQ(r.schemaProblems, "") << r.out;
    EXPECT_EQ(r.doc.value("result").toObject().value("confirmed").toBool(), c.confirmed)
        << c.args << r.out;
    // The link test found the printer before the unanswered bytes went out.
    EXPECT_FALSE(r.doc.value("printer").toObject().value("model_tag").toString().isEmpty())
        << c.args << r.out;
    EXPECT_EQ(r.err.find("does not confirm") != std::string::npos, !c.confirmed) << r.err;
  }
}

TEST(JsonResults, AnAnswerThatCannotBeWrittenFailsTheRun) {
  SimProcess sim(udpOnly());
  TempDir dir;
  const std::string d = "--dir " + dir.path() + " ";
  const std::string link = d + "--net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  using plenar::test::plenarCommandLine;
  using plenar::test::runShell;
  for (const std::string& line :
       {plenarCommandLine(d + "profile keys") + " >/dev/full 2>/dev/null",
        plenarCommandLine(d + "--paths") + " >/dev/full 2>/dev/null",
        plenarCommandLine(link + "--json test") + " >/dev/full 2>/dev/null",
        plenarCommandLine(link + "test") + " 2>/dev/full"}) {
    EXPECT_EQ(runShell(line).exitCode, 74) << line;
  }
  // The same runs with somewhere to write succeed.
  EXPECT_EQ(runShell(plenarCommandLine(link + "test") + " 2>/dev/null").exitCode, 0);
}
