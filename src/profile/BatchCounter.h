// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FileLocks.h"
#include "profile/BatchNames.h"

namespace plenar {

// The batch bench's counter: the next serial number, the step, and every number handed out with
// what became of it. One JSON file, held under its lock for the whole run (a second bench on the
// same file is refused, never interleaved), replaced through a temporary file and a rename (0600,
// never through a symlink) each time it changes:
//
// {"schema":1,"next":1012,"step":1,"width":0,
//  "issued":[{"serial":"1000","number":1000,"name":"Till 1000","outcome":"done",
//             "device":"acknowledged","link":"serial /dev/ttyUSB0 at 9600",
//             "time":"2026-12-08T08:00:00Z"}, ...]}
//
// A number is written as "reserved" before any request carrying it goes out, so whatever stops
// the program (a kill, a power cut) the number is never handed out again: a reservation found
// when the file is opened belonged to a run that ended part-way and becomes "interrupted".
// A failed printer keeps its number. "device" says what became of the printer's device group
// (its name and serial number): a number whose group was acknowledged, or sent and not
// acknowledged, may be held by that printer; only one whose group never went out ("not-sent")
// is handed out again by reuseFailed, lowest first, and only while its record folder holds no
// record of it. An entry without "device" (an older file) counts as held.
//
// What the file says is taken only when it agrees with itself and with the record folder: no
// number listed twice, every listed number behind `next` (below it when counting up, above it
// when counting down), and no record in the folder of a number the counter has not passed. A
// file that breaks this was not written by this program; which of its parts is true cannot be
// told, so it is refused rather than mended, and nothing is handed out from it.
// Threads: one thread.
class BatchCounter {
 public:
  enum class Outcome { Reserved, Done, Failed, Interrupted };
  // What became of the device group of the printer given the number; Unknown while reserved, and
  // for an entry of an older file.
  enum class Device { Unknown, NotSent, Sent, Acknowledged };
  struct Entry {
    std::string serial;
    long long number = 0;
    std::string name;
    Outcome outcome = Outcome::Reserved;
    Device device = Device::Unknown;
    std::string link;  // where the printer given it arrived, as describeLink() words it
    std::string time;
  };

  // Locks and reads `path`; a missing file starts from `numbering`. An existing file keeps its
  // own next number and step (numbering only starts a new file). `recordDir` is the bench's
  // record folder (one record per serial number; empty: none). BatchError: busy when another
  // run holds the file; file when it cannot be read, written or is unsafe (a symlink, not a
  // regular file), or contradicts itself or its record folder ("batch-state-contradicts",
  // "batch-records-ahead"); refused ("batch-records-ahead") when a new counter would start at or
  // before a number its record folder holds. Nothing is written before these checks.
  // `firstGiven`: the user named the first number; an existing file that neither started there
  // nor goes on there is refused ("batch-serial-from-differs") rather than silently kept.
  static BatchCounter open(const std::string& path, const BatchNumbering& numbering,
                           const std::string& recordDir = {}, bool firstGiven = false);

  // Hands out the next number (the lowest reusable failed one first with reuseFailed) and writes
  // it as reserved before returning, with `link`, where the printer arrived. nullopt when the
  // numbers are used up (past 10^18 - 1 or below 0). BatchError (file) when the file cannot be
  // written: the number is then not handed out.
  std::optional<Entry> reserve(bool reuseFailed, const NamePattern& name,
                               const std::string& link = {});
  // What the next reserve() would hand out (without reuse), nullopt when none.
  std::optional<long long> peekNext() const;
  // What the next reserve(reuseFailed, ...) hands out: with reuseFailed the lowest reusable
  // failed number when there is one, else peekNext().
  std::optional<long long> nextToHandOut(bool reuseFailed) const;
  // Whether reuseFailed may hand `e` out again: failed, its device group certainly never sent,
  // and no record of it in the record folder.
  bool reusable(const Entry& e) const;
  // Records what became of a reserved number and of its device group. BatchError (file) when it
  // cannot be written.
  void complete(const std::string& serial, Outcome outcome, Device device = Device::Unknown);

  // Reservations of an earlier run that ended part-way, now interrupted (found by open()).
  const std::vector<Entry>& foundInterrupted() const { return foundInterrupted_; }
  const std::vector<Entry>& entries() const { return entries_; }
  const BatchNumbering& numbering() const { return numbering_; }
  long long next() const { return next_; }
  const std::string& path() const { return path_; }

 private:
  BatchCounter(std::string path, FileLock lock) : path_(std::move(path)), lock_(std::move(lock)) {}
  void read(const std::string& text);
  void checkAgreement() const;
  void checkRecords(bool fresh) const;
  bool behindNext(long long number) const;
  bool recordHeld(const std::string& serial) const;
  std::optional<std::size_t> lowestReusable() const;
  void save();

  std::string path_;
  std::string recordDir_;
  FileLock lock_;
  void checkFirstGiven(const BatchNumbering& given) const;

  BatchNumbering numbering_;
  long long next_ = 0;
  std::vector<Entry> entries_;
  std::vector<Entry> foundInterrupted_;
};

const char* batchOutcomeName(BatchCounter::Outcome outcome);
// "unknown", "not-sent", "sent", "acknowledged".
const char* batchDeviceName(BatchCounter::Device device);

}  // namespace plenar
