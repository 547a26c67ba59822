// SPDX-License-Identifier: GPL-3.0-or-later
// The apply record never claims what the printer does not hold: a record that cannot be written,
// two applies at once, a planted link, a printer reset behind the record's back, another printer
// on the same port. Each case ends by asking the record (--check) about the printer's real state.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>

#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

using plenar::test::JsonRun;
using plenar::test::runPlenarJson;
using plenar::test::shellQuoted;
using plenar::test::SimProcess;
using plenar::test::stateAt;
namespace fs = std::filesystem;

namespace {

// Code page items as the printer stores them.
constexpr int kCp437 = 0;
constexpr int kCp850 = 2;

const char* kCp437Profile = "[ParaDefault]\nCodePage=CP437\nRptTime=20\n";
const char* kCp850Profile = "[ParaDefault]\nCodePage=CP850\nRptTime=20\n";

QJsonObject result(const JsonRun& r) {
  return r.doc.value("result").toObject();
}

QString errorKind(const JsonRun& r) {
  return r.doc.value("error").toObject().value("kind").toString();
}

std::string stepStatus(const JsonRun& r, const QString& group, const char* field = "status") {
  for (const auto& s : result(r).value("steps").toArray()) {
    const QJsonObject o = s.toObject();
    if (o.value("group").toString() == group) {
      return o.value(field).isBool() ? (o.value(field).toBool() ? "true" : "false")
                                     : o.value(field).toString().toStdString();
    }
  }
  return "absent";
}

std::size_t frames(const SimProcess& sim) {
  std::size_t n = 0;
  for (const auto& r : sim.records()) n += r.value("kind").toString() == "frame";
  return n;
}

struct Bench {
  TempDir dir;
  std::string stateDir = dir.file("state");

  JsonRun apply(const std::string& link, const std::string& profile,
                const std::string& extra = "") const {
    const std::string name = "p" + std::to_string(std::hash<std::string>{}(profile)) + ".ini";
    dir.write(name, profile);
    JsonRun r = runPlenarJson("--dir " + shellQuoted(stateDir) + " " + link + " apply " +
                              shellQuoted(dir.file(name)) + " " + extra);
    EXPECT_EQ(r.schemaProblems, "") << r.out;
    return r;
  }

  // What the record says about the code page against what the printer holds: a record may
  // forget, never claim a value the printer does not have.
  void expectRecordTrue(const std::string& link, const SimProcess& sim,
                        const std::string& extra = "") const {
    const int held = stateAt(sim.state(), {"settings"}).value("codePage").toInt();
    for (const auto& [profile, code] :
         {std::pair{kCp437Profile, kCp437}, {kCp850Profile, kCp850}}) {
      JsonRun check = apply(link, profile, "--check " + extra);
      ASSERT_EQ(check.exitCode, 0) << check.out << check.err;
      if (stepStatus(check, "codepage", "would_change") == "false") {
        EXPECT_EQ(held, code) << "the record claims a code page the printer does not hold";
      }
    }
  }
};

std::string net(const SimProcess& sim) {
  return "--net 127.0.0.1:" + std::to_string(sim.udpPort());
}

SimProcess::Options udpOnly(std::vector<std::string> extra = {}) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  o.extraArgs = std::move(extra);
  return o;
}

// Replaces every `from` in a file by `to` (a record moved to another simulator's port).
void rewrite(const std::string& path, const std::string& from, const std::string& to) {
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  std::ofstream(path, std::ios::trunc) << text;
}

}  // namespace

