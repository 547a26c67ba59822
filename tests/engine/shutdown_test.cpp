// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "EngineHarness.h"
#include "PlenarJson.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "app/Engine.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"
#include "requests/FileActions.h"

using namespace plenar;
using namespace plenar::test;
using Clock = std::chrono::steady_clock;

namespace {

// The engine as a window holds it: closing the window destroys it while a command may run.
struct WindowEngine {
  WindowEngine() {
    dispatcher.start();
    window = std::make_unique<HeadlessReportWindow>(dispatcher, [](int, std::intptr_t) {});
    engine = std::make_unique<Engine>(dir.path(), *window, dispatcher);
  }
  ~WindowEngine() {
    engine.reset();
    dispatcher.stop();
  }
  TempDir dir;
  HeadlessDispatcher dispatcher;
  std::unique_ptr<HeadlessReportWindow> window;
  std::unique_ptr<Engine> engine;
};

// Posts `request` and lets it run into its long wait; then closing the engine (what the window's
// destruction does) must take well under a second.
struct LongWait {
  const char* name;
  std::function<CommandRequest()> request;
  std::function<LinkSnapshot(const SimProcess&)> link;
  std::vector<std::string> simArgs;
  bool udp;
  int baud = 9600;                                                    // the printer's rate
  std::chrono::milliseconds runFor = std::chrono::milliseconds(600);  // before the close
  // The port as an earlier command left it, for commands that do not open the link themselves.
  bool prepared = false;
};

std::vector<LongWait> longWaits() {
  return {
      // 1001 passes of 50 ms against a printer that never enters its boot loader.
      {"boot handshake",
       [] { return bootHandshakeRequest(); },
       [](const SimProcess& s) { return serialLink(s.serialPath(), "9600", "9600"); },
       {"--no-boot"},
       false},
      // The firmware restart wait of a minute after the connect frame.
      {"firmware restart wait",
       [] {
         CommandRequest r;
         r.code = 4;
         r.dataStream.assign(0x3000 + 16, 0);
         r.value2 = 60000;
         r.forceFirmware = true;  // neither side has a model tag
         return r;
       },
       [](const SimProcess& s) { return networkLink(s.udpPort()); },
       {"--model", ""},
       true},
      // Three unanswered reply waits of 3000 ms each on the network.
      {"unanswered read",
       [] {
         CommandRequest r;
         r.code = 16;
         r.value2 = 16;
         return r;
       },
       [](const SimProcess& s) { return networkLink(s.udpPort()); },
       {"--fault", "silent"},
       true},
      // User data queued three times as fast as 115200 bit/s drains: after 3 s some 40 KiB wait
      // beyond what the pseudo-terminal holds, 3.5 s of line time before the port could close.
      {.name = "user data still on the line",
       .request =
           [] {
             CommandRequest r;
             r.code = 49;
             r.dataStream.assign(256 * 1024, 0x55);
             return r;
           },
       .link = [](const SimProcess& s) { return serialLink(s.serialPath(), "115200", "115200"); },
       .simArgs = {"--pace"},
       .udp = false,
       .baud = 115200,
       .runFor = std::chrono::milliseconds(3000),
       .prepared = true},
  };
}

TEST(Shutdown, ClosingDuringALongWaitTakesUnderASecond) {
  for (const LongWait& c : longWaits()) {
    SCOPED_TRACE(c.name);
    SimProcess::Options o;
    o.serial = !c.udp;
    o.udp = c.udp;
    o.extraArgs = c.simArgs;
    o.baud = c.baud;
    SimProcess sim(o);
    WindowEngine w;
    CommandRequest r = c.request();
    r.link = c.link(sim);
    if (c.prepared) w.engine->prepareChannels(r.link);
    ASSERT_TRUE(w.engine->worker().postCommand(r));
    std::this_thread::sleep_for(c.runFor);
    ASSERT_TRUE(w.engine->worker().isBusy()) << "the command ended before the close";
    const auto start = Clock::now();
    w.engine.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
  }
}

// A stop request ends the command with a failure, and the worker takes no further command.
TEST(Shutdown, StoppedWorkerReportsAndRefusesLaterPosts) {
  SimProcess::Options o;
  o.extraArgs = {"--no-boot"};
  SimProcess sim(o);
  WindowEngine w;
  TCommThread& worker = w.engine->worker();
  CommandRequest r = bootHandshakeRequest();
  r.link = serialLink(sim.serialPath(), "9600", "9600");
  ASSERT_TRUE(worker.postCommand(r));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = Clock::now();
  worker.requestStop();
  ASSERT_TRUE(worker.waitIdle(std::chrono::seconds(2)));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_FALSE(worker.postCommand(bootHandshakeRequest(1)));
}

// plenar ends an endless handshake on SIGTERM, SIGINT and SIGHUP, promptly, with 128 + the
// signal, and its --json document says the same; so it does when a second signal cuts the
// orderly close short (one document, from whichever thread got there first).
TEST(Shutdown, PlenarEndsOnTerminationSignals) {
  struct Case {
    int sig;
    bool twice;
  };
  for (auto [sig, twice] : {Case{SIGTERM, false}, Case{SIGINT, false}, Case{SIGHUP, false},
                            Case{SIGTERM, true}, Case{SIGINT, true}}) {
    SCOPED_TRACE(std::to_string(sig) + (twice ? " twice" : ""));
    SimProcess::Options o;
    o.serial = false;
    o.udp = true;
    SimProcess sim(o);
    TempDir dir;
    const std::string port = std::to_string(sim.udpPort());
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // ThreadSanitizer holds every exiting process for a second to catch races at exit.
      std::string tsan =
          std::string(std::getenv("TSAN_OPTIONS") ? std::getenv("TSAN_OPTIONS") : "");
      ::setenv("TSAN_OPTIONS", (tsan + ":atexit_sleep_ms=0").c_str(), 1);
      std::string bin = binaryPath("plenar");
      std::string net = "127.0.0.1:" + port;
      const int out = ::open((dir.path() + "/result.json").c_str(), O_WRONLY | O_CREAT, 0600);
      if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0) ::_exit(127);
      ::execl(bin.c_str(), bin.c_str(), "--dir", dir.path().c_str(), "--net", net.c_str(), "boot",
              "--json", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ::kill(pid, sig);
    if (twice) ::kill(pid, sig);
    const auto start = Clock::now();
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           Clock::now() - start < std::chrono::seconds(5)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (done == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      FAIL() << "plenar did not end after the signal";
    }
    // Well inside the 5 s above: the orderly close has one second, and a loaded machine (or a
    // sanitizer build beside a compiler) may take as long again to schedule it.
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
    const std::string text = dir.read("result.json");
    EXPECT_EQ(schemaProblems(text), "") << text;
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    EXPECT_FALSE(doc.value("ok").toBool(true)) << text;
    EXPECT_EQ(doc.value("exit_code").toInt(), 128 + sig) << text;
    EXPECT_EQ(doc.value("error").toObject().value("kind").toString(), "interrupted") << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  }
}

}  // namespace
