// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "TempDir.h"
#include "engine/TCommThread.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"
#include "platform/ManualResetEvent.h"
#include "shared/Errors.h"

using namespace plenar;
using namespace std::chrono_literals;

namespace {

struct Message {
  int msg;
  std::intptr_t wParam;
  std::string status;
  std::string error;
};

// A worker with a dispatcher thread playing the UI thread; records every message it handles.
class WorkerFixture : public ::testing::Test {
 protected:
  WorkerFixture() {
    dispatcher.start();
    worker = std::make_unique<TCommThread>(dir.path(), window, dispatcher);
  }
  ~WorkerFixture() override {
    worker.reset();
    dispatcher.stop();
  }
  // Posts and waits (bounded) until the command has been reported.
  void runAndWait(CommandRequest r) {
    ASSERT_TRUE(worker->postCommand(std::move(r)));
    ASSERT_TRUE(worker->waitIdle(10s));
    ManualResetEvent flushed;
    dispatcher.post([&] { flushed.set(); });
    ASSERT_TRUE(flushed.waitFor(10s));
  }
  std::vector<Message> taken() {
    std::lock_guard lock(mutex);
    return messages;
  }

  TempDir dir;
  HeadlessDispatcher dispatcher;
  std::mutex mutex;
  std::vector<Message> messages;
  HeadlessReportWindow window{dispatcher, [this](int msg, std::intptr_t wParam) {
                                std::lock_guard lock(mutex);
                                messages.push_back({msg, wParam, worker->mainTexts().statusText(),
                                                    worker->lastResult().message});
                              }};
  std::unique_ptr<TCommThread> worker;
};

CommandRequest code(int c, int v1 = 0, int v2 = 0) {
  CommandRequest r;
  r.code = c;
  r.value1 = v1;
  r.value2 = v2;
  return r;
}

}  // namespace

TEST_F(WorkerFixture, CodeZeroWritesAnEmptyTraceAndReportsDone) {
  dir.write("debug.log", "old trace\n");
  runAndWait(code(0));
  EXPECT_EQ(dir.read("debug.log"), "");
  auto m = taken();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].msg, kMsgDone);
}

TEST_F(WorkerFixture, CodesWithoutRoutineAndAbove49RunNothingAndReportDone) {
  int runs = 0;
  worker->setRoutine(49, [&](TCommThread&) { ++runs; });
  runAndWait(code(50));
  runAndWait(code(2));
  runAndWait(code(-1));
  EXPECT_EQ(runs, 0);
  for (auto& m : taken()) EXPECT_EQ(m.msg, kMsgDone);
  EXPECT_EQ(taken().size(), 3u);
}

TEST_F(WorkerFixture, FailuresBecomeCodeOneWithTheirTextOrCodeTwo) {
  worker->setRoutine(16, [](TCommThread& w) {
    w.trace().addLine("before the failure");
    throw ECommunicationException("Received Failed");
  });
  worker->setRoutine(17, [](TCommThread&) { throw std::runtime_error("internal"); });
  runAndWait(code(16));
  runAndWait(code(17));
  runAndWait(code(0));  // the worker goes on after both
  auto m = taken();
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].msg, kMsgFailed);
  EXPECT_EQ(m[0].wParam, 1);
  EXPECT_EQ(m[0].error, "Received Failed");
  // The last command's result is its own: the failures before it are not carried on.
  EXPECT_TRUE(worker->lastResult().ok);
  EXPECT_EQ(worker->lastResult().message, "");
  EXPECT_EQ(m[1].msg, kMsgFailed);
  EXPECT_EQ(m[1].wParam, 2);
  EXPECT_EQ(m[1].error, "Undefined Error");
  EXPECT_EQ(m[2].msg, kMsgDone);
}

