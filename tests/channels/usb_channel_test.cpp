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

UsbPrinterIdentity withSerial(int port, std::string serial, std::uint16_t pid = 0x811E) {
  UsbPrinterIdentity id;
  id.port = port;
  id.productId = pid;
  id.serial = std::move(serial);  // "" : no serial number at all
  return id;
}

TEST_F(UsbChannelTest, ListsEachDeviceOnceByItsSerialNumberElseItsPort) {
  bed.add(withSerial(1, "PLENAR0001"));
  bed.add(withSerial(2, "ab&c#d e", 0x0abc));  // neither "&" nor "#" may reach the entry
  bed.add(withSerial(3, ""));
  // One serial number on three printers of one model (case aside): each is listed by its port.
  bed.add(withSerial(4, "DUP"));
  bed.add(withSerial(5, "DUP"));
  bed.add(withSerial(6, "dup"));
  bed.add(withSerial(7, "DUP", 0x0abc));  // another model: its serial number still tells it
  auto list = channel().GetDeviceList();
  std::sort(list.begin(), list.end());
  EXPECT_EQ(list, (std::vector<std::string>{
                      "VID_1234&PID_0ABC&SN_AB%26C%23D%20E", "VID_1234&PID_0ABC&SN_DUP",
                      "VID_1234&PID_811E&PORT_1-3", "VID_1234&PID_811E&PORT_1-4",
                      "VID_1234&PID_811E&PORT_1-5", "VID_1234&PID_811E&PORT_1-6",
                      "VID_1234&PID_811E&SN_PLENAR0001"}));
  EXPECT_EQ(presentUsbDevices().size(), list.size());
}

TEST(UsbSerialPart, MapsEveryByteThatCouldSplitOrBreakAnEntry) {
  struct Case {
    const char* serial;
    const char* part;
  };
  for (const Case& c : {Case{"", ""}, Case{"abc123", "SN_ABC123"}, Case{"a-b.c_d", "SN_A-B.C_D"},
                        Case{"A&B", "SN_A%26B"}, Case{"A#B", "SN_A%23B"}, Case{"%", "SN_%25"},
                        Case{"x\ny", "SN_X%0AY"}, Case{"a b", "SN_A%20B"},
                        Case{"\xC3\xA9", "SN_%C3%A9"}, Case{"'$(rm)", "SN_%27%24%28RM%29"}}) {
    const std::string part = usbSerialPart(c.serial);
    EXPECT_EQ(part, c.part) << c.serial;
    EXPECT_EQ(part.find_first_of("&# \n'$"), std::string::npos) << c.serial;
  }
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
  channel().SelectDevice("VID_1234&PID_811E&SN_SECOND");
  channel().OpenDevice();
  EXPECT_TRUE(second.claimed());
  EXPECT_FALSE(first.claimed());
  channel().OpenDevice();  // already open: nothing happens
  EXPECT_TRUE(channel().isOpen());
}

TEST(UsbDeviceMatch, ComparesEachCodeWholeAndTheThirdPartAsListed) {
  std::vector<UsbDeviceInfo> infos(2);
  infos[0].vendorId = 0x0483;
  infos[0].productId = 0x5740;
  infos[0].identifier = usbIdentifier(0x0483, 0x5740);
  infos[0].serial = "ab12";
  infos[0].busPort = "1-2";
  infos[1] = infos[0];
  infos[1].serial = "";
  infos[1].busPort = "2-1.4";
  assignUsbEntries(infos);
  ASSERT_EQ(infos[0].entry, "VID_0483&PID_5740&SN_AB12");
  ASSERT_EQ(infos[1].entry, "VID_0483&PID_5740&PORT_2-1.4");
  struct Case {
    int device;
    const char *vid, *pid, *sub;
    UsbFit fit;
  };
  for (const Case& c :
       {Case{0, "0483", "5740", "", UsbFit::Exact}, Case{0, "", "5740", "", UsbFit::Exact},
        Case{0, "0483", "5740", "SN_AB12", UsbFit::Exact},
        Case{0, "0483", "5740", "sn_ab12", UsbFit::Exact},
        Case{0, "0483", "5740", "AB12", UsbFit::Bare}, Case{0, "0483", "5740", "1-2", UsbFit::Bare},
        // The port names the printer whether or not it is listed by its serial number.
        Case{0, "0483", "5740", "PORT_1-2", UsbFit::Exact},
        Case{0, "0483", "5740", "SN_AB1", UsbFit::None}, Case{0, "5740", "0483", "", UsbFit::None},
        Case{0, "0483", "574", "", UsbFit::None}, Case{0, "0483", "57400", "", UsbFit::None},
        Case{0, "0484", "5740", "", UsbFit::None}, Case{0, "0483", "", "", UsbFit::None},
        Case{1, "0483", "5740", "PORT_2-1.4", UsbFit::Exact},
        Case{1, "0483", "5740", "2-1.4", UsbFit::Bare},
        Case{1, "0483", "5740", "SN_", UsbFit::None},
        Case{1, "0483", "5740", "PORT_1-2", UsbFit::None}}) {
    EXPECT_EQ(usbDeviceFit(infos[c.device], c.vid, c.pid, c.sub), c.fit)
        << c.device << ": " << c.vid << "&" << c.pid << "&" << c.sub;
  }
}

TEST_F(UsbChannelTest, ThreePartsOpenExactlyTheNamedPrinter) {
  // Twins without serial numbers, and a printer whose serial number is another's listed part.
  auto& left = bed.add(withSerial(1, ""));
  auto& right = bed.add(withSerial(2, ""));
  auto& plain = bed.add(withSerial(3, "X"));
  auto& tricky = bed.add(withSerial(4, "SN_X"));
  struct Case {
    const char* entry;
    sim::UsbPrinterDevice* opened;
  };
  for (const Case& c :
       {Case{"VID_1234&PID_811E&PORT_1-1", &left}, Case{"VID_1234&PID_811E&PORT_1-2", &right},
        Case{"VID_1234&PID_811E&SN_X", &plain}, Case{"VID_1234&PID_811E&SN_SN_X", &tricky},
        Case{"VID_1234&PID_811E&X", &plain},  // the bare serial number
        Case{"VID_1234&PID_811E&1-2", &right}, Case{"VID_1234&PID_811E&1-9", nullptr},
        Case{"VID_1234&PID_811E&PORT_1-9", nullptr}}) {
    channel().SelectDevice(c.entry);
    if (c.opened == nullptr) {
      EXPECT_THROW(channel().OpenDevice(), ECommsError) << c.entry;
      EXPECT_NE(channel().openProblem().find(c.entry), std::string::npos)
          << channel().openProblem();
      continue;
    }
    channel().OpenDevice();
    for (auto* p : {&left, &right, &plain, &tricky}) {
      EXPECT_EQ(p->claimed(), p == c.opened) << c.entry;
    }
    EXPECT_EQ(roundTrip(channel(), *c.opened, {4, 2}), (std::vector<std::uint8_t>{4, 2}))
        << c.entry;
    channel().CloseDevice();
  }
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
