// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "channels/OpenFailureReason.h"

using namespace plenar;
using plenar::test::shellQuoted;

namespace {

struct ReasonCase {
  DeviceKind kind;
  int osError;
  const char* mustSay;  // the advice the user acts on
};

TEST(OpenFailureReason, NamesWhatToDo) {
  const ReasonCase cases[] = {
      {DeviceKind::Serial, EACCES, "dialout group"},
      {DeviceKind::Serial, EPERM, "dialout group"},
      {DeviceKind::Usb, EACCES, "60-plenar.rules"},
      {DeviceKind::Parallel, EACCES, "lp group"},
      {DeviceKind::Serial, EBUSY, "Another program holds it"},
      {DeviceKind::Serial, EWOULDBLOCK, "Another program holds it"},
      {DeviceKind::Usb, EBUSY, "Another program holds it"},
      {DeviceKind::Serial, ENOENT, "does not exist"},
      {DeviceKind::Parallel, ENODEV, "does not exist"},
      {DeviceKind::Serial, ENXIO, "does not exist"},
      {DeviceKind::Serial, EIO, std::strerror(EIO)},
  };
  for (const auto& c : cases) {
    std::string reason = openFailureReason(c.kind, "/dev/ttyX", c.osError);
    EXPECT_EQ(reason.rfind("/dev/ttyX: ", 0), 0u) << reason;
    EXPECT_NE(reason.find(c.mustSay), std::string::npos) << reason;
  }
  EXPECT_EQ(openFailureReason(DeviceKind::Serial, "/dev/ttyX", 0), "");
}

// `plenar test` on a serial port that will not open: the described failure text, the reason on
// the next line, exit code 1, and the reason in debug.log.
struct PortRun {
  int exitCode;
  std::string output;
  std::string debugLog;
};

PortRun testPort(const std::string& port,
                 const std::string& program = plenar::test::binaryPath("plenar"),
                 const std::string& runAs = "") {
  TempDir dir;
  // An unprivileged run writes debug.log here too; the sticky bit keeps others' files theirs.
  ::chmod(dir.path().c_str(), 01777);
  auto r =
      plenar::test::runShell(runAs + shellQuoted(program) + " --dir " + shellQuoted(dir.path()) +
                             " --lang en --serial " + shellQuoted(port) + " test 2>&1");
  return {r.exitCode, r.output, dir.read("debug.log")};
}

void expectReason(const PortRun& run, const std::string& port, const char* advice) {
  EXPECT_EQ(run.exitCode, 1) << run.output;
  const std::string secondLine = "Connecting Failed\n" + port + ": ";
  EXPECT_NE(run.output.find(secondLine), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(advice), std::string::npos) << run.output;
  EXPECT_NE(run.debugLog.find("Open failed " + port + ": "), std::string::npos) << run.debugLog;
}

TEST(OpenFailureReason, MissingPort) {
  TempDir dir;
  const std::string port = dir.file("ttyNone");
  expectReason(testPort(port), port, "does not exist");
}

TEST(OpenFailureReason, BusyPort) {
  plenar::test::SimProcess sim;
  // Another program holds the port the way plenar itself does: with an exclusive lock.
  int fd = ::open(sim.serialPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  expectReason(testPort(sim.serialPath()), sim.serialPath(), "Another program holds it");
  ::close(fd);
  // Released, the same port works.
  EXPECT_EQ(testPort(sim.serialPath()).exitCode, 0);
}

TEST(OpenFailureReason, PortWithoutPermission) {
  TempDir dir;
  ::chmod(dir.path().c_str(), 0755);
  const std::string port = dir.file("ttyLocked");
  dir.write("ttyLocked", "");
  ::chmod(port.c_str(), 0);
  // Root opens anything: the run drops to nobody where it can, with a copy of plenar that
  // nobody can reach whatever folder the build lies in.
  std::string program = plenar::test::binaryPath("plenar");
  std::string runAs;
  if (::geteuid() == 0) {
    runAs = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    if (plenar::test::runShell(runAs + "true").exitCode != 0) {
      GTEST_SKIP() << "running as root and setpriv cannot drop to nobody";
    }
    program = dir.file("plenar");
    std::filesystem::copy_file(plenar::test::binaryPath("plenar"), program);
  }
  expectReason(testPort(port, program, runAs), port, "dialout group");
}

}  // namespace
