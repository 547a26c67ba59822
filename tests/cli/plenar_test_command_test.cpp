// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

using plenar::test::SimProcess;

namespace {

struct Run {
  int exitCode;
  std::string err;
};

Run plenarTest(const std::string& args) {
  auto r = plenar::test::runShell(plenar::test::plenarCommandLine(args + " test 2>&1 >/dev/null"));
  return {r.exitCode, r.output};
}

}  // namespace

TEST(PlenarTestCommand, FindsTheSimulatorOverSerialAndPrintsItsProgress) {
  SimProcess sim;
  TempDir dir;
  auto r = plenarTest("--dir " + dir.path() + " --serial " + sim.serialPath() +
                      " --device-baud 9600 --transfer-baud 115200");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Checking" + sim.serialPath() + "\n" + sim.serialPath() + "Found\n");
  std::string log = dir.read("debug.log");
  EXPECT_EQ(log.rfind("Open" + sim.serialPath(), 0), 0u) << log;
  EXPECT_NE(log.find("Send 25 Bytes"), std::string::npos);
}

TEST(PlenarTestCommand, FindsTheSimulatorOverUdp) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  TempDir dir;
  std::string where = sim.udpHost() + ":" + std::to_string(sim.udpPort());
  auto r = plenarTest("--dir " + dir.path() + " --net " + where);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Checking" + where + "\n" + where + " Found\n");
}

TEST(PlenarTestCommand, FailsCleanlyWhenThePrinterIsGone) {
  SimProcess sim;
  std::string port = sim.serialPath();
  sim.stop();
  TempDir dir;
  auto r = plenarTest("--dir " + dir.path() + " --serial " + port);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Connecting Failed"), std::string::npos) << r.err;
}
