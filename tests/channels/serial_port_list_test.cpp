// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "TempDir.h"
#include "channels/SerialPortList.h"

namespace plenar {
namespace {

namespace fs = std::filesystem;

// A /sys/class/tty tree with the entries the kernel makes for each kind of port.
class FakeSys {
 public:
  FakeSys() { fs::create_directories(tty()); }
  std::string root() const { return dir_.path(); }

  // A 8250-style port: `type` 0 is a placeholder without a chip.
  void uart(const std::string& name, int type, bool device = true) {
    fs::create_directories(tty() / name);
    if (device) fs::create_directories(tty() / name / "device");
    dir_.write("class/tty/" + name + "/type", std::to_string(type) + "\n");
  }
  void plain(const std::string& name) { fs::create_directories(tty() / name / "device"); }

 private:
  fs::path tty() const { return fs::path(dir_.path()) / "class" / "tty"; }
  TempDir dir_;
};

TEST(SerialPortListTest, ListsPortsWithHardwareInKindAndNumberOrder) {
  FakeSys sys;
  sys.uart("ttyS10", 4);
  sys.uart("ttyS0", 4);
  sys.uart("ttyS1", 0);         // placeholder
  sys.uart("ttyS2", 4, false);  // no device behind it
  sys.uart("ttyS3", 0, false);
  sys.plain("ttyUSB10");
  sys.plain("ttyUSB2");
  sys.plain("ttyACM0");
  sys.plain("rfcomm1");
  sys.plain("tty0");
  sys.plain("console");
  sys.plain("ttyUSBx");
  sys.plain("ttySAC0");  // another driver's naming, not listed

  EXPECT_EQ(listSerialPorts(sys.root()),
            (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS10", "/dev/ttyUSB2", "/dev/ttyUSB10",
                                      "/dev/ttyACM0", "/dev/rfcomm1"}));
}

TEST(SerialPortListTest, NoHardwareGivesAnEmptyListAndTheFallbackIsThirtyPorts) {
  FakeSys sys;
  sys.uart("ttyS0", 0);
  sys.uart("ttyS1", 0);
  EXPECT_TRUE(listSerialPorts(sys.root()).empty());
  EXPECT_TRUE(listSerialPorts(sys.root() + "/missing").empty());

  const auto fallback = fallbackSerialPorts();
  ASSERT_EQ(fallback.size(), 30u);
  EXPECT_EQ(fallback.front(), "/dev/ttyS0");
  EXPECT_EQ(fallback.back(), "/dev/ttyS29");
}

TEST(SerialPortListTest, ComNamesMapToTtyS) {
  EXPECT_EQ(resolveSerialPortName("COM1"), "/dev/ttyS0");
  EXPECT_EQ(resolveSerialPortName("COM2"), "/dev/ttyS1");
  EXPECT_EQ(resolveSerialPortName("com30"), "/dev/ttyS29");
  for (const char* unchanged :
       {"COM0", "COM", "COMx", "COM1a", "COM-1", "/dev/ttyUSB0", "/dev/COM1", "ttyS0", ""}) {
    EXPECT_EQ(resolveSerialPortName(unchanged), unchanged);
  }
}

}  // namespace
}  // namespace plenar
