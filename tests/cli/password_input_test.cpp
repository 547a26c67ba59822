// SPDX-License-Identifier: GPL-3.0-or-later
// A password read from standard input, a file or a terminal: one line ending off, never empty,
// never echoed, and never in a core file of the process that holds it.

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../channels/PtyPair.h"
#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "Spawned.h"
#include "TempDir.h"

using namespace plenar::test;
namespace fs = std::filesystem;

namespace {

SimProcess::Options udp(std::vector<std::string> extra = {}) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  o.extraArgs = std::move(extra);
  return o;
}

std::string hexOf(const std::string& text) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) out += {digits[c >> 4], digits[c & 0x0F]};
  return out;
}

// The data of every settings frame the printer took, in hex.
std::vector<std::string> framesOf(const SimProcess& sim) {
  std::vector<std::string> out;
  for (const QJsonObject& r : sim.records()) {
    if (r.value("kind").toString() == "frame")
      out.push_back(r.value("data").toString().toStdString());
  }
  return out;
}

std::string linkTo(const SimProcess& sim, const TempDir& dir) {
  return "--lang en --dir " + shellQuoted(dir.file("state")) +
         " --net 127.0.0.1:" + std::to_string(sim.udpPort());
}

}  // namespace

TEST(PasswordInput, OneLineEndingComesOffAndAnEmptyPasswordIsRefused) {
  struct Case {
    const char* what;
    std::string input;  // the file's bytes, or standard input's
    const char* command;
    const char* code;   // nullptr: accepted
    const char* field;  // the option the refusal names
  };
  const Case cases[] = {
      {"nothing from a failed pipe", "", "wifi-ap shop -", "password-empty", "PASSWORD"},
      {"a newline only", "\n", "wifi-ap shop -", "password-empty", "PASSWORD"},
      {"CR LF only", "\r\n", "wifi-ap shop --password-file F", "password-empty", "--password-file"},
      {"an empty PIN", "", "bluetooth --name X --password - --mode 1 --auth 0", "password-empty",
       "--password"},
      {"an empty file", "", "wifi-sta --ssid s --dhcp --password-file F", "password-empty",
       "--password-file"},
      {"a NUL byte", std::string("Pw1\0x\n", 6), "wifi-ap shop --password-file F", "password-nul",
       "--password-file"},
      {"two line endings", "Pw12345678\r\n\n", "wifi-ap shop --password-file F", "password-lines",
       "--password-file"},
      {"a second line", "Pw12345678\nmore\n", "wifi-ap shop -", "password-lines", "PASSWORD"},
      {"CR LF", "Pw12345678\r\n", "wifi-ap shop --password-file F", nullptr, ""},
      {"LF, from a pipe", "Pw12345678\n", "wifi-ap shop -", nullptr, ""},
      {"no line ending", "Pw12345678", "wifi-ap shop -", nullptr, ""},
  };
  SimProcess sim(udp());
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.write("input", c.input);
    ::chmod(dir.file("input").c_str(), 0600);
    std::string command = c.command;
    if (auto f = command.find(" F"); f != std::string::npos) {
      command.replace(f + 1, 1, shellQuoted(dir.file("input")));
    }
    const std::size_t before = framesOf(sim).size();
    JsonRun r =
        runPlenarJson(linkTo(sim, dir) + " " + command + " <" + shellQuoted(dir.file("input")));
    EXPECT_EQ(r.schemaProblems, "");
    if (c.code) {
      EXPECT_EQ(r.exitCode, 65) << r.out << r.err;
      const QJsonObject error = r.doc.value("error").toObject();
      EXPECT_EQ(error.value("code").toString().toStdString(), c.code) << r.out;
      EXPECT_EQ(error.value("field").toString().toStdString(), c.field) << r.out;
      EXPECT_EQ(error.value("kind").toString(), "refused");
      EXPECT_EQ(framesOf(sim).size(), before) << "something reached the printer";
      continue;
    }
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto frames = framesOf(sim);
    ASSERT_GT(frames.size(), before);
    // The access point's frame ends with the password's length and bytes: exactly the 10.
    const std::string sent = "0a" + hexOf("Pw12345678");
    EXPECT_EQ(frames.back().substr(frames.back().size() - sent.size()), sent) << frames.back();
  }
}

