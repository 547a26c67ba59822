// SPDX-License-Identifier: GPL-3.0-or-later
// plenar batch against a stream of simulated printers: ten in a row on a serial port that comes
// and goes and on a factory network address, one of them pulled out part-way; kills of the
// bench between and during printers, failed numbers handed out again, counters that contradict
// themselves or were moved away, and a state folder that cannot be written. No serial number is
// ever handed out twice.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <thread>

#include "BatchSerials.h"
#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

using plenar::test::binaryPath;
using plenar::test::SimProcess;
using plenar::test::stateAt;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kProfile = "[ParaDefault]\nCodePage=CP437\nRptTime=20\n";
constexpr int kCp437 = 0;

// A free UDP port on 127.0.0.1 for the factory address.
int freeUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// plenar batch as a child process; stopped by its PID when the test is done with it.
class Bench {
 public:
  // `extra`: the link to watch and the bench's options; `state`: the counter, in `dir`.
  Bench(const TempDir& dir, const std::vector<std::string>& extra,
        const std::string& state = "batch.json") {
    std::vector<std::string> args = {binaryPath("plenar"), "--dir", dir.file("state")};
    args.insert(args.end(), {"batch", dir.file("shop.ini"), "--name", "Till {n:4}", "--state",
                             dir.file(state), "--report", dir.file("report.jsonl")});
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = dir.file("out.txt"), err = dir.file("err.txt");
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Bench() {
    if (pid_ > 0) kill(SIGKILL);
  }
  // The exit status, or -1 when it did not end within `limit` (it is then killed).
  int wait(std::chrono::seconds limit) {
    if (ended_) return *ended_;
    const auto until = Clock::now() + limit;
    while (pid_ > 0 && Clock::now() < until) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(SIGKILL);
    return -1;
  }
  // Waits (at most 60 s) until the bench waits for its first printer: a printer attached before
  // that would be left alone.
  static bool waiting(const TempDir& dir) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < until) {
      if (dir.read("err.txt").find("waiting for printer") != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // As waiting(), for a bench that may refuse to start: false once it has ended.
  bool waitingUnlessEnded(const TempDir& dir) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < until && !ended_) {
      if (dir.read("err.txt").find("waiting for printer") != std::string::npos) return true;
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        ended_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  void kill(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> ended_;
};

Json readJson(const std::string& path) {
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  return Json::parse(text, nullptr, false);
}

std::vector<Json> reportLines(const TempDir& dir) {
  std::vector<Json> out;
  std::ifstream in(dir.file("report.jsonl"));
  for (std::string line; std::getline(in, line);) out.push_back(Json::parse(line));
  return out;
}

// The stream of simulated printers on the link of `serial` (else the factory address `port`);
// printer n keeps its state in dir/<prefix>n.json.
SimProcess::Options stream(const TempDir& dir, bool serial, int port, int printers,
                           std::vector<std::string> extra = {},
                           const std::string& prefix = "printer") {
  SimProcess::Options o;
  o.serial = false;
  o.udp = false;
  o.extraArgs = {"--state",
                 dir.file(prefix + "{n}.json"),
                 "--stream",
                 std::to_string(printers),
                 "--stream-idle-ms",
                 serial ? "600" : "300",  // the factory address is asked every 500 ms
                 "--stream-gap-ms",
                 serial ? "500" : "800"};
  if (serial) {
    o.extraArgs.insert(o.extraArgs.end(), {"--serial-link", dir.file("ttyBENCH")});
  } else {
    o.extraArgs.insert(o.extraArgs.end(), {"--udp", "127.0.0.1:" + std::to_string(port)});
  }
  o.extraArgs.insert(o.extraArgs.end(), extra.begin(), extra.end());
  return o;
}

std::vector<std::string> linkArgs(const TempDir& dir, bool serial, int port) {
  if (serial) return {"--serial-glob", dir.file("tty*")};
  return {"--net", "127.0.0.1:" + std::to_string(port)};
}

TEST(BatchBench, TenPrintersInARowEachGetTheProfileAndTheirOwnNumber) {
  struct Case {
    const char* name;
    bool serial;
    bool moved = false;  // the profile gives each printer its own address, off the factory one
  };
  for (const Case c :
       {Case{"serial port that comes and goes", true}, Case{"factory network address", false},
        Case{"factory network address, each printer moved off it", false, true}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("shop.ini", std::string(kProfile) + (c.moved ? "NetIPAddress=127.0.0.5\n" : ""));
    const int port = freeUdpPort();
    std::vector<std::string> args = linkArgs(dir, c.serial, port);
    args.insert(args.end(), {"--serial-from", "0500", "--step", "3", "--count", "10"});
    Bench bench(dir, args);
    ASSERT_TRUE(Bench::waiting(dir)) << dir.read("err.txt");
    // Printer 4 is pulled out when its third frame has arrived.
    std::vector<std::string> simArgs = {"--stream-pull", "4:3"};
    if (c.moved) simArgs.push_back("--udp-follows-ip");
    SimProcess sim(stream(dir, c.serial, port, 10, simArgs));
    EXPECT_EQ(bench.wait(std::chrono::seconds(120)), 1) << dir.read("err.txt");

    const auto lines = reportLines(dir);
    ASSERT_EQ(lines.size(), 10u) << dir.read("err.txt");
    std::set<std::string> serials;
    for (int i = 0; i < 10; ++i) {
      SCOPED_TRACE("printer " + std::to_string(i + 1));
      const Json& l = lines[static_cast<std::size_t>(i)];
      char expected[8];
      std::snprintf(expected, sizeof expected, "%04d", 500 + 3 * i);
      EXPECT_EQ(l["serial"], expected);  // no gap, the failed one keeps its number
      EXPECT_TRUE(serials.insert(l["serial"].get<std::string>()).second);
      const QJsonObject settings = stateAt(
          QJsonDocument::fromJson(
              QByteArray::fromStdString(dir.read("printer" + std::to_string(i + 1) + ".json")))
              .object(),
          {"settings"});
      if (i == 3) {
        EXPECT_EQ(l["outcome"], "failed");
        EXPECT_NE(l["step"], "");
        EXPECT_NE(l["error"], "");
        EXPECT_NE(settings.value("serialNumber").toString().toStdString(), expected);
        continue;
      }
      EXPECT_EQ(l["outcome"], "done") << l.dump();
      EXPECT_EQ(settings.value("serialNumber").toString().toStdString(), expected);
      EXPECT_EQ(settings.value("deviceName").toString().toStdString(),
                std::string("Till ") + expected);
      EXPECT_EQ(settings.value("codePage").toInt(), kCp437);
      EXPECT_EQ(settings.value("retractionTime").toInt(), 20);
      if (c.moved) {
        EXPECT_EQ(stateAt(settings, {"ethernet"}).value("ip").toString(), "127.0.0.5");
      }
    }
    EXPECT_EQ(plenar::test::serialsGivenTwice(dir.path()), "");
  }
}

TEST(BatchBench, AKillBetweenOrDuringPrintersNeverHandsANumberOutTwice) {
  struct Case {
    const char* name;
    // When to kill, from the counter file's outcomes and the bench's progress on stderr.
    std::function<bool(const std::vector<std::string>&, const std::string&)> when;
    std::string interruptedSerial;  // reported by the next run; empty: none
  };
  const std::vector<Case> cases = {
      {"between printers",
       [](const std::vector<std::string>& o, const std::string&) {
         return o == std::vector<std::string>{"done"};
       },
       ""},
      {"during the second printer, its first group under way",
       [](const std::vector<std::string>& o, const std::string& progress) {
         return o == std::vector<std::string>{"done", "reserved"} &&
                progress.find("0701 Till 0701: [1/3]") != std::string::npos;
       },
       "0701"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("shop.ini", kProfile);
    std::optional<SimProcess> sim;
    {
      Bench bench(dir, {"--serial-glob", dir.file("tty*"), "--serial-from", "0700"});
      ASSERT_TRUE(Bench::waiting(dir)) << dir.read("err.txt");
      sim.emplace(stream(dir, true, 0, 4));
      const auto until = Clock::now() + std::chrono::seconds(30);
      bool killed = false;
      while (!killed && Clock::now() < until) {
        const Json state = readJson(dir.file("batch.json"));
        std::vector<std::string> outcomes;
        if (state.is_object()) {
          for (const Json& e : state["issued"]) outcomes.push_back(e["outcome"]);
        }
        if (c.when(outcomes, dir.read("err.txt"))) {
          bench.kill(SIGKILL);
          killed = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      ASSERT_TRUE(killed) << dir.read("err.txt");
    }
    std::filesystem::remove(dir.file("out.txt"));
    std::filesystem::remove(dir.file("err.txt"));
    Bench again(dir, {"--serial-glob", dir.file("tty*"), "--serial-from", "0700", "--count", "1",
                      "--json", "--events"});
    EXPECT_EQ(again.wait(std::chrono::seconds(60)), 0) << dir.read("err.txt");
    const std::string document = dir.read("out.txt");
    EXPECT_EQ(plenar::test::schemaProblems(document), "") << document;
    EXPECT_EQ(plenar::test::schemaProblems(dir.read("err.txt"), true), "");

    const Json state = readJson(dir.file("batch.json"));
    std::set<std::string> issued;
    for (const Json& e : state["issued"]) {
      EXPECT_TRUE(issued.insert(e["serial"].get<std::string>()).second) << state.dump();
      EXPECT_NE(e["outcome"], "reserved");
    }
    const auto lines = reportLines(dir);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["outcome"], "done");
    // The rerun's printer got a number after every one handed out before the kill.
    EXPECT_EQ(lines.back()["serial"], c.interruptedSerial.empty() ? "0701" : "0702");
    bool reported = c.interruptedSerial.empty();
    for (const Json& l : lines) {
      reported = reported || (l["serial"] == c.interruptedSerial && l["outcome"] == "interrupted");
    }
    EXPECT_TRUE(reported) << dir.read("report.jsonl");
    // And no two printers hold one serial number.
    std::set<std::string> held;
    for (int n = 1; n <= 4; ++n) {
      const QJsonObject settings =
          stateAt(QJsonDocument::fromJson(
                      QByteArray::fromStdString(dir.read("printer" + std::to_string(n) + ".json")))
                      .object(),
                  {"settings"});
      const std::string serial = settings.value("serialNumber").toString().toStdString();
      if (serial.rfind("07", 0) == 0) {
        EXPECT_TRUE(held.insert(serial).second) << serial;
      }
    }
    EXPECT_EQ(plenar::test::serialsGivenTwice(dir.path()), "");
  }
}

TEST(BatchBench, ReuseFailedHandsOutOnlyANumberThatNeverReachedAPrinter) {
  struct Case {
    const char* name;
    const char* pull;                  // printer 1 is pulled out when this frame has arrived
    std::vector<std::string> serials;  // of printers 1, 2, 3
    const char* firstDevice;           // what became of printer 1's device group
  };
  for (const Case& c : {Case{"pulled at the link test", "1:1", {"500", "500", "501"}, "not-sent"},
                        Case{"pulled after it took its name and number",
                             "1:11",
                             {"500", "501", "502"},
                             "acknowledged"}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("shop.ini", "[ParaDefault]\nCodePage=CP437\nSubnetmask=255.255.0.0\n");
    Bench bench(dir, {"--serial-glob", dir.file("tty*"), "--serial-from", "500", "--count", "3",
                      "--reuse-failed"});
    ASSERT_TRUE(Bench::waiting(dir)) << dir.read("err.txt");
    SimProcess sim(stream(dir, true, 0, 3, {"--stream-pull", c.pull}));
    EXPECT_EQ(bench.wait(std::chrono::seconds(120)), 1) << dir.read("err.txt");
    const auto lines = reportLines(dir);
    ASSERT_EQ(lines.size(), 3u) << dir.read("err.txt");
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(lines[i]["serial"], c.serials[i]) << i;
    EXPECT_EQ(lines[0]["outcome"], "failed");
    EXPECT_EQ(lines[0].value("device_group", ""), c.firstDevice);
    EXPECT_EQ(plenar::test::serialsGivenTwice(dir.path()), "");
  }
}

// A counter edited by hand or damaged: which of its parts is true cannot be told, so nothing is
// handed out from it.
TEST(BatchBench, ACounterThatContradictsItselfIsRefusedBeforeAnyNumber) {
  const auto entry = [](int number, const char* outcome) {
    return R"({"serial":")" + std::to_string(number) + R"(","number":)" + std::to_string(number) +
           R"(,"name":"T","outcome":")" + outcome + R"(","time":""})";
  };
  struct Case {
    const char* name;
    const char* next;
    std::string issued;
  };
  for (const Case& c : {
           Case{"next at two numbers listed as done", "7000",
                entry(7000, "done") + "," + entry(7001, "done")},
           Case{"a number listed twice as failed", "7010",
                entry(7005, "failed") + "," + entry(7005, "failed")},
           Case{"a number listed as done and as failed", "7010",
                entry(7005, "done") + "," + entry(7005, "failed")},
           Case{"a failed number past next", "7010", entry(7011, "failed")},
       }) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("shop.ini", kProfile);
    const std::string forged = std::string(R"({"schema":1,"next":)") + c.next +
                               R"(,"step":1,"width":0,"issued":[)" + c.issued + "]}";
    dir.write("batch.json", forged);
    Bench bench(dir,
                {"--serial-glob", dir.file("tty*"), "--count", "3", "--reuse-failed", "--json"});
    std::optional<SimProcess> sim;
    if (bench.waitingUnlessEnded(dir)) sim.emplace(stream(dir, true, 0, 3));
    EXPECT_EQ(bench.wait(std::chrono::seconds(120)), 65) << dir.read("err.txt");
    Json doc = Json::parse(dir.read("out.txt"), nullptr, false);
    EXPECT_EQ(plenar::test::schemaProblems(dir.read("out.txt")), "");
    EXPECT_EQ(doc["error"]["kind"], "file") << doc.dump();
    EXPECT_EQ(doc["error"]["code"], "batch-state-contradicts");
    EXPECT_EQ(dir.read("batch.json"), forged);
    std::filesystem::remove(dir.file("batch.json"));  // it lists a number twice, as forged
    EXPECT_EQ(plenar::test::serialsGivenTwice(dir.path()), "");
  }
}

// A tmpfs of 256 KiB at `at` while it lives, when this user may mount one.
class SmallDisk {
 public:
  explicit SmallDisk(std::string at) : at_(std::move(at)) {
    std::filesystem::create_directories(at_);
    mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=256k,mode=0700") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  void fill() const {  // takes every byte left
    std::ofstream out(at_ + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 1024 && out.write(block.data(), block.size()) && out.flush(); ++i) {
    }
  }

 private:
  std::string at_;
  bool mounted_ = false;
};

// A second run after the first set up printer 300: its counter moved away (as a refused
// counter's message advises; the records stay), or its disk full. Nothing is handed out again.
TEST(BatchBench, ARerunNeverGivesANumberAgainNorFailsAStateWriteAsAnOption) {
  struct Case {
    const char* name;
    bool fillDisk;  // else the counter is moved away
    int exitCode;
    const char* code;
    const char* field;
  };
  for (const Case& c :
       {Case{"the counter moved away", false, 65, "batch-records-ahead", "--serial-from"},
        Case{"the disk full", true, 1, "batch-state-unwritable", ""}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("shop.ini", kProfile);
    SmallDisk disk(dir.file("disk"));
    if (c.fillDisk && !disk.mounted()) continue;  // no tmpfs for this user
    const std::vector<std::string> args = {
        "--serial-glob", dir.file("tty*"), "--serial-from", "300", "--count", "1", "--json"};
    {
      Bench first(dir, args, "disk/batch.json");
      ASSERT_TRUE(Bench::waiting(dir)) << dir.read("err.txt");
      SimProcess sim(stream(dir, true, 0, 1, {}, "first"));
      ASSERT_EQ(first.wait(std::chrono::seconds(60)), 0) << dir.read("err.txt");
    }
    const std::string record = dir.read("disk/batch.records/serial-300.json");
    ASSERT_NE(record, "");
    if (c.fillDisk) {
      disk.fill();
    } else {
      std::filesystem::rename(dir.file("disk/batch.json"), dir.file("disk/batch.old.json"));
    }
    std::filesystem::remove(dir.file("out.txt"));
    std::filesystem::remove(dir.file("err.txt"));
    Bench again(dir, args, "disk/batch.json");
    std::optional<SimProcess> sim;
    if (again.waitingUnlessEnded(dir)) sim.emplace(stream(dir, true, 0, 1, {}, "second"));
    EXPECT_EQ(again.wait(std::chrono::seconds(60)), c.exitCode) << dir.read("err.txt");
    Json doc = Json::parse(dir.read("out.txt"), nullptr, false);
    EXPECT_EQ(plenar::test::schemaProblems(dir.read("out.txt")), "");
    EXPECT_EQ(doc["error"]["code"], c.code) << doc.dump();
    EXPECT_EQ(doc["error"]["field"], c.field);
    if (!c.fillDisk) {
      EXPECT_NE(dir.read("err.txt").find("--serial-from 301"), std::string::npos);
    }
    EXPECT_EQ(dir.read("disk/batch.records/serial-300.json"), record);
    EXPECT_EQ(plenar::test::serialsGivenTwice(dir.path()), "");
  }
}

// Before the first printer too: a state that cannot be written is a file failure (exit 1, kind
// file), as apply fails a record it cannot write. The file size limit stands in for a full disk
// where no tmpfs can be mounted.
TEST(BatchBench, ACounterThatCannotBeWrittenAtTheStartFailsAsAFile) {
  for (const bool fullDisk : {true, false}) {
    SCOPED_TRACE(fullDisk ? "a full disk" : "past the file size limit");
    TempDir dir;
    dir.write("shop.ini", kProfile);
    SmallDisk disk(dir.file("disk"));
    if (fullDisk && !disk.mounted()) continue;
    if (fullDisk) disk.fill();
    const plenar::test::ProgramRun r = plenar::test::runShell(
        std::string("(") + (fullDisk ? "" : "ulimit -f 0; trap '' XFSZ; ") + "exec " +
        plenar::test::plenarCommandLine("--json --dir " + dir.file("state") + " batch " +
                                        dir.file("shop.ini") + " --serial-glob '" +
                                        dir.file("tty*") + "' --name 'T{n}' --serial-from 5" +
                                        " --state " + dir.file("disk/batch.json")) +
        ") 2>/dev/null");  // stderr never to a file under the limit
    EXPECT_EQ(r.exitCode, 1) << r.output;
    Json doc = Json::parse(r.output, nullptr, false);
    EXPECT_EQ(doc["error"]["kind"], "file") << r.output;
    EXPECT_EQ(doc["error"]["code"], "batch-state-unwritable");
    EXPECT_EQ(doc["error"]["field"], "");
  }
}

}  // namespace
