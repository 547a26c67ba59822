// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ApplyRecordKeeper.h"

#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "channels/SerialPortList.h"
#include "platform/BuildInfo.h"
#include "platform/FolderOwners.h"
#include "platform/SafeFiles.h"
#include "platform/TerminationSignals.h"
#include "profile/ApplyPlan.h"

namespace plenar {
namespace {

// The same printer port (rates aside): a record of one link says nothing about another.
bool samePort(const LinkSnapshot& a, const LinkSnapshot& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case LinkKind::Serial:
      return serialDeviceOf(a.serialPort) == serialDeviceOf(b.serialPort);
    case LinkKind::Network:
      return a.ipAddress == b.ipAddress && a.udpPort == b.udpPort;
    case LinkKind::Usb:
      return a.usbDevice == b.usbDevice;
    case LinkKind::Parallel:
      return a.lptNumber == b.lptNumber;
  }
  return false;
}

std::string secondsText(double wait) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", wait);
  return seconds;
}

}  // namespace

ApplyRecordKeeper::ApplyRecordKeeper(std::string path, std::string stateDir, LinkSnapshot link,
                                     NoteSink note)
    : path_(std::move(path)),
      stateDir_(std::move(stateDir)),
      link_(std::move(link)),
      note_(std::move(note)) {}

const std::string& ApplyRecordKeeper::key(bool anySecret) {
  if (!anySecret || !key_.empty()) return key_;
  std::string why;
  key_ = recordKey(stateDir_, why);
  if (key_.empty()) {
    key_.assign(32, '\0');
    if (::getrandom(key_.data(), key_.size(), 0) != static_cast<ssize_t>(key_.size())) {
      key_ = std::to_string(::getpid()) + utcTimestamp();
    }
    note_(ApplyNoteKind::NoRecordKey, {why},
          why + ": the groups with a password are sent every time");
  }
  return key_;
}

// A link or another user's file at the record's path fails the run.
std::optional<ApplyError> ApplyRecordKeeper::pathUnsafe() const {
  try {
    checkRecordPath(path_);
    return std::nullopt;
  } catch (const RecordUnsafe& e) {
    return ApplyError{.kind = FailureKind::File, .message = e.what(), .code = "record-unsafe"};
  }
}

std::optional<ApplyError> ApplyRecordKeeper::refuseForeign() const {
  if (auto unsafe = pathUnsafe()) return unsafe;
  if (replaceableByRecord(path_)) return std::nullopt;
  return ApplyError{
      .kind = FailureKind::File,
      .message = "the apply record " + path_ +
                 " is refused: the file is not an apply record of plenar, and an apply never "
                 "replaces anything else (name a new file or an earlier record); nothing was sent",
      .code = "record-foreign"};
}

std::optional<ApplyError> ApplyRecordKeeper::lock(double wait) {
  if (auto unsafe = pathUnsafe()) return unsafe;
  const std::string folder = std::filesystem::path(path_).parent_path().string();
  if (!makePrivateFolder(folder)) {
    return ApplyError{
        .kind = FailureKind::File,
        .message = "the record folder " + folder + " cannot be made: " + std::strerror(errno),
        .code = "record-unwritable"};
  }
  LockAttempt attempt = FileLock::acquire(path_, wait);
  lock_ = std::move(attempt.lock);
  if (attempt.result == LockAttempt::Result::Busy) {
    const std::string holds =
        terminationSignal() != 0
            ? "stopped while another apply to this printer held its record " + path_
            : "another apply to this printer holds its record " + path_ + " (waited " +
                  secondsText(wait) + " s; --wait SECONDS waits longer)";
    return ApplyError{
        .kind = FailureKind::Busy, .message = holds + "; nothing was sent", .code = "record-busy"};
  }
  if (!lock_) {
    return ApplyError{.kind = FailureKind::File,
                      .message = "the record lock cannot be taken: " + attempt.reason(),
                      .code = "record-unwritable"};
  }
  if (link_.kind == LinkKind::Serial) {
    const std::string device = resolveSerialPortName(link_.serialPort);
    PortLockHolder holder;
    portLock_ = SerialPortLock::acquire(device, wait, holder);
    if (!portLock_) return portLocked(device, holder, wait);
  }
  // Temporary files of a run that was killed while it wrote the record.
  removeStaleTemps(path_);
  return std::nullopt;
}

ApplyError ApplyRecordKeeper::portLocked(const std::string& device, const PortLockHolder& holder,
                                         double wait) const {
  if (terminationSignal() != 0) {
    return ApplyError{.kind = FailureKind::Busy,
                      .message = "stopped while waiting for the lock of " + device + " (" +
                                 holder.path + "); nothing was sent",
                      .code = holder.pid ? "port-locked" : "port-lock-stale"};
  }
  if (holder.pid != 0) {
    return ApplyError{.kind = FailureKind::Busy,
                      .message = device + " is locked by process " + std::to_string(holder.pid) +
                                 " (" + holder.path + "); nothing was sent",
                      .code = "port-locked"};
  }
  // No process holds it, and it is not ours to take over: its owner (or root) removes it.
  return ApplyError{
      .kind = FailureKind::Busy,
      .message = device + " has a stale lock file " + holder.path + " (" + holder.stale +
                 ", no process holds the port) of " + describeUser(holder.ownerUid) +
                 "; it is left in place: its owner or root may remove it once no program uses " +
                 "the port (waited " + secondsText(wait) + " s); nothing was sent",
      .code = "port-lock-stale"};
}