// ulimit -c unlimited, then SIGQUIT while the command waits for a printer that does not answer:
// the process holding the password has no core limit left, and no core file holds it.
TEST(PasswordInput, AProcessHoldingAPasswordLeavesNoCore) {
  SimProcess silent(udp({"--fault", "silent"}));
  TempDir dir;
  const std::string password = "CoreCanary" + std::to_string(::getpid() % 100000);
  dir.write("pw", password + "\n");
  ::chmod(dir.file("pw").c_str(), 0600);
  fs::create_directory(dir.file("cwd"));
  const int in = ::open(dir.file("pw").c_str(), O_RDONLY | O_CLOEXEC);
  for (const std::vector<std::string>& how :
       {std::vector<std::string>{"wifi-ap", "shop", "-"},
        std::vector<std::string>{"wifi-sta", "--ssid", "s", "--dhcp", "--password-file",
                                 dir.file("pw")}}) {
    SCOPED_TRACE(how[0]);
    ::lseek(in, 0, SEEK_SET);
    std::vector<std::string> argv{binaryPath("plenar"), "--dir", dir.file("state"), "--net",
                                  "127.0.0.1:" + std::to_string(silent.udpPort())};
    argv.insert(argv.end(), how.begin(), how.end());
    const std::size_t before = framesOf(silent).size();
    Spawned plenar({argv, in, -1, -1, dir.file("cwd"), true});
    // It waits for the reply once the printer has recorded the frame with the password.
    silent.waitForRecords(
        [&](const std::vector<QJsonObject>&) { return framesOf(silent).size() > before; });
    std::ifstream limits("/proc/" + std::to_string(plenar.pid()) + "/limits");
    std::string line, soft, hard;
    while (std::getline(limits, line) && line.rfind("Max core file size", 0) != 0) {
    }
    std::istringstream(line.substr(std::string("Max core file size").size())) >> soft >> hard;
    EXPECT_EQ(soft + " " + hard, "0 0") << line;
    ::kill(plenar.pid(), SIGQUIT);
    const auto status = plenar.wait(std::chrono::seconds(20));
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGQUIT);
    EXPECT_FALSE(WCOREDUMP(*status));
    for (const auto& e : fs::directory_iterator(dir.file("cwd"))) {
      std::ifstream core(e.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(core)), {});
      EXPECT_EQ(bytes.find(password), std::string::npos) << e.path();
    }
  }
  ::close(in);
}

// At a terminal the password is asked for on stderr and typed without echo; the terminal gets
// its echo back after the line, and after a SIGINT at the prompt.
TEST(PasswordInput, AtATerminalItIsAskedForWithoutEcho) {
  SimProcess sim(udp());
  TempDir dir;
  PtyPair pty;
  const int tty = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(tty, 0);
  const std::vector<std::string> argv{binaryPath("plenar"),
                                      "--lang",
                                      "en",
                                      "--dir",
                                      dir.file("state"),
                                      "--net",
                                      "127.0.0.1:" + std::to_string(sim.udpPort()),
                                      "wifi-ap",
                                      "shop",
                                      "-"};
  auto promptShown = [&] {
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (seen.find("Password (PASSWORD): ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      const auto got = pty.readExactly(1, std::chrono::milliseconds(100));
      seen.append(got.begin(), got.end());
    }
    return seen;
  };
  for (const bool interrupt : {false, true}) {
    SCOPED_TRACE(interrupt ? "SIGINT at the prompt" : "typed");
    Spawned plenar({argv, tty, -1, tty, {}, false});
    ASSERT_NE(promptShown().find("Password"), std::string::npos);
    EXPECT_FALSE(pty.slaveTermios().c_lflag & ECHO);
    if (interrupt) {
      ::kill(plenar.pid(), SIGINT);
    } else {
      const std::string typed = "Pw12345678\n";
      ASSERT_TRUE(pty.writeAll({typed.begin(), typed.end()}));
    }
    const auto status = plenar.wait(std::chrono::seconds(20));
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), interrupt ? 130 : 0);
    EXPECT_TRUE(pty.slaveTermios().c_lflag & ECHO);
    const auto rest = pty.readExactly(4096, std::chrono::milliseconds(200));
    EXPECT_EQ(std::string(rest.begin(), rest.end()).find("Pw1234"), std::string::npos);
  }
  const auto frames = framesOf(sim);
  ASSERT_FALSE(frames.empty());
  EXPECT_NE(frames.back().find(hexOf("Pw12345678")), std::string::npos);
  ::close(tty);
}
