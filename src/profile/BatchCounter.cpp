// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/BatchCounter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

#include "platform/ProgramPaths.h"
#include "platform/SafeFiles.h"
#include "profile/ApplyRecord.h"

namespace plenar {
namespace {

constexpr std::size_t kMaxStateBytes = 64u << 20;

BatchError fileError(const std::string& message, const char* code = "batch-state") {
  return BatchError(FailureKind::File, message, code, "--state");
}

std::optional<BatchCounter::Outcome> outcomeOf(const std::string& name) {
  for (auto o : {BatchCounter::Outcome::Reserved, BatchCounter::Outcome::Done,
                 BatchCounter::Outcome::Failed, BatchCounter::Outcome::Interrupted}) {
    if (name == batchOutcomeName(o)) return o;
  }
  return std::nullopt;
}

std::optional<BatchCounter::Device> deviceOf(const std::string& name) {
  for (auto d : {BatchCounter::Device::NotSent, BatchCounter::Device::Sent,
                 BatchCounter::Device::Acknowledged}) {
    if (name == batchDeviceName(d)) return d;
  }
  return std::nullopt;
}

// A whole number of the file; a fraction or a number past 64 bits is no counter's.
long long integerAt(const Json& j, const char* key) {
  if (auto n = jsonInteger(j.at(key))) return *n;
  throw std::runtime_error(std::string(key) + " is not a whole number");
}

// What the file says against itself or its record folder; open() refuses it whole.
struct Contradiction : std::runtime_error {
  using std::runtime_error::runtime_error;
};

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

const char* batchDeviceName(BatchCounter::Device device) {
  switch (device) {
    case BatchCounter::Device::Unknown:
      return "unknown";
    case BatchCounter::Device::NotSent:
      return "not-sent";
    case BatchCounter::Device::Sent:
      return "sent";
    case BatchCounter::Device::Acknowledged:
      return "acknowledged";
  }
  return "unknown";
}

BatchCounter BatchCounter::open(const std::string& path, const BatchNumbering& numbering,
                                const std::string& recordDir, bool firstGiven) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (!folder.empty() && !makePrivateFolder(folder)) {
    throw fileError("batch state " + path + ": " + std::strerror(errno), "batch-state-unwritable");
  }
  LockAttempt lock = FileLock::acquire(path, 0);
  if (lock.result == LockAttempt::Result::Busy) {
    throw BatchError(FailureKind::Busy,
                     "batch state " + path +
                         " is in use by another plenar batch: one bench per "
                         "state file (give another with --state)",
                     "batch-busy", "--state");
  }
  if (!lock.lock) {
    throw fileError("batch state " + path + ": " + lock.reason(), "batch-state-unwritable");
  }
  BatchCounter c(path, std::move(*lock.lock));
  c.recordDir_ = recordDir;
  c.numbering_ = numbering;
  c.next_ = numbering.first;

  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) throw fileError("batch state " + path + ": " + std::strerror(errno));
    c.checkRecords(true);
    c.save();  // the file exists before the first printer, so a write failure shows now
    return c;
  }
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    throw fileError("batch state " + path +
                    ": not a regular file of this user (a symlink?); refused");
  }
  try {
    c.read(readInputFile(path, kMaxStateBytes));
    c.checkAgreement();
  } catch (const Contradiction& e) {
    throw fileError("batch state " + path + " contradicts itself: " + e.what() +
                        "; nothing was sent. Fix it, or move it away: a new counter starts "
                        "only past every number its record folder holds",
                    "batch-state-contradicts");
  } catch (const std::exception& e) {
    // Never start over: an unreadable counter could hand out numbers already given.
    throw fileError("batch state " + path + " cannot be read (" + e.what() +
                    "); fix or move it away, nothing was sent");
  }
  c.checkRecords(false);
  if (firstGiven) c.checkFirstGiven(numbering);
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

// A first number the user gave to a counter that already exists: it started there (a restart
// with the same options) or goes on there, else it would be ignored without a word.
void BatchCounter::checkFirstGiven(const BatchNumbering& given) const {
  const std::string asked = serialText(given.first, given.width);
  const long long first = entries_.empty() ? next_ : entries_.front().number;
  const int width = numbering_.width;
  if (asked == serialText(first, width) || (next_ != -1 && asked == serialText(next_, width))) {
    return;
  }
  const std::string next = next_ == -1 ? "none left" : "next " + serialText(next_, width);
  throw BatchError(FailureKind::Refused,
                   "batch state " + path_ + " counts from " + serialText(first, width) + " (" +
                       next + "): --serial-from " + asked +
                       " would be ignored; nothing was sent. Leave it out to go on with this "
                       "counter, or give another --state to start a new one at " +
                       asked,
                   "batch-serial-from-differs", "--serial-from");
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
    if (e.contains("device")) {
      auto device = deviceOf(e.at("device").get<std::string>());
      if (!device) throw std::runtime_error("unknown device group state");
      entry.device = *device;
    }
    entry.link = e.value("link", "");
    if (!stepped(entry.number, 0, 0) ||
        entry.serial != serialText(entry.number, numbering_.width)) {
      throw std::runtime_error("serial number '" + entry.serial + "' does not match its number");
    }
    entries_.push_back(std::move(entry));
  }
}

bool BatchCounter::behindNext(long long number) const {
  if (next_ == -1) return true;  // used up: every number is behind
  return numbering_.step > 0 ? number < next_ : number > next_;
}

