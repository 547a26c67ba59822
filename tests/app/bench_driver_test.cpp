// SPDX-License-Identifier: GPL-3.0-or-later
// The batch bench carried out by the driver as each front end carries it out: plenar answers
// every action at once and stops inside a request; the window answers later from its event queue
// and stops the driver, then the bench. The same printers (one set up, a value refused, one
// pulled part-way, a stop during one) give the same counts per outcome and the same report lines.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>
#include <map>

#include "TempDir.h"
#include "app/ActionDriver.h"
#include "profile/BatchRun.h"

namespace plenar {
namespace {

// What becomes of one printer: at action `at` (0: the link test) the front end answers `how`.
struct Printer {
  enum class How { Ok, Refused, Pulled, Stop };
  How how = How::Ok;
  int at = -1;
};

// A bench of printers on the factory address; its report's lines without their times.
class Bench {
 public:
  explicit Bench(const std::string& state) {
    const Profile profile =
        parseProfile("[ParaDefault]\nCodePage=CP437\nRptTime=20\n", dir_.file("p.ini"));
    BatchOptions o;
    o.link.kind = LinkKind::Network;
    o.link.ipAddress = "10.0.0.1";
    o.link.udpPort = 5100;
    o.statePath = dir_.file(state + "/batch.json");
    o.reportPath = dir_.file(state + "/report.jsonl");
    o.recordDir = dir_.file(state + "/records");
    o.stateDir = dir_.file(state);
    o.name = NamePattern::parse("Till {n}");
    o.numbering = parseNumbering("100", 1);
    o.lockWaitSeconds = 0;
    reportPath_ = o.reportPath;
    run = std::make_unique<BatchRun>(profile, buildProfileGroups(profile, {}, std::nullopt), o);
  }

  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::ifstream in(reportPath_);
    for (std::string line; std::getline(in, line);) {
      Json j = Json::parse(line);
      j.erase("time");
      out.push_back(j.dump());
    }
    return out;
  }

  std::map<std::string, int> counts() const {
    std::map<std::string, int> out;
    for (const BatchOutcome o : kBatchOutcomes) out[batchOutcomeWord(o)] = run->count(o);
    return out;
  }

  std::unique_ptr<BatchRun> run;

