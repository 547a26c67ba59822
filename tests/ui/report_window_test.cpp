// SPDX-License-Identifier: GPL-3.0-or-later
// Worker messages to a Qt window: posted ones queue, sent ones hold the worker until the handler
// has run on the GUI thread, and closing releases a worker that waits.
#include <gtest/gtest.h>

#include <QObject>
#include <QTest>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "UiTestSupport.h"
#include "ui/QtDispatcher.h"
#include "ui/QtReportWindow.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;

TEST(QtReportWindow, SendReturnsOnlyAfterTheHandlerRanOnTheGuiThread) {
  QObject window;
  std::atomic<bool> handled{false};
  std::thread::id handlerThread;
  QtReportWindow report(&window, [&](int msg, std::intptr_t wParam) {
    EXPECT_EQ(msg, 1028);
    EXPECT_EQ(wParam, 7);
    handlerThread = std::this_thread::get_id();
    handled = true;
  });
  auto sender = std::async(std::launch::async, [&] {
    report.send(1028, 7);
    return handled.load();
  });
  // The GUI thread is not processing events yet: the sender must still be waiting.
  EXPECT_EQ(sender.wait_for(200ms), std::future_status::timeout);
  ASSERT_TRUE(
      uitest::waitUntil([&] { return sender.wait_for(0s) == std::future_status::ready; }, 10s));
  EXPECT_TRUE(sender.get());
  EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST(QtReportWindow, PostedMessagesArriveInOrderWithoutWaiting) {
  QObject window;
  std::vector<std::intptr_t> seen;
  QtReportWindow report(&window, [&](int, std::intptr_t wParam) { seen.push_back(wParam); });
  std::thread poster([&] {
    for (int i = 0; i < 50; ++i) report.post(1025, i);
  });
  poster.join();  // returns although no event has been processed
  ASSERT_TRUE(uitest::waitUntil([&] { return seen.size() == 50; }, 10s));
  for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[i], i);
}

TEST(QtReportWindow, CloseReleasesAWaitingSenderAndDropsItsHandler) {
  QObject window;
  std::atomic<int> handled{0};
  QtReportWindow report(&window, [&](int, std::intptr_t) { ++handled; });
  auto sender = std::async(std::launch::async, [&] { report.send(1024, 0); });
  EXPECT_EQ(sender.wait_for(200ms), std::future_status::timeout);
  report.close();
  EXPECT_EQ(sender.wait_for(10s), std::future_status::ready);
  report.post(1025, 0);
  report.send(1026, 0);  // returns at once once closed
  QTest::qWait(50);
  EXPECT_EQ(handled, 0);
}

TEST(QtReportWindow, DestroyedWindowObjectReleasesAWaitingSender) {
  auto window = std::make_unique<QObject>();
  std::atomic<int> handled{0};
  QtReportWindow report(window.get(), [&](int, std::intptr_t) { ++handled; });
  auto sender = std::async(std::launch::async, [&] { report.send(1024, 0); });
  EXPECT_EQ(sender.wait_for(200ms), std::future_status::timeout);
  window.reset();  // the queued call goes with it
  EXPECT_EQ(sender.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(handled, 0);
  report.close();
}

TEST(QtDispatcher, RunsCallbacksOnTheOwnerThreadAndDropsThemWhenDestroyed) {
  auto dispatcher = std::make_unique<QtDispatcher>();
  std::atomic<int> ran{0};
  bool onOwner = false;
  std::thread([&] {
    EXPECT_FALSE(dispatcher->isOwnerThread());
    dispatcher->post([&] {
      onOwner = dispatcher->isOwnerThread();
      ++ran;
    });
  }).join();
  ASSERT_TRUE(uitest::waitUntil([&] { return ran == 1; }, 10s));
  EXPECT_TRUE(onOwner);

  dispatcher->post([&] { ++ran; });
  dispatcher.reset();
  QTest::qWait(50);
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace plenar
