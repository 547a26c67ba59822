// SPDX-License-Identifier: GPL-3.0-or-later
// A testbed that lies too deep for its devices' Unix sockets fails at once with a message that
// says what to do, instead of hosting a device that never answers.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "TempDir.h"
#include "devices/Testbed.h"

namespace plenar::sim::test {
namespace {

// umockdev puts the testbed at $TMPDIR/umockdev.XXXXXX and a device's socket at
// <testbed>/ioctl<node>; sun_path holds 107 bytes.
struct DepthCase {
  std::size_t tmpdirLength;
  bool testbedFits;
  bool usbNodeFits;
};

class TestbedDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(TestbedDepth, TooDeepIsRefusedNamingTmpdir) {
  const DepthCase c = GetParam();
  TempDir base;
  std::string dir = base.path() + "/";
  dir += std::string(c.tmpdirLength - dir.size(), 'd');
  std::filesystem::create_directories(dir);
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TMPDIR", dir.c_str(), 1);

  std::string constructed, attached;
  try {
    Testbed bed;
    constructed = "ok";
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    try {
      bed.attachIoctl("/dev/bus/usb/001/002", handler);
      attached = "ok";
      bed.detachIoctl("/dev/bus/usb/001/002");
    } catch (const std::runtime_error& e) {
      attached = e.what();
    }
    g_object_unref(handler);
  } catch (const std::runtime_error& e) {
    constructed = e.what();
  }
  if (old != nullptr)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");

  if (c.testbedFits) {
    EXPECT_EQ(constructed, "ok");
  } else {
    EXPECT_NE(constructed.find("set TMPDIR to a shorter folder"), std::string::npos) << constructed;
  }
  if (c.testbedFits && c.usbNodeFits) {
    EXPECT_EQ(attached, "ok");
  } else if (c.testbedFits) {
    EXPECT_NE(attached.find("/dev/bus/usb/001/002"), std::string::npos) << attached;
    EXPECT_NE(attached.find("set TMPDIR to a shorter folder"), std::string::npos) << attached;
  }
}

// _default: TMPDIR + 31 bytes; the USB node: TMPDIR + 42 bytes.
INSTANTIATE_TEST_SUITE_P(Lengths, TestbedDepth,
                         ::testing::Values(DepthCase{65, true, true},     // USB: 107
                                           DepthCase{66, true, false},    // USB: 108
                                           DepthCase{76, true, false},    // _default: 107
                                           DepthCase{77, false, false}),  // _default: 108
                         [](const auto& info) {
                           return "tmpdir" + std::to_string(info.param.tmpdirLength);
                         });

}  // namespace
}  // namespace plenar::sim::test
