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
//             "time":"2026-12-08T08:00:00Z"}, ...]}
//
// A number is written as "reserved" before any request carrying it goes out, so whatever stops
// the program (a kill, a power cut) the number is never handed out again: a reservation found
// when the file is opened belonged to a run that ended part-way and becomes "interrupted".
// A failed printer keeps its number; reuseFailed hands failed numbers out again, lowest first.
// Threads: one thread.
class BatchCounter {
 public:
  enum class Outcome { Reserved, Done, Failed, Interrupted };
  struct Entry {
    std::string serial;
    long long number = 0;
    std::string name;
    Outcome outcome = Outcome::Reserved;
    std::string time;
  };

  // Locks and reads `path`; a missing file starts from `numbering`. An existing file keeps its
  // own next number and step (numbering only starts a new file). BatchError: busy when another
  // run holds the file, file when it cannot be read, written or is unsafe (a symlink, not a
  // regular file).
  static BatchCounter open(const std::string& path, const BatchNumbering& numbering);

  // Hands out the next number (the lowest failed one first with reuseFailed) and writes it as
  // reserved before returning. nullopt when the numbers are used up (past 10^18 - 1 or below 0).
  // BatchError (file) when the file cannot be written: the number is then not handed out.
  std::optional<Entry> reserve(bool reuseFailed, const NamePattern& name);
  // What the next reserve() would hand out (without reuse), nullopt when none.
  std::optional<long long> peekNext() const;
  // What the next reserve(reuseFailed, ...) hands out: with reuseFailed the lowest failed number
  // when there is one, else peekNext().
  std::optional<long long> nextToHandOut(bool reuseFailed) const;
  // Records what became of a reserved number. BatchError (file) when it cannot be written.
  void complete(const std::string& serial, Outcome outcome);

  // Reservations of an earlier run that ended part-way, now interrupted (found by open()).
  const std::vector<Entry>& foundInterrupted() const { return foundInterrupted_; }
  const std::vector<Entry>& entries() const { return entries_; }
  const BatchNumbering& numbering() const { return numbering_; }
  long long next() const { return next_; }
  const std::string& path() const { return path_; }

 private:
  BatchCounter(std::string path, FileLock lock) : path_(std::move(path)), lock_(std::move(lock)) {}
  void read(const std::string& text);
  std::optional<std::size_t> lowestFailed() const;
  void save();

  std::string path_;
  FileLock lock_;
  BatchNumbering numbering_;
  long long next_ = 0;
  std::vector<Entry> entries_;
  std::vector<Entry> foundInterrupted_;
};

const char* batchOutcomeName(BatchCounter::Outcome outcome);

}  // namespace plenar