// Our own files list each number once, each one handed out before `next` moved past it.
void BatchCounter::checkAgreement() const {
  std::map<long long, const Entry*> listed;
  for (const Entry& e : entries_) {
    auto [at, fresh] = listed.emplace(e.number, &e);
    if (!fresh) {
      throw Contradiction("serial number " + e.serial + " is listed twice (" +
                          batchOutcomeName(at->second->outcome) + " and " +
                          batchOutcomeName(e.outcome) + ")");
    }
  }
  for (const Entry& e : entries_) {
    if (behindNext(e.number)) continue;
    throw Contradiction("serial number " + e.serial + " is listed as " +
                        batchOutcomeName(e.outcome) + ", yet next is " +
                        serialText(next_, numbering_.width) +
                        ": the counter would hand it out again");
  }
}

// A record (or a record's lock) names a number that was handed out; the counter must be past it.
void BatchCounter::checkRecords(bool fresh) const {
  if (recordDir_.empty()) return;
  std::error_code ec;
  std::vector<long long> ahead;
  for (const auto& f : std::filesystem::directory_iterator(recordDir_, ec)) {
    const auto number = batchRecordNumber(f.path().filename().string());
    if (number && !behindNext(*number)) ahead.push_back(*number);
  }
  if (ec && ec != std::errc::no_such_file_or_directory) {
    throw fileError("record folder " + recordDir_ + " cannot be read: " + ec.message() +
                    "; nothing was sent");
  }
  if (ahead.empty()) return;
  std::sort(ahead.begin(), ahead.end());
  const int width = numbering_.width;
  const std::string which = ahead.size() == 1
                                ? "a record of serial number " + serialText(ahead.front(), width)
                                : "records of " + std::to_string(ahead.size()) +
                                      " serial numbers from " + serialText(ahead.front(), width) +
                                      " to " + serialText(ahead.back(), width);
  const auto past = stepped(numbering_.step > 0 ? ahead.back() : ahead.front(), numbering_.step, 1);
  const std::string start = past ? "--serial-from " + serialText(*past, width)
                                 : "another --state (no serial number is left past them)";
  if (fresh) {
    throw BatchError(FailureKind::Refused,
                     "batch state " + path_ + " is new, but its record folder " + recordDir_ +
                         " holds " + which +
                         " (given by a counter since moved away?): a new counter starts past "
                         "them. Give " +
                         start + ", or another --state (its record folder is its own)",
                     "batch-records-ahead", "--serial-from");
  }
  throw fileError("batch state " + path_ + " is behind its record folder " + recordDir_ +
                      ", which holds " + which +
                      " that the counter would hand out again (an older copy of the state?); "
                      "nothing was sent. Move it away and start a new counter with " +
                      start,
                  "batch-records-ahead");
}

bool BatchCounter::recordHeld(const std::string& serial) const {
  if (recordDir_.empty()) return false;
  struct stat st {};
  return ::lstat(pathIn(recordDir_, batchRecordName(serial)).c_str(), &st) == 0 || errno != ENOENT;
}

bool BatchCounter::reusable(const Entry& e) const {
  return e.outcome == Outcome::Failed && e.device == Device::NotSent && !recordHeld(e.serial);
}

std::optional<std::size_t> BatchCounter::lowestReusable() const {
  std::optional<std::size_t> lowest;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    if (reusable(e) && (!lowest || e.number < entries_[*lowest].number)) lowest = i;
  }
  return lowest;
}

std::optional<long long> BatchCounter::nextToHandOut(bool reuseFailed) const {
  if (reuseFailed) {
    if (auto failed = lowestReusable()) return entries_[*failed].number;
  }
  return peekNext();
}

std::optional<long long> BatchCounter::peekNext() const {
  return stepped(next_, 0, 0);
}

std::optional<BatchCounter::Entry> BatchCounter::reserve(bool reuseFailed, const NamePattern& name,
                                                         const std::string& link) {
  const auto failed = reuseFailed ? lowestReusable() : std::nullopt;
  if (failed) {
    Entry* reuse = &entries_[*failed];
    const Entry before = *reuse;
    reuse->outcome = Outcome::Reserved;
    reuse->device = Device::Unknown;
    reuse->name = name.format(reuse->number);  // the name this run gives it
    reuse->link = link;
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
  e.link = link;
  e.time = utcTimestamp();
  // open() saw no record this far; one made since (by hand, by another program) is never
  // replaced by another printer's.
  if (recordHeld(e.serial)) {
    throw fileError("the record folder " + recordDir_ + " holds a record of serial number " +
                        e.serial + " already: it was given before; nothing was sent",
                    "batch-records-ahead");
  }
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

void BatchCounter::complete(const std::string& serial, Outcome outcome, Device device) {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->serial != serial || it->outcome != Outcome::Reserved) continue;
    it->outcome = outcome;
    it->device = device;
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
    Json entry = {{"serial", e.serial},
                  {"number", e.number},
                  {"name", e.name},
                  {"outcome", batchOutcomeName(e.outcome)},
                  {"time", e.time}};
    if (e.device != Device::Unknown) entry["device"] = batchDeviceName(e.device);
    if (!e.link.empty()) entry["link"] = e.link;
    issued.push_back(std::move(entry));
  }
  j["issued"] = std::move(issued);
  if (!savePrivateFile(path_, j.dump(1) + "\n")) {
    throw fileError("batch state " + path_ + " cannot be written: " + std::strerror(errno),
                    "batch-state-unwritable");
  }
}

}  // namespace plenar
