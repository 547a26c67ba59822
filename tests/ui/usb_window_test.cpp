// SPDX-License-Identifier: GPL-3.0-or-later
// The connection window's USB list and link test against the simulator's virtual USB printer.
// The test executable links the umockdev preload; pointing UMOCKDEV_DIR at the simulator's testbed
// before the window (and so its libusb context) exists makes the window see that printer.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "FrmMainFixture.h"
#include "SimProcess.h"
#include "UiTestSupport.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;

constexpr const char* kListed = "VID_1234&PID_811E&SN_PLENAR0001";

class ConnectionWindowUsb : public uitest::FrmMainFixture {
 protected:
  ~ConnectionWindowUsb() override { ::unsetenv("UMOCKDEV_DIR"); }
  void TearDown() override { uitest::FrmMainFixture::TearDown(); }

  explicit ConnectionWindowUsb(std::vector<std::string> extra = {})
      : sim_(simOptions(std::move(extra))) {
    ::setenv("UMOCKDEV_DIR", sim_.usbDir().c_str(), 1);
  }
  static test::SimProcess::Options simOptions(std::vector<std::string> extra) {
    test::SimProcess::Options o;
    o.serial = false;
    o.usb = "1234:811E";
    o.extraArgs = std::move(extra);
    return o;
  }
  QStringList usbList() {
    auto* box = child<QComboBox>("cbb_UsbDeviceList");
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
  }

  test::SimProcess sim_;
};

TEST_F(ConnectionWindowUsb, ListFollowsUnplugAndPlug) {
  open();
  EXPECT_EQ(usbList(), QStringList{kListed});

  ::kill(sim_.pid(), SIGUSR2);
  ASSERT_TRUE(uitest::waitUntil([&] { return usbList().isEmpty(); }, 10s));
  EXPECT_EQ(child<QComboBox>("cbb_UsbDeviceList")->currentText(), "");

  ::kill(sim_.pid(), SIGUSR1);
  ASSERT_TRUE(uitest::waitUntil([&] { return usbList().size() == 1; }, 10s));
  EXPECT_EQ(child<QComboBox>("cbb_UsbDeviceList")->currentIndex(), 0);
  EXPECT_EQ(child<QComboBox>("cbb_UsbDeviceList")->currentText(), kListed);
}

TEST_F(ConnectionWindowUsb, LinkTestFindsThePrinter) {
  open();
  QTest::mouseClick(child<QRadioButton>("RadioButton3"), Qt::LeftButton);
  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  ASSERT_TRUE(boxes.waitForBox(20s));
  EXPECT_EQ(boxes.texts().last(), "连接成功");
  EXPECT_TRUE(window().connectedFlag());
  EXPECT_EQ(window().rememberedLink().usbDevice, kListed);
}

// Two printers of one model: the list tells them apart by serial number, and by port without one.
class ConnectionWindowTwins : public ConnectionWindowUsb {
 protected:
  ConnectionWindowTwins() : ConnectionWindowUsb({"--usb-count", "2", "--usb-no-serial"}) {}
};

TEST_F(ConnectionWindowTwins, ListShowsEachPrinterOnce) {
  open();
  QStringList items = usbList();
  items.sort();
  EXPECT_EQ(items, (QStringList{"VID_1234&PID_811E&PORT_1-1", "VID_1234&PID_811E&PORT_1-2"}));
}

}  // namespace
}  // namespace plenar