TEST_F(WorkerFixture, APostWhileBusyChangesNothingOfTheRunningCommand) {
  ManualResetEvent started, release;
  CommandRequest seen;
  int runs = 0;
  worker->setRoutine(6, [&](TCommThread& w) {
    ++runs;
    started.set();
    ASSERT_TRUE(release.waitFor(10s));
    seen = w.request();
  });
  CommandRequest first = code(6, 11, 22);
  first.paraBuf = {1, 2, 3};
  first.paramList = {"line"};
  ASSERT_TRUE(worker->postCommand(first));
  ASSERT_TRUE(started.waitFor(10s));
  CommandRequest second = code(6, 99, 98);
  second.paraBuf = {9};
  EXPECT_FALSE(worker->postCommand(second));
  EXPECT_TRUE(worker->isBusy());
  release.set();
  ASSERT_TRUE(worker->waitIdle(10s));
  EXPECT_EQ(seen.value1, 11);
  EXPECT_EQ(seen.value2, 22);
  EXPECT_EQ(seen.paraBuf, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(seen.paramList, std::vector<std::string>{"line"});
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(runs, 1);
}

TEST_F(WorkerFixture, ProgressIsThrottledButTheLastStepAlwaysShows) {
  worker->setRoutine(3, [](TCommThread& w) {
    w.reportProgress("", 0, 0);  // total 0: always posted
    w.reportProgress("", 256, 4096);
    w.reportProgress("", 512, 4096);   // within 70 ms of the last post: only the text changes
    w.reportProgress("", 4096, 4096);  // done: posted
  });
  runAndWait(code(3));
  auto m = taken();
  std::vector<std::string> progress;
  for (auto& x : m)
    if (x.msg == kMsgProgress) progress.push_back(x.status);
  ASSERT_GE(progress.size(), 2u);
  ASSERT_LE(progress.size(), 3u);  // a slow machine may let 70 ms pass between two reports
  EXPECT_EQ(progress.back(), "Finish 100.0%(16/16)");
  EXPECT_EQ(m.back().msg, kMsgDone);
}

TEST_F(WorkerFixture, ParameterWindowProgressGoesToItsPanelOnly) {
  std::vector<std::string> panel;
  worker->setParaStatusPanel([&](const std::string& s) { panel.push_back(s); });
  worker->setRoutine(3,
                     [](TCommThread& w) { w.reportProgress("Downloading FONTa.bin", 0, 0, true); });
  runAndWait(code(3));
  EXPECT_EQ(panel, std::vector<std::string>{"Downloading FONTa.bin"});
  for (auto& m : taken()) EXPECT_NE(m.msg, kMsgProgress);
}

TEST_F(WorkerFixture, RateBoxesAreParsedPerCommand) {
  std::optional<int> device, transfer;
  worker->setRoutine(8, [&](TCommThread& w) {
    device = w.deviceBaud();
    transfer = w.transferBaud();
  });
  CommandRequest r = code(8);
  r.link.deviceBaudText = "19200";
  r.link.transferBaudText = "fast";
  runAndWait(r);
  EXPECT_EQ(device, 19200);
  EXPECT_FALSE(transfer);
  EXPECT_EQ(parseRateText(" 9600 "), 9600);
  EXPECT_FALSE(parseRateText("96OO"));
  EXPECT_FALSE(parseRateText(""));
}

TEST(WorkerTrace, AnUnwritableFolderDoesNotStopTheWorker) {
  HeadlessDispatcher dispatcher;
  dispatcher.start();
  int done = 0;
  std::mutex m;
  HeadlessReportWindow window(dispatcher, [&](int msg, std::intptr_t) {
    std::lock_guard lock(m);
    done += msg == kMsgDone;
  });
  {
    TCommThread worker("/nonexistent-folder-for-plenar", window, dispatcher);
    for (int i = 0; i < 2; ++i) {
      CommandRequest r;
      ASSERT_TRUE(worker.postCommand(r));
      ASSERT_TRUE(worker.waitIdle(10s));
    }
  }
  dispatcher.stop();
  EXPECT_EQ(done, 2);
}