 private:
  TempDir dir_;
  std::string reportPath_;
};

// Why the bench ended: each front end words its own (a signal, the Stop button).
constexpr const char* kStop = "stopped";

// The front end's answer to the printer's action `at`; nullopt: it stops the bench instead.
std::optional<RunOutcome> answer(const Printer& p, int at) {
  RunOutcome o;
  o.modelTag = "PLENAR80";
  o.ok = at != p.at || p.how == Printer::How::Ok;
  if (at == p.at && p.how == Printer::How::Stop) return std::nullopt;
  if (at == p.at && p.how == Printer::How::Refused) {
    o.kind = FailureKind::Refused;
    o.message = "the printer refused the value";
  }
  if (at == p.at && p.how == Printer::How::Pulled) {
    o.kind = FailureKind::Link;
    o.message = "the printer was taken away part-way (net 10.0.0.1:5100)";
  }
  return o;
}

// Which printer is on the bench and how far its apply got.
struct Script {
  std::vector<Printer> printers;
  std::size_t printer = 0;
  int action = 0;
  std::optional<LinkSnapshot> arrival(const RunAction& a) {
    if (printer >= printers.size()) return std::nullopt;
    action = 0;
    return a.link;
  }
  std::optional<RunOutcome> next() { return answer(printers[printer], action++); }
};

// plenar batch's way: each action carried out to its end; a stop comes inside a request.
void driveAsPlenar(BatchRun& run, Script script) {
  ActionDriver::Hooks hooks;
  hooks.arrival = [&](const RunAction& a, const ActionDriver::Arrived& done) {
    auto link = script.arrival(a);
    if (!link) run.stop("every attached printer was handled");
    done(link);
  };
  hooks.departure = [&](const RunAction&, const ActionDriver::Departed& done) {
    ++script.printer;
    done(true);
  };
  driveToEnd(
      run,
      [&](const RunAction&, const ActionDriver::Done& done) {
        auto outcome = script.next();
        if (!outcome) run.stop(kStop);
        done(outcome.value_or(RunOutcome{}));
      },
      sleepThen, std::move(hooks));
}

// The window's way: answers come later from the event queue; Stop ends the driver, then the
// bench, and no answer of the bench reaches it afterwards.
void driveAsWindow(BatchRun& run, Script script) {
  std::deque<std::function<void()>> queue;
  bool finished = false;
  std::unique_ptr<ActionDriver> driver;
  ActionDriver::Hooks hooks;
  hooks.finished = [&] { finished = true; };
  hooks.arrival = [&](const RunAction& a, ActionDriver::Arrived done) {
    auto link = script.arrival(a);
    queue.push_back([&, done, link] {
      if (!link) {
        driver->stop();
        run.stop(kStop);
        return;
      }
      done(link);
    });
  };
  hooks.departure = [&](const RunAction&, ActionDriver::Departed done) {
    ++script.printer;
    queue.push_back([done] { done(true); });
  };
  driver = std::make_unique<ActionDriver>(
      run,
      [&](const RunAction&, ActionDriver::Done done) {
        auto outcome = script.next();
        queue.push_back([&, done, outcome] {
          if (outcome) return done(*outcome);
          driver->stop();
          run.stop(kStop);
          done(RunOutcome{});  // late: the driver was stopped, the bench hears nothing
        });
      },
      [&](std::chrono::milliseconds, std::function<void()> done) { queue.push_back(done); },
      std::move(hooks));
  driver->start();
  for (int guard = 0; !queue.empty() && guard < 1000; ++guard) {
    auto f = std::move(queue.front());
    queue.pop_front();
    f();
  }
  EXPECT_FALSE(driver->running());
  EXPECT_FALSE(finished && run.current());
}

TEST(BenchDriver, BothFrontEndsCountEachOutcomeAndWriteTheSameReportLines) {
  using H = Printer::How;
  // Actions: 0 the link test, 1 codepage, 2 retract-time, 3 device.
  struct Case {
    const char* name;
    std::vector<Printer> printers;
    std::map<std::string, int> counts;
    std::vector<std::string> lines;  // serial outcome step
  };
  const std::vector<Case> cases = {
      {"set up, refused, pulled, then stopped during the fourth",
       {{}, {H::Refused, 2}, {H::Pulled, 1}, {H::Stop, 0}},
       {{"done", 1}, {"failed", 2}, {"interrupted", 1}},
       {"100 done ", "101 failed retract-time", "102 failed codepage",
        "103 interrupted link test"}},
      {"stopped while the device group was out: the printer may hold its number",
       {{H::Stop, 3}},
       {{"done", 0}, {"failed", 0}, {"interrupted", 1}},
       {"100 interrupted device"}},
      {"no printer came: nothing counted",
       {},
       {{"done", 0}, {"failed", 0}, {"interrupted", 0}},
       {}},
      {"every printer set up until none is left",
       {{}, {}},
       {{"done", 2}, {"failed", 0}, {"interrupted", 0}},
       {"100 done ", "101 done "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench plenar("plenar");
    Bench window("window");
    driveAsPlenar(*plenar.run, Script{c.printers});
    driveAsWindow(*window.run, Script{c.printers});
    EXPECT_EQ(plenar.counts(), c.counts);
    EXPECT_EQ(window.counts(), c.counts);
    const auto lines = plenar.lines();
    EXPECT_EQ(window.lines(), lines);
    std::vector<std::string> brief;
    for (const std::string& l : lines) {
      const Json j = Json::parse(l);
      brief.push_back(j["serial"].get<std::string>() + " " + j["outcome"].get<std::string>() + " " +
                      j["step"].get<std::string>());
    }
    EXPECT_EQ(brief, c.lines);
    EXPECT_TRUE(plenar.run->finished());
    EXPECT_TRUE(window.run->finished());
  }
}

}  // namespace
}  // namespace plenar
