// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/CommandRequest.h"
#include "platform/FileLocks.h"
#include "profile/ApplyError.h"
#include "profile/ApplyRecord.h"
#include "profile/ProfileGroups.h"

namespace plenar {

// A note of an apply, as facts for a front end that words it in its own language: what it is
// about, and the texts it names (links, paths, model tags, a reason) in the order the English
// wording names them.
enum class ApplyNoteKind {
  NoRecordKey,             // why
  RecordUnreadable,        // the reader's refusal
  RecordOfAnotherLink,     // record path, its link
  NowUsbVirtualSerial,     //
  NoAnswerOnRecordedLink,  // the recorded link, the one tried next
  RecordStale,             // the recorded link, the one that answered
  AnsweredWhereLeft,       // the link that answered, the given one
  AnotherModel,            // the record's model tag, the printer's
};

// The apply record of one apply: its lock (and the serial port's UUCP lock), reading it, the
// machine's key for groups with a password, forgetting what the printer may no longer hold, and
// writing it after each group the printer took. The record never claims more than the printer
// holds: before a group goes out its entry is removed from the file, and a record that cannot be
// written is a failure (kind file), before the first byte where possible.
// Threads: one thread (the apply's).
class ApplyRecordKeeper {
 public:
  // How a note reaches the apply: its facts and its English text.
  using NoteSink =
      std::function<void(ApplyNoteKind kind, std::vector<std::string> args, std::string text)>;
  using Values = std::vector<std::pair<std::string, std::string>>;

  // `link` is the link as given: a record of another port says nothing of this printer.
  ApplyRecordKeeper(std::string path, std::string stateDir, LinkSnapshot link, NoteSink note);

  // The machine's record key when `anySecret` (else empty); without one, a key of this run alone,
  // with a note: the groups with a password then never match and always go out.
  const std::string& key(bool anySecret);
  // A file at the path that is not a record of this program is refused, never replaced.
  std::optional<ApplyError> refuseForeign() const;
  // Takes the record's lock and the serial port's, waiting at most `wait` seconds for each.
  std::optional<ApplyError> lock(double wait);
  // Reads the record: one that cannot be read counts as none (with a note), one of another port
  // is dropped; an unsafe path fails.
  std::optional<ApplyError> load();
  // The record no longer says what the printer holds: the file is replaced before anything
  // goes out.
  void forget();
  // Before `group` goes out the file must not claim a value for it (nor for the groups it
  // undoes on the printer).
  std::optional<ApplyError> forgetBeforeSending(const std::string& group,
                                                const std::string& modelTag);
  // What the printer holds after this run's `done` groups (in the order they went out).
  struct Holding {
    std::optional<LinkSnapshot> linkAfter;
    std::string modelTag;
    std::string profileSha256;
    std::vector<const ProfileGroup*> done;
  };
  std::optional<ApplyError> save(const Holding& holding);

  const std::string& path() const { return path_; }
  // The record as read (and as this run changed it); nullopt without one.
  const std::optional<ApplyRecord>& record() const { return record_; }
  // Each recorded group's values before this run, for the diff.
  const std::map<std::string, Values>& before() const { return before_; }
  bool existed() const { return existed_; }
  bool stateKnown() const { return stateKnown_; }
  bool written() const { return written_; }
  // The record says the last apply left the printer on another link than the one given.
  bool linkRedirected() const { return linkRedirected_; }
  std::optional<LinkSnapshot> recordedLinkAfter() const { return recordedLinkAfter_; }

 private:
  std::optional<ApplyError> pathUnsafe() const;
  ApplyError portLocked(const std::string& device, const PortLockHolder& holder, double wait) const;
  // No error once written, else the errno of the call that failed.
  std::error_code write(const ApplyRecord& r);
  ApplyError writeFailure(const std::error_code& error, const std::string& what,
                          const std::string& group) const;
  ApplyRecord stamped(const std::string& modelTag) const;

  std::string path_;
  std::string stateDir_;
  LinkSnapshot link_;
  NoteSink note_;
  std::optional<ApplyRecord> record_;
  std::map<std::string, Values> before_;
  std::optional<LinkSnapshot> recordedLinkAfter_;
  std::string key_;
  std::optional<FileLock> lock_;
  std::optional<SerialPortLock> portLock_;
  // What the file holds now may claim groups that record_ no longer has (another printer's,
  // unreadable, stale): the next write replaces it before anything is sent.
  bool diskDirty_ = false;
  bool diskChecked_ = false;                       // the record folder took a file
  std::map<std::string, std::string> diskGroups_;  // group -> hash, as the file holds them
  bool existed_ = false;
  bool stateKnown_ = false;
  bool written_ = false;
  bool linkRedirected_ = false;
};

}  // namespace plenar
