// SPDX-License-Identifier: GPL-3.0-or-later
// The driver both front ends carry a run out with: every action reaches the front end once, every
// outcome the run once and in order, whether the front end answers at once (plenar) or later (a
// window at the worker's idle notice); after stop() a late answer goes nowhere.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/ActionDriver.h"

namespace plenar {
namespace {

// A run of scripted actions; records what it was told.
class ScriptedRun : public ActionSource {
 public:
  explicit ScriptedRun(std::vector<RunAction::Kind> kinds) : kinds_(std::move(kinds)) {}
  RunAction next() override {
    ++asked;
    RunAction a;
    if (at_ < kinds_.size()) a.kind = kinds_[at_++];
    a.description = std::to_string(at_);
    return a;
  }
  void report(const RunOutcome& o) override { log.push_back(o.ok ? "ok" : "failed:" + o.message); }
  std::vector<std::string> log;
  int asked = 0;

 private:
  std::vector<RunAction::Kind> kinds_;
  std::size_t at_ = 0;
};

using K = RunAction::Kind;

TEST(ActionDriver, EveryActionOnceAndEveryOutcomeInOrderWhetherAnsweredAtOnceOrLater) {
  const std::vector<K> script = {K::TestLink, K::Send, K::Wait, K::Send, K::TestLink};
  for (const bool later : {false, true}) {
    SCOPED_TRACE(later ? "answered later" : "answered at once");
    ScriptedRun run(script);
    std::deque<std::function<void()>> queue;  // the owner thread's event queue
    std::vector<std::string> executed;
    int finished = 0;
    int waits = 0;
    ActionDriver driver(
        run,
        [&](const RunAction& a, ActionDriver::Done done) {
          executed.push_back(a.description);
          RunOutcome o;
          o.ok = a.description != "4";
          o.message = "no answer";
          auto answer = [done, o] { done(o); };
          if (later) {
            queue.push_back(answer);
          } else {
            answer();
          }
        },
        [&](std::chrono::milliseconds, std::function<void()> done) {
          ++waits;
          queue.push_back(done);
        },
        {nullptr, nullptr, [&] { ++finished; }});
    driver.start();
    while (!queue.empty()) {
      auto f = queue.front();
      queue.pop_front();
      f();
    }
    EXPECT_EQ(executed, (std::vector<std::string>{"1", "2", "4", "5"}));
    EXPECT_EQ(run.log, (std::vector<std::string>{"ok", "ok", "failed:no answer", "ok"}));
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(run.asked, 6);
    EXPECT_FALSE(driver.running());
  }
}

TEST(ActionDriver, AnAnswerAfterStopOrAfterTheDriverIsGoneReachesNobody) {
  for (const bool destroy : {false, true}) {
    ScriptedRun run({K::Send, K::Send});
    ActionDriver::Done late;
    int finished = 0;
    auto driver = std::make_unique<ActionDriver>(
        run, [&](const RunAction&, ActionDriver::Done done) { late = done; },
        [](std::chrono::milliseconds, std::function<void()>) {},
        ActionDriver::Hooks{nullptr, nullptr, [&] { ++finished; }});
    driver->start();
    ASSERT_TRUE(late);
    if (destroy) {
      driver.reset();
    } else {
      driver->stop();
    }
    RunOutcome ok;
    ok.ok = true;
    late(ok);
    EXPECT_TRUE(run.log.empty());
    EXPECT_EQ(run.asked, 1);
    EXPECT_EQ(finished, 0);
  }
}

}  // namespace
}  // namespace plenar
