// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <thread>

#include "UsbTestbed.h"
#include "channels/UdevWatch.h"
#include "channels/UsbDeviceSet.h"
#include "shared/Errors.h"

namespace plenar::test {
namespace {

using sim::UsbPrinterIdentity;
using std::chrono::milliseconds;

UsbPrinterIdentity printer(int port, std::uint16_t pid = 0x811E, std::string serial = "") {
  UsbPrinterIdentity id;
  id.port = port;
  id.productId = pid;
  id.serial = serial.empty() ? "PLENAR000" + std::to_string(port) : serial;
  return id;
}

std::vector<std::uint8_t> pattern(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return v;
}

class UsbChannelTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (usb) usb->CloseDevice();
    for (auto& p : bed.printers) EXPECT_EQ(p->transfersInFlight(), 0u) << "an URB was left";
  }
  TUSBComm& channel() {
    if (!usb) {
      usb = std::make_unique<TUSBComm>(bed.owner);
      events.bind(*usb);
    }
    return *usb;
  }
  // Sends `bytes` and returns what the printer received.
  std::vector<std::uint8_t> roundTrip(TUSBComm& c, sim::UsbPrinterDevice& p,
                                      const std::vector<std::uint8_t>& bytes) {
    EXPECT_TRUE(c.SendBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    return UsbTestbed::receive(p, bytes.size());
  }

  UsbTestbed bed;
  UsbEvents events;
  std::unique_ptr<TUSBComm> usb;
};

TEST_F(UsbChannelTest, ListsEveryDeviceAsUpperCaseIdentifiers) {
  bed.add(printer(1));
  bed.add(printer(2, 0x0abc));
  auto list = channel().GetDeviceList();
  std::sort(list.begin(), list.end());
  EXPECT_EQ(list, (std::vector<std::string>{"VID_1234&PID_0ABC", "VID_1234&PID_811E"}));
}

TEST_F(UsbChannelTest, EmptyListWithoutDevices) {
  EXPECT_TRUE(channel().GetDeviceList().empty());
}

TEST_F(UsbChannelTest, SelectDeviceSplitsTheIdentifier) {
  struct Case {
    const char* entry;
    const char* vid;
    const char* pid;
    const char* subId;
  };
  for (const Case& c : {Case{"VID_1234&PID_811E", "1234", "811E", ""},
                        Case{"VID_1234&PID_811E&MI_00", "1234", "811E", "MI_00"},
                        Case{"VID_1234&PID_811E&MI_00&X", "1234", "811E", ""},
                        Case{"VID_1234", "", "", ""}, Case{"", "", "", ""}}) {
    channel().SelectDevice(c.entry);
    EXPECT_EQ(channel().Vid(), c.vid) << c.entry;
    EXPECT_EQ(channel().PID(), c.pid) << c.entry;
    EXPECT_EQ(channel().subId(), c.subId) << c.entry;
  }
}

TEST_F(UsbChannelTest, OpenFailsWithTheUserTextWhenNothingMatches) {
  bed.add(printer(1));
  for (const char* entry : {"", "VID_1234&PID_9999"}) {
    channel().SelectDevice(entry);
    try {
      channel().OpenDevice();
      ADD_FAILURE() << "opened with " << entry;
    } catch (const ECommsError& e) {
      EXPECT_STREQ(e.what(), "Error open USB DEVICE ") << entry;
      EXPECT_FALSE(e.reason().empty());
    }
    EXPECT_FALSE(channel().isOpen());
  }
}

TEST_F(UsbChannelTest, OpensTheFirstDeviceWhoseCodesAreTheChosenOnes) {
  // A serial number that carries the product code, a vendor code equal to the product code and
  // a device of another vendor with the chosen product code come first; none may be taken.
  auto& bySerial = bed.add(printer(1, 0x0001, "SN811E77"));
  UsbPrinterIdentity swapped = printer(2, 0x0001);
  swapped.vendorId = 0x811E;
  auto& byVendor = bed.add(swapped);
  UsbPrinterIdentity otherVendor = printer(3);
  otherVendor.vendorId = 0x0483;
  auto& foreign = bed.add(otherVendor);
  auto& first = bed.add(printer(4));
  auto& second = bed.add(printer(5, 0x811E, "SECOND"));
  channel().SelectDevice("VID_1234&PID_811E");
  channel().OpenDevice();
  for (auto* p : {&bySerial, &byVendor, &foreign}) EXPECT_FALSE(p->claimed());
  // One of the two that match, whichever libusb lists first.
  ASSERT_NE(first.claimed(), second.claimed());
  sim::UsbPrinterDevice& taken = first.claimed() ? first : second;
  EXPECT_EQ(roundTrip(channel(), taken, {1, 2, 3}), (std::vector<std::uint8_t>{1, 2, 3}));
  channel().CloseDevice();
  // The third part picks one by its serial number.
  channel().SelectDevice("VID_1234&PID_811E&SECOND");
  channel().OpenDevice();
  EXPECT_TRUE(second.claimed());
  EXPECT_FALSE(first.claimed());
  channel().OpenDevice();  // already open: nothing happens
  EXPECT_TRUE(channel().isOpen());
}

TEST(UsbDeviceMatch, ComparesEachCodeWhole) {
  UsbDeviceInfo info;
  info.vendorId = 0x0483;
  info.productId = 0x5740;
  info.path = usbDevicePath(0x0483, 0x5740, "ab12", "1-2");
  struct Case {
    const char *vid, *pid, *sub;
    bool matches;
  };
  for (const Case& c : {Case{"0483", "5740", "", true}, Case{"", "5740", "", true},
                        Case{"0483", "5740", "AB12", true}, Case{"0483", "5740", "ab12", true},
                        Case{"5740", "0483", "", false}, Case{"0483", "574", "", false},
                        Case{"0483", "57400", "", false}, Case{"0483", "5740", "AB1", false},
                        Case{"0484", "5740", "", false}, Case{"0483", "", "", false},
                        Case{"0483", "5740", "1-2", false}}) {
    EXPECT_EQ(usbDeviceMatches(info, c.vid, c.pid, c.sub), c.matches)
        << c.vid << "&" << c.pid << "&" << c.sub;
  }
  // VID_5740&PID_0001 is not the device chosen as VID_0483&PID_5740.
  info.vendorId = 0x5740;
  info.productId = 0x0001;
  info.path = usbDevicePath(0x5740, 0x0001, "", "1-3");
  EXPECT_FALSE(usbDeviceMatches(info, "0483", "5740", ""));
  EXPECT_TRUE(usbDeviceMatches(info, "5740", "0001", "1-3"));
}

TEST_F(UsbChannelTest, DeviceHeldByAnotherProgramIsSkipped) {
  auto& first = bed.add(printer(1));
  auto& second = bed.add(printer(2));
  TUSBComm holder(bed.owner);
  holder.SelectDevice("VID_1234&PID_811E");
  holder.OpenDevice();
  sim::UsbPrinterDevice& held = first.claimed() ? first : second;
  sim::UsbPrinterDevice& free = first.claimed() ? second : first;

  channel().SelectDevice("VID_1234&PID_811E");
  channel().OpenDevice();
  EXPECT_EQ(roundTrip(channel(), free, {9, 8}), (std::vector<std::uint8_t>{9, 8}));
  EXPECT_TRUE(held.takeReceived().empty());

  // With both held, nothing can be opened.
  TUSBComm third(bed.owner);
  third.SelectDevice("VID_1234&PID_811E");
  EXPECT_THROW(third.OpenDevice(), ECommsError);
  holder.CloseDevice();
}

TEST_F(UsbChannelTest, KernelDriverIsDetachedWhileOpenAndGivenBack) {
  auto& p = bed.add(printer(1));
  p.setKernelDriver(true);
  channel().SelectDevice("VID_1234&PID_811E");
  channel().OpenDevice();
  EXPECT_FALSE(p.kernelDriverBound());
  EXPECT_TRUE(p.claimed());
  channel().CloseDevice();
  EXPECT_TRUE(p.kernelDriverBound());
  EXPECT_FALSE(p.claimed());
}

TEST_F(UsbChannelTest, ReceivedBytesArriveInChunksOfAtMost2048OnTheOwnerThread) {
  auto& p = bed.add(printer(1));
  channel().SelectDevice("VID_1234&PID_811E");
  channel().OpenDevice();
  for (std::size_t size : {1u, 2048u, 5000u}) {
    events.read([&] {
      events.data.clear();
      events.chunks.clear();
      return 0;
    });
    const auto bytes = pattern(size);
    p.send(bytes);
    ASSERT_TRUE(events.waitUntil([&] { return events.data.size() >= size; })) << size;
    events.read([&] {
      EXPECT_EQ(events.data, bytes) << size;
      for (auto n : events.chunks) EXPECT_LE(n, TUSBComm::kReadChunk);
      return 0;
    });
  }
}

TEST_F(UsbChannelTest, WritesUpTo65535BytesInOneRequest) {
  auto& p = bed.add(printer(1));
  channel().SelectDevice("VID_1234&PID_811E");
  channel().OpenDevice();
  const auto big = pattern(65535);
  EXPECT_EQ(roundTrip(channel(), p, big), big);
  EXPECT_TRUE(events.waitUntil([&] { return events.sendEmpty >= 1 && channel().SendDataEmpty(); }));
  std::vector<std::uint8_t> tooBig(65536);
  EXPECT_FALSE(channel().SendBytes(tooBig.data(), 65536));
  EXPECT_FALSE(channel().SendBytes(big.data(), 0));
}

TEST_F(UsbChannelTest, UnplugWhileOpenEndsTransfersAndReportsRemovalAndArrival) {
  auto& p = bed.add(printer(1));
  channel().SelectDevice("VID_1234&PID_811E");
  channel().OpenDevice();
  p.unplug();
  ASSERT_TRUE(events.waitUntil([&] { return events.removals >= 1; }));
  // The writer ends on its first failed write; from then on sending is refused.
  const std::uint8_t byte = 0x10;
  bool refused = false;
  for (int i = 0; i < 100 && !refused; ++i) {
    refused = !channel().SendBytes(&byte, 1);
    if (!refused) std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_TRUE(refused);
  EXPECT_TRUE(channel().isOpen());  // stays open until CloseDevice
  channel().CloseDevice();
  EXPECT_FALSE(channel().isOpen());

  p.plug();
  ASSERT_TRUE(events.waitUntil([&] { return events.arrivals >= 1; }));
  channel().OpenDevice();
  EXPECT_EQ(roundTrip(channel(), p, {5}), (std::vector<std::uint8_t>{5}));
}

// The watch used where libusb has no hot-plug support.
TEST_F(UsbChannelTest, UdevMonitorReportsAddAndRemove) {
  std::mutex m;
  std::condition_variable cv;
  std::vector<bool> seen;
  UdevWatch watch({{"usb", "usb_device"}}, [&](bool added) {
    std::lock_guard lock(m);
    seen.push_back(added);
    cv.notify_all();
  });
  auto& p = bed.add(printer(1));
  p.unplug();
  std::unique_lock lock(m);
  ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return seen.size() >= 2; }));
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(UsbChannelTest, PermissionRefusalNamesTheUdevRule) {
  auto id = printer(1);
  id.mode = 0;  // nobody may open the node
  auto& p = bed.add(id);
  // Open as an unprivileged user: the file-system uid of this thread only (root would open
  // anything), with the testbed's folders and umockdev's ioctl socket open to everyone.
  ASSERT_EQ(::chmod(bed.bed.root().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((bed.bed.root() + "/ioctl" + p.node()).c_str(), 0777), 0);
  channel().SelectDevice("VID_1234&PID_811E");
  const int was = ::setfsuid(65534);
  std::string text;
  std::string reason;
  try {
    channel().OpenDevice();
  } catch (const ECommsError& e) {
    text = e.what();
    reason = e.reason();
  }
  ::setfsuid(was);
  EXPECT_EQ(text, "Error open USB DEVICE ");
  EXPECT_NE(reason.find("60-plenar.rules"), std::string::npos) << reason;
  EXPECT_FALSE(channel().isOpen());
}

}  // namespace
}  // namespace plenar::test
