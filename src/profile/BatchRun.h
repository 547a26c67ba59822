// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "profile/ApplyRun.h"
#include "profile/BatchCounter.h"
#include "profile/BatchNames.h"
#include "profile/BatchReport.h"

namespace plenar {

// The batch bench: printer after printer, one profile, each printer its own name and serial
// number. As ApplyRun, a sequence of actions (an ActionSource) that a front end (plenar batch,
// the batch dialog) carries out one at a time through the ActionDriver:
//
//   AwaitArrival   -> the front end watches its links: arrived(link), or stop()
//   TestLink, Send -> an apply of the profile plus this printer's device group (report())
//   AwaitDeparture -> the front end waits until that printer is gone: departed(), or stop()
//   ... until --count printers were handled, stop() was called, or the counter failed: Done.
//
// The serial number is reserved in the counter (written, under its lock) as soon as a printer
// arrives, before any of its requests goes out. Every printer is a new printer: every group is
// sent (force), and its apply record is one of its own, named by its serial number, in the
// bench's record folder; the per-link record of plenar apply is never read, so the printer
// before can never make this one look set up already.
// Threads: one thread (the front end's owner thread).
struct BatchOptions {
  LinkSnapshot link;       // the rates and the factory address; the arrival gives the port
  std::string statePath;   // the counter
  std::string reportPath;  // empty: no report file
  std::string recordDir;   // one apply record per serial number
  std::string stateDir;    // as ApplyOptions::stateDir
  NamePattern name = NamePattern::parse("{n}");
  BatchNumbering numbering;
  // The user named the first number (plenar batch's --serial-from, the dialog's field): an
  // existing counter that neither starts nor goes on there is refused.
  bool firstGiven = true;
  std::optional<long long> count;  // stop after this many printers
  bool reuseFailed = false;
  double lockWaitSeconds = 5;
};

// What became of one printer.
struct BatchPrinter {
  BatchLine line;
  LinkSnapshot link;        // where it arrived
  long long ms = 0;         // from arrival to its report line
  bool earlierRun = false;  // a reservation of an earlier run that ended part-way
};

class BatchRun : public ActionSource {
 public:
  // Opens the counter (BatchError: busy, file) and the report, and checks that the first number
  // (and the last, with a count) gives a name and serial number the printer's fields hold
  // (BatchError, refused). Reservations an earlier run left are reported as interrupted.
  BatchRun(const Profile& profile, ProfileGroups groups, BatchOptions options);
  ~BatchRun() override;

  // An action's `description` reads "1000 Till 1000: [3/12] codepage (set-codepage)" for a request.
  RunAction next() override;
  // The outcome of a TestLink or Send.
  void report(const RunOutcome& outcome) override;
  // A printer arrived on `link` (after AwaitArrival).
  void arrived(const LinkSnapshot& link) override;
  // The printer is gone (after AwaitDeparture).
  void departed() override;
  // No more printers: between printers the bench ends; during one, that printer is reported
  // interrupted (its number stays used) and the bench ends. `why` names the reason.
  void stop(const std::string& why);

  bool finished() const { return phase_ == Phase::Done; }
  // Why the bench could not go on (the counter or the report cannot be written, the numbers or
  // the name field ran out); nullopt when it ended as asked.
  const std::optional<BatchError>& error() const { return error_; }
  const std::vector<BatchPrinter>& printers() const { return printers_; }
  // This run's printers with that outcome (not those an earlier run left reserved).
  int count(BatchOutcome outcome) const;
  // The printer being set up now, when one is.
  const BatchPrinter* current() const { return current_ ? &*current_ : nullptr; }
  const BatchCounter& counter() const { return *counter_; }
  const ApplyRun* apply() const { return apply_.get(); }

 private:
  enum class Phase { Waiting, Applying, Leaving, Done };
  BatchCounter::Device deviceGroupState() const;
  void finishPrinter(BatchOutcome outcome, const std::string& why);
  void writeLine(BatchPrinter& printer);
  void fail(const BatchError& e);
  void checkFits(long long number) const;

  Profile profile_;
  ProfileGroups groups_;
  BatchOptions options_;
  std::optional<BatchCounter> counter_;
  BatchReportFile report_;
  std::unique_ptr<ApplyRun> apply_;
  std::optional<BatchPrinter> current_;
  std::vector<BatchPrinter> printers_;
  std::optional<BatchError> error_;
  Phase phase_ = Phase::Waiting;
  long long handled_ = 0;
  LinkSnapshot leaving_;
  std::chrono::steady_clock::time_point arrivedAt_{};
};

}  // namespace plenar
