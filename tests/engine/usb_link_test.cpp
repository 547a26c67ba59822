// SPDX-License-Identifier: GPL-3.0-or-later
// The USB branch of the link layer, against a stand-in for the USB channel: no USB printer can
// be attached here, so the channel seam answers like one.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "TempDir.h"
#include "app/Engine.h"
#include "channels/UsbChannel.h"
#include "engine/LinkLayer.h"
#include "engine/UsbDeviceList.h"
#include "engine/transport/UsbTransport.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"
#include "shared/Errors.h"
#include "shared/Frame.h"

using namespace plenar;
using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

TEST(UsbDeviceList, StartUpRulesWithAndWithoutFilters) {
  Strings present{"VID_0483&PID_811E", "VID_1234&PID_0001", "VID_0483&PID_811F"};
  EXPECT_EQ(usbDevicesAtStart(present, {}), Strings{"VID_0483&PID_811E"});
  EXPECT_TRUE(usbDevicesAtStart(present, {"811e"}).empty());  // compared as written
  EXPECT_TRUE(usbDevicesAtStart(present, {""}).empty());      // an empty filter matches nothing
  EXPECT_EQ(usbDevicesAtStart(present, {"0483", "811E"}),
            (Strings{"VID_0483&PID_811E", "VID_0483&PID_811E", "VID_0483&PID_811F"}));
  EXPECT_EQ(usbDevicesAtStart({"vid_0483&pid_811e"}, {"811E"}), Strings{"vid_0483&pid_811e"});
  EXPECT_EQ(usbDevicesAfterChange(present), Strings{"VID_0483&PID_811E"});
  // Only the codes are filtered: a serial number that carries a filter text lists nothing more.
  Strings three{"VID_0483&PID_811E&SN_A", "VID_0483&PID_0001&SN_811E",
                "VID_0483&PID_811E&PORT_1-2"};
  EXPECT_EQ(usbDevicesAtStart(three, {}), (Strings{three[0], three[2]}));
  EXPECT_EQ(usbDevicesAtStart(three, {"SN_A", "811E"}), (Strings{three[0], three[2]}));
  EXPECT_EQ(usbDevicesAfterChange(three), (Strings{three[0], three[2]}));
  // A bench sets each printer up once, however many filters it matches.
  EXPECT_EQ(usbPrintersForBench(three, {"0483", "811E"}), three);
}

namespace {

// Answers every request frame with an empty frame of the same command, delivered like the real
// channel delivers received bytes: on the owner thread.
class AnsweringUsbChannel : public UsbChannel {
 public:
  AnsweringUsbChannel(OwnerDispatcher& owner) : owner_(owner) {}
  void bind(LinkLayer* link) { link_ = link; }
  Strings devices() override {
    std::lock_guard lock(mutex);
    return present;
  }
  void select(const std::string& entry) override { selected = entry; }
  void open() override {
    if (selected.empty()) throw ECommsError("No USB device selected");
    ++opens;
    isOpen = true;
  }
  void close() override {
    ++closes;
    isOpen = false;
  }
  bool send(std::span<const std::uint8_t> bytes) override {
    if (!isOpen || bytes.size() < 16) return isOpen.load();
    auto reply = buildFrame(getLe16(bytes.data() + 2), 0, 0, {});
    owner_.post([this, reply] {
      link_->receiver().usbReceive(reply.data(), static_cast<std::uint16_t>(reply.size()));
    });
    return true;
  }
  void setSendDataEmpty(bool empty) override { sendEmpty = empty; }

  std::mutex mutex;
  Strings present;
  std::string selected;
  std::atomic<int> opens{0}, closes{0};
  std::atomic<bool> isOpen{false}, sendEmpty{false};

 private:
  OwnerDispatcher& owner_;
  LinkLayer* link_ = nullptr;
};

}  // namespace

TEST(UsbLink, CloseLeavesTheDeviceOpenAndTheNextOpenDoesNotReopen) {
  TempDir dir;
  HeadlessDispatcher dispatcher;
  dispatcher.start();
  std::mutex m;
  std::vector<int> messages;
  HeadlessReportWindow window(dispatcher, [&](int msg, std::intptr_t) {
    std::lock_guard lock(m);
    messages.push_back(msg);
  });
  AnsweringUsbChannel usb(dispatcher);
  {
    Engine engine(dir.path(), window, dispatcher, &usb);
    usb.bind(&engine.link());
    LinkSnapshot link;
    link.kind = LinkKind::Usb;
    link.usbDevice = "VID_0483&PID_811E";
    for (int i = 0; i < 2; ++i) {
      CommandRequest r;
      r.code = 1;  // the link test opens and closes the link
      r.link = link;
      ASSERT_TRUE(engine.worker().postCommand(r));
      ASSERT_TRUE(engine.worker().waitIdle(20s));
      EXPECT_TRUE(engine.linkOpen());
    }
    EXPECT_EQ(usb.opens, 1);
    EXPECT_EQ(usb.closes, 0);
    EXPECT_EQ(usb.selected, "VID_0483&PID_811E");

    // A device arriving closes the channel and refills the list; LinkOpen stays set, so the
    // next open does not reopen it (and the identify request then goes nowhere).
    std::vector<std::pair<Strings, bool>> lists;
    engine.link().usb().setListSink([&](const Strings& e, bool first) {
      lists.push_back({e, first});
    });
    {
      std::lock_guard lock(usb.mutex);
      usb.present = {"VID_0483&PID_811E", "VID_1111&PID_2222"};
    }
    engine.link().usb().deviceChanged(true);
    {
      std::lock_guard lock(usb.mutex);
      usb.present.clear();
    }
    engine.link().usb().deviceChanged(false);
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0].first, Strings{"VID_0483&PID_811E"});
    EXPECT_TRUE(lists[0].second);
    EXPECT_TRUE(lists[1].first.empty());
    EXPECT_FALSE(lists[1].second);
    EXPECT_EQ(usb.closes, 2);
    EXPECT_TRUE(engine.linkOpen());
    engine.link().usb().sendQueueEmpty();
    EXPECT_TRUE(usb.sendEmpty);
  }
  dispatcher.stop();
  std::lock_guard lock(m);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), kMsgLinkFound), 2);
}

TEST(UsbLink, AnEmptyDeviceEntryFailsTheLinkTest) {
  TempDir dir;
  HeadlessDispatcher dispatcher;
  dispatcher.start();
  std::atomic<int> notFound{0};
  HeadlessReportWindow window(dispatcher, [&](int msg, std::intptr_t) {
    if (msg == kMsgLinkNotFound) ++notFound;
  });
  AnsweringUsbChannel usb(dispatcher);
  {
    Engine engine(dir.path(), window, dispatcher, &usb);
    usb.bind(&engine.link());
    CommandRequest r;
    r.code = 1;
    r.link.kind = LinkKind::Usb;
    ASSERT_TRUE(engine.worker().postCommand(r));
    ASSERT_TRUE(engine.worker().waitIdle(20s));
  }
  dispatcher.stop();
  EXPECT_EQ(notFound, 1);
  EXPECT_EQ(usb.opens, 0);
}
