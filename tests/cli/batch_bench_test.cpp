// SPDX-License-Identifier: GPL-3.0-or-later
// plenar batch against a stream of simulated printers: ten in a row on a serial port that comes
// and goes and on a factory network address, one of them pulled out part-way; and kills of the
// bench between and during printers, after which no serial number is ever handed out twice.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "PlenarJson.h"
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
  // `extra`: the link to watch and the bench's options.
  Bench(const TempDir& dir, const std::vector<std::string>& extra) {
    std::vector<std::string> args = {binaryPath("plenar"), "--dir", dir.file("state")};
    args.insert(args.end(), {"batch", dir.file("shop.ini"), "--name", "Till {n:4}", "--state",
                             dir.file("batch.json"), "--report", dir.file("report.jsonl")});
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
  void kill(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
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

// The stream of simulated printers on the link of `serial` (else the factory address `port`).
SimProcess::Options stream(const TempDir& dir, bool serial, int port, int printers,
                           std::vector<std::string> extra = {}) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = false;
  o.extraArgs = {"--state",
                 dir.file("printer{n}.json"),
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
  }
}

}  // namespace