std::optional<ApplyError> ApplyRecordKeeper::load() {
  std::error_code ec;
  const bool onDisk = std::filesystem::exists(std::filesystem::symlink_status(path_, ec));
  try {
    record_ = loadApplyRecord(path_);
  } catch (const RecordUnsafe& e) {
    return ApplyError{.kind = FailureKind::File, .message = e.what(), .code = "record-unsafe"};
  } catch (const RecordError& e) {
    note_(ApplyNoteKind::RecordUnreadable, {e.what()},
          std::string(e.what()) + "; every group is sent and the record replaced");
    diskDirty_ = onDisk;
  }
  if (record_) {
    for (const auto& [name, g] : record_->groups) diskGroups_[name] = g.sha256;
  }
  if (record_ && !samePort(record_->link, link_)) {
    note_(ApplyNoteKind::RecordOfAnotherLink, {path_, describeLink(record_->link)},
          "the record " + path_ + " is of another link (" + describeLink(record_->link) +
              "); every group is sent");
    record_.reset();
    diskDirty_ = true;
  }
  existed_ = record_.has_value();
  stateKnown_ = existed_;
  if (record_) {
    for (const auto& [name, g] : record_->groups) before_[name] = g.values;
    recordedLinkAfter_ = record_->linkAfter;
    linkRedirected_ = record_->linkAfter && !sameLink(*record_->linkAfter, link_);
  }
  return std::nullopt;
}

void ApplyRecordKeeper::forget() {
  stateKnown_ = false;
  before_.clear();
  if (record_) {
    record_->groups.clear();
    record_->device.reset();
  }
  diskDirty_ = true;
}

// The record as it stands, stamped for a write now.
ApplyRecord ApplyRecordKeeper::stamped(const std::string& modelTag) const {
  ApplyRecord r = record_ ? *record_ : ApplyRecord{};
  r.plenarVersion = buildVersion();
  r.updated = utcTimestamp();
  r.link = link_;
  r.modelTag = modelTag;
  return r;
}

// After the printer took the new value, a record that could not be rewritten would still hold
// the old.
std::optional<ApplyError> ApplyRecordKeeper::forgetBeforeSending(const std::string& group,
                                                                 const std::string& modelTag) {
  const auto onDisk = [&](std::string_view name) { return diskGroups_.count(std::string(name)); };
  const auto shared = groupsSharingState(group);
  if (!diskDirty_ && !onDisk(group) && std::none_of(shared.begin(), shared.end(), onDisk)) {
    if (diskChecked_) return std::nullopt;
    // Nothing to take back: see that the folder takes a file at all before the first byte.
    const std::error_code error = recordFolderProblem(path_);
    if (!error) {
      diskChecked_ = true;
      return std::nullopt;
    }
    return writeFailure(error, "nothing was sent", group);
  }
  ApplyRecord r = stamped(modelTag);
  // The group, and the groups it undoes on the printer.
  std::vector<std::string> gone{group};
  for (std::string_view other : shared) gone.emplace_back(other);
  for (const std::string& name : gone) {
    r.groups.erase(name);
    if (record_) record_->groups.erase(name);
  }
  if (group == "device") r.device.reset();
  const std::error_code error = write(r);
  if (!error) return std::nullopt;
  return writeFailure(error, "nothing more was sent", group);
}

std::optional<ApplyError> ApplyRecordKeeper::save(const Holding& holding) {
  ApplyRecord r = stamped(holding.modelTag);
  r.linkAfter = holding.linkAfter;
  r.profileSha256 = holding.profileSha256;
  for (const ProfileGroup* g : holding.done) {
    // Groups sent in this run, in order: one sent later undoes what an earlier one set.
    for (std::string_view other : groupsSharingState(g->name)) r.groups.erase(std::string(other));
    auto it = r.groups.find(g->name);
    if (it == r.groups.end() || it->second.sha256 != g->sha256 || it->second.keyed != g->secret) {
      r.groups[g->name] = RecordedGroup{
          .sha256 = g->sha256, .keyed = g->secret, .applied = r.updated, .values = g->values};
    }
    if (g->name == "device" && g->values.size() == 2) {
      r.device = std::make_pair(g->values[0].second, g->values[1].second);
    }
  }
  record_ = r;
  const std::error_code error = write(r);
  if (!error) {
    written_ = true;
    return std::nullopt;
  }
  return ApplyError{.kind = FailureKind::File,
                    .message = "the printer took the changes, but the apply record " + path_ +
                               " cannot be written: " + error.message() +
                               "; the record claims none of them, so the next apply sends them "
                               "again",
                    .code = "record-unwritable"};
}

std::error_code ApplyRecordKeeper::write(const ApplyRecord& r) {
  if (const std::error_code error = saveApplyRecord(path_, r)) return error;
  diskDirty_ = false;
  diskChecked_ = true;
  diskGroups_.clear();
  for (const auto& [name, g] : r.groups) diskGroups_[name] = g.sha256;
  return {};
}

ApplyError ApplyRecordKeeper::writeFailure(const std::error_code& error, const std::string& what,
                                           const std::string& group) const {
  return ApplyError{.kind = FailureKind::File,
                    .message = "the apply record " + path_ +
                               " cannot be written: " + error.message() + "; " + what +
                               " (the record claims nothing that was not acknowledged)",
                    .group = group,
                    .code = "record-unwritable"};
}

}  // namespace plenar