TEST(ApplyTruth, ARecordThatCannotBeWrittenFailsTheRunAndNeverStaysOlderThanThePrinter) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
  SimProcess sim(udpOnly());
  Bench bench;
  fs::create_directory(bench.stateDir);
  if (::mount("tmpfs", bench.stateDir.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "tmpfs cannot be mounted here";
  }
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{bench.stateDir};

  ASSERT_EQ(bench.apply(net(sim), kCp437Profile).exitCode, 0);
  // Fill the disk: nothing more can be written there.
  {
    std::ofstream filler(bench.stateDir + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 32 && filler; ++i) filler << block << std::flush;
  }
  JsonRun full = bench.apply(net(sim), kCp850Profile);
  EXPECT_NE(full.exitCode, 0) << full.out;
  EXPECT_EQ(errorKind(full), "file") << full.out;
  EXPECT_NE(full.doc.value("error").toObject().value("message").toString().indexOf("apply/"), -1);
  fs::remove(bench.stateDir + "/filler");
  bench.expectRecordTrue(net(sim), sim);

  // A read-only record folder: refused before the first byte of the code page.
  ASSERT_EQ(::mount(nullptr, bench.stateDir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  const int before = stateAt(sim.state(), {"settings"}).value("codePage").toInt();
  JsonRun readOnly = bench.apply(net(sim), before == kCp850 ? kCp437Profile : kCp850Profile);
  EXPECT_EQ(readOnly.exitCode, 1) << readOnly.out;
  EXPECT_EQ(errorKind(readOnly), "file");
  EXPECT_EQ(stateAt(sim.state(), {"settings"}).value("codePage").toInt(), before);
  bench.expectRecordTrue(net(sim), sim);
}

TEST(ApplyTruth, TwoAppliesToOnePrinterTakeTurnsAndTheLaterRecordWins) {
  SimProcess sim(udpOnly({"--fault", "delay:150"}));
  Bench bench;
  const std::string slow =
      "[ParaDefault]\nCodePage=CP850\nRptTime=20\nsleepTime=300\npoweroffTime=7200\n"
      "PaperType=receipt\nPrinterOrder=normal\n";
  auto first = std::async(std::launch::async, [&] { return bench.apply(net(sim), slow); });
  // The first holds the record's lock while it sends (each reply takes 150 ms): the code page
  // goes first, the others follow.
  sim.waitForState([](const QJsonObject& s) {
    return stateAt(s, {"settings"}).value("codePage").toInt() == kCp850;
  });
  JsonRun impatient = bench.apply(net(sim), kCp437Profile, "--wait 0");
  EXPECT_EQ(impatient.exitCode, 1) << impatient.out;
  EXPECT_EQ(errorKind(impatient), "busy") << impatient.out;
  EXPECT_EQ(impatient.err.find("link test"), std::string::npos) << "the busy run sent something";

  JsonRun patient = bench.apply(net(sim), kCp437Profile, "--wait 30");
  JsonRun firstRun = first.get();
  ASSERT_EQ(firstRun.exitCode, 0) << firstRun.out << firstRun.err;
  ASSERT_EQ(patient.exitCode, 0) << patient.out << patient.err;
  EXPECT_EQ(stepStatus(patient, "codepage"), "done");
  EXPECT_EQ(stateAt(sim.state(), {"settings"}).value("codePage").toInt(), kCp437);
  bench.expectRecordTrue(net(sim), sim);
}

TEST(ApplyTruth, ARecordThatIsALinkOrNotAFileIsRefusedAndTemporariesAreCleared) {
  SimProcess sim(udpOnly());
  Bench bench;
  ASSERT_EQ(bench.apply(net(sim), kCp437Profile).exitCode, 0);
  const std::string record = result(bench.apply(net(sim), kCp437Profile))
                                 .value("record")
                                 .toObject()
                                 .value("path")
                                 .toString()
                                 .toStdString();
  struct stat st {};
  ASSERT_EQ(::stat(fs::path(record).parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(record.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A temporary file of a killed run is removed by the next one.
  const std::string leftover =
      fs::path(record).parent_path() / ("." + fs::path(record).filename().string() + ".tmp.AbCdEf");
  std::ofstream(leftover) << "{";
  ASSERT_EQ(bench.apply(net(sim), kCp437Profile).exitCode, 0);
  EXPECT_FALSE(fs::exists(leftover));

  // A record replaced by a link to someone's file: refused, the file untouched, nothing sent.
  bench.dir.write("victim", "precious");
  fs::remove(record);
  fs::create_symlink(bench.dir.file("victim"), record);
  const std::size_t sent = frames(sim);
  JsonRun linked = bench.apply(net(sim), kCp850Profile);
  EXPECT_EQ(linked.exitCode, 1) << linked.out;
  EXPECT_EQ(errorKind(linked), "file");
  EXPECT_EQ(bench.dir.read("victim"), "precious");
  EXPECT_EQ(frames(sim), sent);

  // --record names a file: not a stream, not nothing.
  for (const char* bad : {"--record /dev/stdout", "--record ''", "--record /dev/null"}) {
    SCOPED_TRACE(bad);
    JsonRun r = bench.apply(net(sim), kCp850Profile, bad);
    EXPECT_EQ(r.exitCode, 64) << r.out;
    EXPECT_EQ(errorKind(r), "usage");
  }
  EXPECT_EQ(frames(sim), sent);
}

TEST(ApplyTruth, APrinterResetBehindTheRecordsBackGetsEveryGroup) {
  Bench bench;
  const std::string record = bench.dir.file("rec.json");
  const std::string profile = "[ParaDefault]\nBaudRate=115200\nRptTime=30\n";
  std::string oldPath;
  {
    SimProcess sim;
    oldPath = sim.serialPath();
    const std::string link = "--serial " + shellQuoted(oldPath) + " --device-baud 9600";
    JsonRun first = bench.apply(link, profile, "--record " + record);
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_EQ(result(first).value("link_after").toObject().value("device_baud").toInt(), 115200);
  }
  // The same port, a printer back at its factory rate.
  SimProcess sim;
  rewrite(record, oldPath, sim.serialPath());
  const std::string link = "--serial " + shellQuoted(sim.serialPath()) + " --device-baud 9600";
  JsonRun again = bench.apply(link, profile, "--record " + record);
  ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_TRUE(result(again).value("record_stale").toBool());
  EXPECT_TRUE(result(again).value("link_redirected").toBool());
  EXPECT_FALSE(result(again).value("state_known").toBool());
  EXPECT_EQ(stepStatus(again, "baud"), "done");
  EXPECT_EQ(stepStatus(again, "retract-time"), "done");
  EXPECT_EQ(stateAt(sim.state(), {"settings"}).value("retractionTime").toInt(), 30);
}

TEST(ApplyTruth, AnotherPrinterOnThePortIsFoundWithVerifyAndTheModelTagIsOnlyWhatAnswered) {
  Bench bench;
  const std::string record = bench.dir.file("rec.json");
  int oldPort = 0;
  {
    SimProcess sim(udpOnly());
    oldPort = sim.udpPort();
    ASSERT_EQ(bench.apply(net(sim), kCp437Profile, "--record " + record).exitCode, 0);
    // Nothing asked, nothing reported: the record's tag is not the printer's answer.
    JsonRun rerun = bench.apply(net(sim), kCp437Profile, "--record " + record);
    EXPECT_FALSE(result(rerun).value("changed").toBool());
    const QJsonValue tag = rerun.doc.value("printer").toObject().value("model_tag");
    EXPECT_TRUE(tag.isNull() || tag.isUndefined()) << rerun.out;
  }
  SimProcess::Options o = udpOnly();
  o.model = "OTHER58";
  SimProcess other(o);
  rewrite(record, "\"port\": " + std::to_string(oldPort),
          "\"port\": " + std::to_string(other.udpPort()));
  JsonRun plain = bench.apply(net(other), kCp437Profile, "--record " + record);
  EXPECT_FALSE(result(plain).value("changed").toBool()) << plain.out;
  EXPECT_EQ(frames(other), 0u);

  JsonRun verified = bench.apply(net(other), kCp437Profile, "--record " + record + " --verify");
  ASSERT_EQ(verified.exitCode, 0) << verified.out << verified.err;
  EXPECT_TRUE(result(verified).value("changed").toBool());
  EXPECT_EQ(verified.doc.value("printer").toObject().value("model_tag").toString(), "OTHER58");
  EXPECT_EQ(stepStatus(verified, "codepage"), "done");
}

TEST(ApplyTruth, PasswordGroupsAreRecordedWithAKeyedHashAndOlderEntriesAreSentOnce) {
  SimProcess sim(udpOnly());
  Bench bench;
  const std::string profile = "[ParaDefault]\nNetworkName=shop\nNetworkPsw=Kanary-77q\n";
  JsonRun first = bench.apply(net(sim), profile);
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  const std::string record =
      result(first).value("record").toObject().value("path").toString().toStdString();
  std::ifstream in(record);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("\"hmac_sha256\""), std::string::npos) << text;
  struct stat st {};
  ASSERT_EQ(::stat((bench.stateDir + "/record.key").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(stepStatus(bench.apply(net(sim), profile), "wifi-ap"), "skipped");

  // A record of the previous version hashed the password without a key: sent once, then known.
  rewrite(record, "\"hmac_sha256\"", "\"sha256\"");
  EXPECT_EQ(stepStatus(bench.apply(net(sim), profile), "wifi-ap"), "done");
  EXPECT_EQ(stepStatus(bench.apply(net(sim), profile), "wifi-ap"), "skipped");
  // Another machine's key (here: a new one) matches nothing.
  fs::remove(bench.stateDir + "/record.key");
  EXPECT_EQ(stepStatus(bench.apply(net(sim), profile), "wifi-ap"), "done");
}

TEST(ApplyTruth, FortyKillsAtRandomMomentsNeverLeaveARecordThatClaimsTooMuch) {
  SimProcess sim(udpOnly({"--fault", "delay:40"}));
  Bench bench;
  struct Variant {
    const char* profile;
    int codePage;
    int retraction;
  };
  const Variant variants[] = {
      {"[ParaDefault]\nCodePage=CP437\nRptTime=20\nsleepTime=300\npoweroffTime=7200\n", kCp437, 20},
      {"[ParaDefault]\nCodePage=CP850\nRptTime=40\nsleepTime=600\npoweroffTime=3600\n", kCp850, 40},
      {"[ParaDefault]\nCodePage=CP437\nRptTime=40\nsleepTime=300\npoweroffTime=3600\n", kCp437, 40},
  };
  for (const Variant& v : variants)
    bench.dir.write(std::to_string(v.retraction + v.codePage) + ".ini", v.profile);
  std::mt19937 random(20261208);
  const std::string plenar = plenar::test::binaryPath("plenar");
  const std::string link = "127.0.0.1:" + std::to_string(sim.udpPort());
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const Variant& v = variants[random() % 3];
    const std::string profile = bench.dir.file(std::to_string(v.retraction + v.codePage) + ".ini");
    std::vector<std::string> args = {plenar, "--dir", bench.stateDir, "--net",
                                     link,   "apply", profile};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, plenar.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 400));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);

    // The record against the printer's real state, for every variant.
    const QJsonObject held = stateAt(sim.state(), {"settings"});
    for (const Variant& asked : variants) {
      const std::string name = std::to_string(asked.retraction + asked.codePage) + ".ini";
      JsonRun check = runPlenarJson("--dir " + shellQuoted(bench.stateDir) + " --net " + link +
                                    " apply " + shellQuoted(bench.dir.file(name)) + " --check");
      ASSERT_EQ(check.exitCode, 0) << check.out << check.err;
      if (stepStatus(check, "codepage", "would_change") == "false") {
        EXPECT_EQ(held.value("codePage").toInt(), asked.codePage);
      }
      if (stepStatus(check, "retract-time", "would_change") == "false") {
        EXPECT_EQ(held.value("retractionTime").toInt(), asked.retraction);
      }
    }
  }
  // And a rerun finishes what the kills left: the printer and the record agree.
  JsonRun last = bench.apply("--net " + link, variants[1].profile);
  ASSERT_EQ(last.exitCode, 0) << last.out << last.err;
  EXPECT_EQ(stateAt(sim.state(), {"settings"}).value("retractionTime").toInt(), 40);
  EXPECT_EQ(stepStatus(bench.apply("--net " + link, variants[1].profile), "codepage"), "skipped");
}

TEST(ApplyTruth, TheRecordOfALinkIsNamedByPlenarItself) {
  Bench bench;
  bench.dir.write("p.ini", kCp437Profile);
  const std::string link = "--dir " + shellQuoted(bench.stateDir) + " --net 10.1.2.3:5100 ";
  JsonRun paths = runPlenarJson(link + "--paths");
  ASSERT_EQ(paths.exitCode, 0) << paths.out;
  EXPECT_EQ(paths.schemaProblems, "");
  const QJsonObject record = result(paths).value("apply_record").toObject();
  EXPECT_EQ(record.value("path").toString().toStdString(),
            bench.stateDir + "/apply/net-10.1.2.3-5100.json");
  EXPECT_FALSE(record.value("exists").toBool());

  JsonRun moved = runPlenarJson(link + "apply " + shellQuoted(bench.dir.file("p.ini")) +
                                " --check --record-dir " + shellQuoted(bench.dir.file("recs")));
  ASSERT_EQ(moved.exitCode, 0) << moved.out;
  EXPECT_EQ(result(moved).value("record").toObject().value("path").toString().toStdString(),
            bench.dir.file("recs") + "/net-10.1.2.3-5100.json");
  JsonRun both = runPlenarJson(link + "apply " + shellQuoted(bench.dir.file("p.ini")) +
                               " --check --record-dir x --record y");
  EXPECT_EQ(both.exitCode, 64);
}

TEST(ApplyTruth, ASerialPortLockedByAnotherProgramIsLeftAlone) {
  SimProcess sim;
  Bench bench;
  const std::string locks = bench.dir.file("locks");
  fs::create_directory(locks);
  char* real = ::realpath(sim.serialPath().c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  std::string device = real;
  std::free(real);
  std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
  for (char& c : name) c = c == '/' ? '_' : c;
  // minicom's lock, held by a process that runs (this test's parent).
  std::ofstream(locks + "/LCK.." + name) << std::to_string(::getppid()) << "\n";
  const std::string link = "--serial " + shellQuoted(sim.serialPath()) + " --device-baud 9600";
  bench.dir.write("p.ini", kCp850Profile);
  JsonRun r = runPlenarJson("--dir " + shellQuoted(bench.stateDir) + " " + link + " apply " +
                                shellQuoted(bench.dir.file("p.ini")) + " --wait 0",
                            "PLENAR_LOCK_DIR=" + shellQuoted(locks));
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_EQ(errorKind(r), "busy");
  EXPECT_EQ(frames(sim), 0u);
  // Once the lock is gone the apply takes the port, and gives the lock back.
  fs::remove(locks + "/LCK.." + name);
  JsonRun ok = runPlenarJson("--dir " + shellQuoted(bench.stateDir) + " " + link + " apply " +
                                 shellQuoted(bench.dir.file("p.ini")),
                             "PLENAR_LOCK_DIR=" + shellQuoted(locks));
  EXPECT_EQ(ok.exitCode, 0) << ok.out << ok.err;
  EXPECT_TRUE(fs::is_empty(locks));
}

TEST(ApplyTruth, WifiStationAfterAccessPointIsSentAgain) {
  // The printer keeps one Wi-Fi mode: a record that still held the station after the access
  // point went out would call the station "unchanged" while the printer serves its access point.
  SimProcess sim(udpOnly());
  Bench bench;
  const std::string station =
      "[ParaDefault]\nSSID=Shop\nStaModePsw=Pw123456\nIpType=dhcp\nPort=9100\n";
  const std::string accessPoint = "[ParaDefault]\nNetworkName=ShopAP\nNetworkPsw=Pw654321\n";
  for (const auto& [profile, mode] :
       {std::pair{station, "station"}, {accessPoint, "ap"}, {station, "station"}}) {
    JsonRun r = bench.apply(net(sim), profile);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(stateAt(sim.state(), {"settings", "wifi"}).value("mode").toString().toStdString(), mode)
        << r.out;
  }
}

TEST(ApplyTruth, TwoNamesOfOneSerialPortShareOneRecord) {
  SimProcess sim;
  Bench bench;
  const std::string alias = bench.dir.file("ttyALIAS");
  ASSERT_EQ(::symlink(sim.serialPath().c_str(), alias.c_str()), 0);
  const std::string byName = "--serial " + shellQuoted(sim.serialPath());
  const std::string byAlias = "--serial " + shellQuoted(alias);
  ASSERT_EQ(bench.apply(byName, kCp437Profile).exitCode, 0);
  JsonRun other = bench.apply(byAlias, kCp850Profile);
  ASSERT_EQ(other.exitCode, 0) << other.out << other.err;
  EXPECT_EQ(stepStatus(other, "codepage"), "done");
  EXPECT_EQ(stepStatus(other, "retract-time"), "skipped") << "one record for both names";
  bench.expectRecordTrue(byName, sim);
  bench.expectRecordTrue(byAlias, sim);
}

TEST(ApplyTruth, PlenarsOwnCommandsMakeTheRecordForgetWhatTheyChange) {
  // Each command after an apply of the whole profile: the groups it changed are sent again by
  // the next apply, the others stay unchanged.
  struct Case {
    std::string command;
    std::vector<QString> changed;
  };
  const std::string profile = "[ParaDefault]\nCodePage=CP437\nRptTime=20\nPaperType=receipt\n";
  for (const Case& c : {Case{"set-codepage cp850", {"codepage"}},
                        Case{"retract-time 40", {"retract-time"}},
                        Case{"paper-type label", {"paper-type"}},
                        Case{"reset-defaults", {"codepage", "retract-time", "paper-type"}},
                        Case{"test", {}}}) {
    SimProcess sim(udpOnly());
    Bench bench;
    ASSERT_EQ(bench.apply(net(sim), profile, "--force").exitCode, 0);
    JsonRun cmd =
        runPlenarJson("--dir " + shellQuoted(bench.stateDir) + " " + net(sim) + " " + c.command);
    ASSERT_EQ(cmd.exitCode, 0) << c.command << cmd.out << cmd.err;
    JsonRun check = bench.apply(net(sim), profile, "--check");
    ASSERT_EQ(check.exitCode, 0) << check.out;
    for (const QString group : {"codepage", "retract-time", "paper-type"}) {
      const bool changed = std::find(c.changed.begin(), c.changed.end(), group) != c.changed.end();
      EXPECT_EQ(stepStatus(check, group, "would_change"), changed ? "true" : "false")
          << c.command << " " << group.toStdString();
    }
  }
}
