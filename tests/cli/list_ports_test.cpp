// SPDX-License-Identifier: GPL-3.0-or-later
// plenar list-ports: the connection window's serial port list on stdout.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "channels/SerialPortList.h"
#include "cli/CliCommands.h"

namespace plenar {
namespace {

TEST(SerialPortListTest, ListPortsCommandPrintsOnePathPerLine) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int code = cli::runCli({"list-ports"});
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(code, 0);

  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  for (const auto& line : lines) EXPECT_EQ(line.rfind("/dev/", 0), 0u) << line;
  // This machine's hardware, or the fallback with a word on stderr.
  if (listSerialPorts().empty()) {
    EXPECT_EQ(lines, fallbackSerialPorts());
    EXPECT_NE(err.find("no serial"), std::string::npos) << err;
  } else {
    EXPECT_EQ(lines, listSerialPorts());
  }
  EXPECT_EQ(cli::runCli({"list-ports", "extra"}), 64);
}

}  // namespace
}  // namespace plenar
