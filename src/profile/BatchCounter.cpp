// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/BatchCounter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/SafeFiles.h"
#include "profile/ApplyRecord.h"

namespace plenar {
namespace {

constexpr std::size_t kMaxStateBytes = 64u << 20;

BatchError fileError(const std::string& message, const char* code = "batch-state") {
  return BatchError(FailureKind::File, message, code);
}

std::optional<BatchCounter::Outcome> outcomeOf(const std::string& name) {
  for (auto o : {BatchCounter::Outcome::Reserved, BatchCounter::Outcome::Done,
                 BatchCounter::Outcome::Failed, BatchCounter::Outcome::Interrupted}) {
    if (name == batchOutcomeName(o)) return o;
  }
  return std::nullopt;
}

// A whole number of the file; a fraction or a number past 64 bits is no counter's.
long long integerAt(const Json& j, const char* key) {
  if (auto n = jsonInteger(j.at(key))) return *n;
  throw std::runtime_error(std::string(key) + " is not a whole number");
}

}  // namespace

const char* batchOutcomeName(BatchCounter::Outcome outcome) {
  switch (outcome) {
    case BatchCounter::Outcome::Reserved:
      return "reserved";
    case BatchCounter::Outcome::Done:
      return "done";
    case BatchCounter::Outcome::Failed:
      return "failed";
    case BatchCounter::Outcome::Interrupted:
      return "interrupted";
  }
  return "reserved";
}

BatchCounter BatchCounter::open(const std::string& path, const BatchNumbering& numbering) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (!folder.empty() && !makePrivateFolder(folder)) {
    throw fileError("batch state " + path + ": " + std::strerror(errno));
  }
  std::string why;
  std::optional<FileLock> lock = FileLock::acquire(path, 0, why);
  if (!lock && why == "busy") {
    throw BatchError(FailureKind::Busy,
                     "batch state " + path +
                         " is in use by another plenar batch: one bench per "
                         "state file (give another with --state)",
                     "batch-busy");
  }
  if (!lock) throw fileError("batch state " + path + ": " + why);
  BatchCounter c(path, std::move(*lock));
  c.numbering_ = numbering;
  c.next_ = numbering.first;

  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) throw fileError("batch state " + path + ": " + std::strerror(errno));
    c.save();  // the file exists before the first printer, so a write failure shows now
    return c;
  }
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    throw fileError("batch state " + path +
                    ": not a regular file of this user (a symlink?); refused");
  }
  try {
    c.read(readInputFile(path, kMaxStateBytes));
  } catch (const std::exception& e) {
    // Never start over: an unreadable counter could hand out numbers already given.
    throw fileError("batch state " + path + " cannot be read (" + e.what() +
                    "); fix or move it away, nothing was sent");
  }
  // A reservation left by a run that ended part-way: its printer may hold the number.
  bool stale = false;
  for (Entry& e : c.entries_) {
    if (e.outcome != Outcome::Reserved) continue;
    e.outcome = Outcome::Interrupted;
    c.foundInterrupted_.push_back(e);
    stale = true;
  }
  if (stale) c.save();
  return c;
}

// Only what this program writes is taken: a file edited by hand, or by another user of a shared
// folder, could otherwise hand a printer a serial number it cannot store (a width of thousands
// of digits, letters, spaces) or name a record file outside the record folder.
void BatchCounter::read(const std::string& text) {
  const Json j = Json::parse(text);
  if (integerAt(j, "schema") != 1) throw std::runtime_error("unknown schema");
  next_ = integerAt(j, "next");
  numbering_.step = integerAt(j, "step");
  const long long width = integerAt(j, "width");
  if (!numberingInRange(numbering_.step, width)) {
    throw std::runtime_error("step or width out of range");
  }
  numbering_.width = static_cast<int>(width);
  // -1: every number is used up.
  if (next_ != -1 && !stepped(next_, 0, 0)) throw std::runtime_error("next out of range");
  for (const Json& e : j.at("issued")) {
    Entry entry;
    entry.serial = e.at("serial").get<std::string>();
    entry.number = integerAt(e, "number");
    entry.name = e.value("name", "");
    entry.time = e.value("time", "");
    auto outcome = outcomeOf(e.at("outcome").get<std::string>());
    if (!outcome) throw std::runtime_error("unknown outcome");
    entry.outcome = *outcome;
    if (!stepped(entry.number, 0, 0) ||
        entry.serial != serialText(entry.number, numbering_.width)) {
      throw std::runtime_error("serial number '" + entry.serial + "' does not match its number");
    }
    entries_.push_back(std::move(entry));
  }
}

std::optional<std::size_t> BatchCounter::lowestFailed() const {
  std::optional<std::size_t> lowest;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    if (e.outcome == Outcome::Failed && (!lowest || e.number < entries_[*lowest].number)) {
      lowest = i;
    }
  }
  return lowest;
}

std::optional<long long> BatchCounter::nextToHandOut(bool reuseFailed) const {
  if (reuseFailed) {
    if (auto failed = lowestFailed()) return entries_[*failed].number;
  }
  return peekNext();
}

std::optional<long long> BatchCounter::peekNext() const {
  return stepped(next_, 0, 0);
}

std::optional<BatchCounter::Entry> BatchCounter::reserve(bool reuseFailed,
                                                         const NamePattern& name) {
  const auto failed = reuseFailed ? lowestFailed() : std::nullopt;
  if (failed) {
    Entry* reuse = &entries_[*failed];
    const Entry before = *reuse;
    reuse->outcome = Outcome::Reserved;
    reuse->name = name.format(reuse->number);  // the name this run gives it
    reuse->time = utcTimestamp();
    try {
      save();
    } catch (...) {
      *reuse = before;
      throw;
    }
    return *reuse;
  }
  const auto number = peekNext();
  if (!number) return std::nullopt;
  Entry e;
  e.number = *number;
  e.serial = serialText(*number, numbering_.width);
  e.name = name.format(*number);
  e.time = utcTimestamp();
  const long long before = next_;
  // The last number of the range has no successor: it is handed out, then the counter is used up.
  next_ = stepped(next_, numbering_.step, 1).value_or(-1);
  entries_.push_back(e);
  try {
    save();
  } catch (...) {
    entries_.pop_back();
    next_ = before;
    throw;
  }
  return e;
}

void BatchCounter::complete(const std::string& serial, Outcome outcome) {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->serial != serial || it->outcome != Outcome::Reserved) continue;
    it->outcome = outcome;
    it->time = utcTimestamp();
    save();
    return;
  }
}

void BatchCounter::save() {
  Json j;
  j["schema"] = 1;
  j["next"] = next_;
  j["step"] = numbering_.step;
  j["width"] = numbering_.width;
  Json issued = Json::array();
  for (const Entry& e : entries_) {
    issued.push_back({{"serial", e.serial},
                      {"number", e.number},
                      {"name", e.name},
                      {"outcome", batchOutcomeName(e.outcome)},
                      {"time", e.time}});
  }
  j["issued"] = std::move(issued);
  if (!savePrivateFile(path_, j.dump(1) + "\n")) {
    throw fileError("batch state " + path_ + " cannot be written: " + std::strerror(errno));
  }
}

}  // namespace plenar
