// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's conventions: short options, "-" for standard output, hints for misspelt
// words, JSON-only stderr with --events, and texts in the chosen language (one code per kind
// of refusal is in the JSON results' table).

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <filesystem>
#include <string>
#include <vector>

#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

using plenar::test::plenarCommandLine;
using plenar::test::runShell;
using plenar::test::shellQuoted;
using plenar::test::SimProcess;

namespace {

struct CliRun {
  int exitCode;
  std::string out;
};

// stdout and stderr together.
CliRun plenarRun(const std::string& args) {
  auto r = runShell(plenarCommandLine(args) + " 2>&1");
  return {r.exitCode, r.output};
}

SimProcess::Options udpSim() {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  o.extraArgs = {"--read-chunk", "256"};
  return o;
}

}  // namespace

TEST(CliConventions, ShortVersionAndHintsForMisspeltWords) {
  TempDir dir;
  const std::string d = "--dir " + dir.path() + " ";
  const CliRun longForm = plenarRun(d + "--version");
  const CliRun shortForm = plenarRun(d + "-V");
  EXPECT_EQ(shortForm.exitCode, 0) << shortForm.out;
  EXPECT_EQ(shortForm.out, longForm.out);
  struct Case {
    std::string args;
    std::string hint;
  };
  const std::vector<Case> cases{
      {"--jsn test", "did you mean `--json`?"},
      {"--verison", "did you mean `--version`?"},
      {"tset", "did you mean `test`?"},
      {"set-flwo hard", "did you mean `set-flow`?"},
      {"--net 127.0.0.1:9 firmware f.bin --force-firmwar", "did you mean `--force-firmware`?"},
      {"--net 127.0.0.1:9 test --evnets", "did you mean `--events`?"},
  };
  for (const Case& c : cases) {
    const CliRun r = plenarRun(d + c.args);
    EXPECT_EQ(r.exitCode, 64) << c.args;
    EXPECT_NE(r.out.find(c.hint), std::string::npos) << c.args << "\n" << r.out;
  }
}

TEST(CliConventions, ReadBackToADashWritesTheMemoryOnStdout) {
  SimProcess sim(udpSim());
  TempDir dir;
  const std::string link =
      "--dir " + dir.path() + " --net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  ASSERT_EQ(
      plenarRun(link + "read-back --address 0 --length 300 " + shellQuoted(dir.file("mem.bin")))
          .exitCode,
      0);
  const std::string expected = dir.read("mem.bin");
  ASSERT_EQ(expected.size(), 300u);
  // Run from the temporary folder: a file named "-" would land there.
  auto r =
      runShell("cd " + shellQuoted(dir.path()) + " && " +
               plenarCommandLine(link + "read-back --address 0 --length 300 -") + " 2>/dev/null");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, expected);
  EXPECT_FALSE(std::filesystem::exists(dir.file("-")));
  // With --json the document owns stdout.
  const CliRun json = plenarRun(link + "--json read-back --address 0 --length 300 -");
  EXPECT_EQ(json.exitCode, 64) << json.out;
}

TEST(CliConventions, WithEventsEveryStderrLineIsAJsonObject) {
  SimProcess sim(udpSim());
  TempDir dir;
  dir.write("prof.ini", "[ParaDefault]\nCodePage=CP437\nFlowcontrol=hard\nPaperSizeType=3\n");
  const std::string link = "--dir " + dir.path() +
                           " --net 127.0.0.1:" + std::to_string(sim.udpPort()) +
                           " --events --lang en ";
  const std::vector<std::string> runs{
      link + "apply --force " + shellQuoted(dir.file("prof.ini")),
      link + "set-flow hard",
      link + "net-port 9100",
      link + "read-back --address 0 --length 300 " + shellQuoted(dir.file("mem.bin")),
      link + "net-ip 1.2.3",
      link + "tset",
      "--dir " + dir.path() + " --events --net 127.0.0.1:9 set-flow hard",
  };
  for (const std::string& args : runs) {
    auto r = runShell(plenarCommandLine(args) + " 2>&1 >/dev/null");
    ASSERT_FALSE(r.output.empty()) << args;
    std::size_t start = 0;
    while (start < r.output.size()) {
      const std::size_t end = r.output.find('\n', start);
      const std::string line = r.output.substr(start, end - start);
      const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
      EXPECT_TRUE(doc.isObject() && doc.object().contains("event")) << args << "\n" << line;
      if (end == std::string::npos) break;
      start = end + 1;
    }
    EXPECT_EQ(plenar::test::schemaProblems(r.output, true), "") << args;
  }
}

namespace {

// The first Han character of `text` (CJK ideographs and their punctuation), or "".
std::string firstHan(const std::string& text) {
  for (const QChar c : QString::fromUtf8(text)) {
    const char16_t u = c.unicode();
    if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
        (u >= 0xFF00 && u <= 0xFFEF))
      return QString(c).toStdString();
  }
  return {};
}

}  // namespace

TEST(CliConventions, EverySettingSaysWhatItDidInEnglish) {
  SimProcess sim(udpSim());
  TempDir dir;
  dir.write("psw", "secret123\n");
  std::filesystem::permissions(
      dir.file("psw"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  dir.write("prof.ini", "[ParaDefault]\nFlowcontrol=hard\nPaperSizeType=3\nEthernet=on\n");
  const std::string link =
      "--dir " + dir.path() + " --lang en --net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  struct Case {
    std::string args;
    std::string says;  // a text the output must hold; empty: any
  };
  const std::string psw = " --password-file " + shellQuoted(dir.file("psw"));
  const std::vector<Case> cases{
      {"set-flow hard", "Flow control set"},
      {"set-codepage CP437", ""},
      {"set-switches --cutter on", ""},
      {"set-times 60 7200", ""},
      {"set-all", ""},
      {"reset-defaults", ""},
      {"bluetooth --name Shop", ""},
      {"bt-workmode normal", "Bluetooth work mode set"},
      {"bt-commands AT", ""},
      {"wifi-ap Shop" + psw, ""},
      {"wifi-off", "Wi-Fi switched off"},
      {"wifi-sta --ssid Shop --dhcp" + psw, ""},
      {"net-ip 192.168.1.50", ""},
      {"net-mask 255.255.255.0", ""},
      {"net-gateway 192.168.1.1", ""},
      {"net-port 9100", ""},
      {"net-mac 01 02 03 04", ""},
      {"ethernet on", "Setting done"},
      {"infrared on", ""},
      {"device Shop 123", ""},
      {"usb-type printer", ""},
      {"paper-type receipt", ""},
      {"print-order normal", ""},
      {"retract-time 30", ""},
      {"paper-size 3", "Print size switched"},
      {"bt-hide on", ""},
      {"black-mark on", ""},
      {"black-mark-distance 500", ""},
      {"black-mark-width 50", ""},
      {"cutter-feed 100", ""},
      {"find-mark", ""},
      {"find-mark-cut", ""},
      {"test-page", ""},
      {"send --text hi", ""},
      {"read-back --address 0 --length 16 " + shellQuoted(dir.file("m.bin")),
       "Read printer memory"},
      {"apply --force " + shellQuoted(dir.file("prof.ini")), "Setting done"},
  };
  for (const Case& c : cases) {
    const CliRun r = plenarRun(link + c.args);
    EXPECT_EQ(r.exitCode, 0) << c.args << "\n" << r.out;
    EXPECT_EQ(firstHan(r.out), "") << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
  }
}
