// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "engine/CommandRequest.h"
#include "profile/ApplyError.h"
#include "profile/ApplyRecord.h"
#include "profile/ApplyRecordKeeper.h"
#include "profile/LinkJson.h"
#include "profile/Profile.h"
#include "profile/ProfileGroups.h"
#include "profile/RunAction.h"
#include "shared/FailureKind.h"

namespace plenar {

// One `apply` of a profile to one printer, as a sequence of actions that a front end (plenar,
// the parameter window) carries out one at a time on its worker and reports back:
//
//   1. With a record whose hashes match every group, nothing is sent at all.
//   2. The link test (identify) on the recorded link after the last apply, when it differs from
//      the given one, then on the given one: the first that answers is used. A model tag that
//      differs from the record's means another printer: its state is unknown and every group
//      goes out. A firmware file for another model is refused before any byte.
//   3. Each group whose hash differs from the record (all with `force`), in the planner's
//      order; the record is rewritten after each one that succeeded. The first failure stops
//      the rest.
//   4. After a group that changed the link it runs over (rate, address, USB type), the link
//      test on the new parameters; the record keeps them as link_after.
//
// The record never claims more than the printer holds: an apply takes the record's lock (and
// the serial port's UUCP lock) before it reads it; before a group goes out, an entry the
// record holds for it is removed; after the printer took it, the new entry is written. A
// record that cannot be written fails the run (kind file), before the first byte where
// possible. When the printer answers only on the given link although the record says the last
// apply moved it, the record is stale and every group goes out. The record's keeping (lock,
// reading, key, forgetting, writing) is ApplyRecordKeeper's; the run holds the phases.
//
// Threads: one thread (the front end's owner thread).
struct ApplyOptions {
  LinkSnapshot link;       // as given (plenar's link options, the connection window)
  std::string recordPath;  // --record, else defaultRecordPath()
  std::string stateDir;    // where 1.bin and 2.bin are built, and the record key is kept
  bool force = false;
  // An apply that sends: wait this long for the record's lock (and the serial port's lock).
  // nullopt for --plan and --check, which take no lock.
  std::optional<double> lockWaitSeconds;
  // Identify the printer even when the record matches every group: another model or no answer
  // then counts against the record.
  bool verify = false;
  // Send a program although the file or the printer gives no model tag to compare.
  bool forceFirmware = false;
  // The user named the record's file (--record, --record-dir): a file there that is not a
  // record of this program (a profile, notes) is refused, never replaced (record-foreign).
  bool recordNamed = false;
};

class ApplyRun : public ActionSource {
 public:
  // Orders the groups for the link (ProfileError when one cannot be applied over it) and reads
  // the record (a record that cannot be read counts as none, with a note).
  ApplyRun(const Profile& profile, ProfileGroups groups, ApplyOptions options);

  using Action = RunAction;
  using Outcome = RunOutcome;
  // What to do now (never Wait). Done once the apply has finished (or failed).
  Action next() override;
  void report(const Outcome& outcome) override;

  bool finished() const { return phase_ == Phase::Done; }
  // A group was sent (and acknowledged) in this run.
  bool changed() const;
  const std::optional<ApplyError>& error() const { return error_; }
  std::string modelTag() const { return modelTag_; }
  const std::vector<std::string>& notes() const { return notes_; }
  // The same notes as facts, for a front end that words them in its own language.
  using NoteKind = ApplyNoteKind;
  struct Note {
    NoteKind kind;
    std::vector<std::string> args;
  };
  const std::vector<Note>& noteFacts() const { return noteFacts_; }
  const std::vector<ProfileGroup>& groups() const { return groups_; }

  // What became of a group's step.
  enum class StepStatus { NotRun, Done, Skipped, Failed };
  // One step per group, in the order they go out.
  using Values = std::vector<std::pair<std::string, std::string>>;
  struct StepReport {
    const ProfileGroup* group = nullptr;
    StepStatus status = StepStatus::NotRun;
    long long ms = 0;
    std::string error;
    bool pending = true;               // differs from the record (or no record, or --force)
    const Values* previous = nullptr;  // the record's values before this run; null when none
  };
  std::vector<StepReport> steps() const;

  // Whether the record told what the printer holds (false without one, or of another printer).
  bool stateKnown() const { return keeper_.stateKnown(); }
  // The printer answered only on the given link, not where the record said it was left.
  bool recordStale() const { return recordStale_; }
  // The record says the last apply left the printer on another link than the one given.
  bool linkRedirected() const { return keeper_.linkRedirected(); }
  const std::string& profilePath() const { return profilePath_; }
  const std::string& profileSha256() const { return profileSha256_; }
  const std::string& recordPath() const { return options_.recordPath; }
  bool recordExisted() const { return keeper_.existed(); }
  bool recordWritten() const { return keeper_.written(); }
  // Where the last apply left the printer, as the record said before this run.
  std::optional<LinkSnapshot> recordedLinkAfter() const { return keeper_.recordedLinkAfter(); }
  const std::optional<LinkSnapshot>& linkUsed() const { return used_; }
  const std::optional<LinkSnapshot>& linkAfter() const { return linkAfter_; }
  bool linkAfterAnswered() const { return linkAfterAnswered_; }
  const std::vector<IgnoredKey>& ignored() const { return ignored_; }

 private:
  enum class Phase { Start, Testing, Sending, CheckingLinkAfter, Done };
  struct Step {
    bool pending = true;
    StepStatus status = StepStatus::NotRun;
    long long ms = 0;
    std::string error;
  };

  void note(NoteKind kind, std::vector<std::string> args, std::string text);
  void keySecretGroups(bool profileHoldsPassword);
  // The record no longer says what the printer holds: every group goes out.
  void forgetRecord();
  void decidePending();
  void fail(ApplyError error);
  bool checkFirmware(const LinkSnapshot& tried);
  void linkTested(const Outcome& outcome);
  Action sendNext();
  bool saveRecord();
  std::optional<LinkSnapshot> linkAfterChanges(bool& changedOwnLink);

  std::string profilePath_;
  std::string profileSha256_;
  std::vector<IgnoredKey> ignored_;
  std::vector<ProfileGroup> groups_;
  std::vector<Step> steps_;
  ApplyOptions options_;
  ApplyRecordKeeper keeper_;
  bool recordStale_ = false;
  Phase phase_ = Phase::Start;
  std::vector<LinkSnapshot> candidates_;
  std::size_t candidate_ = 0;
  std::optional<LinkSnapshot> used_;
  std::optional<LinkSnapshot> linkAfter_;
  bool linkAfterAnswered_ = false;
  std::size_t current_ = 0;
  std::string modelTag_;
  std::optional<ApplyError> error_;
  std::vector<std::string> notes_;
  std::vector<Note> noteFacts_;
  std::chrono::steady_clock::time_point stepStart_{};
};

}  // namespace plenar
