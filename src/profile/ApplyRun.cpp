// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ApplyRun.h"

#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "channels/SerialPortList.h"
#include "logo/LogoFiles.h"
#include "logo/LogoImage.h"
#include "platform/BuildInfo.h"
#include "platform/FolderOwners.h"
#include "platform/SafeFiles.h"
#include "platform/Sha256.h"
#include "platform/TerminationSignals.h"
#include "profile/ApplyPlan.h"
#include "requests/FileActions.h"
#include "shared/RateCodes.h"

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

}  // namespace

ApplyRun::ApplyRun(const Profile& profile, ProfileGroups groups, ApplyOptions options)
    : profilePath_(profile.path),
      profileSha256_(profile.sha256),
      ignored_(profile.ignored),
      groups_(orderForLink(std::move(groups.groups), options.link.kind)),
      steps_(groups_.size()),
      options_(std::move(options)) {
  ignored_.insert(ignored_.end(), groups.ignored.begin(), groups.ignored.end());
  keySecretGroups(holdsPasswordKey(profile));
  if (options_.recordNamed && !refuseForeignRecord()) return;
  if (options_.lockWaitSeconds && !lockRecord()) return;
  loadRecord();
  if (error_) return;
  decidePending();
  // Where the last apply left the printer first (a new rate or address), then as given.
  if (linkRedirected_ && record_->linkAfter->kind == options_.link.kind) {
    candidates_.push_back(*record_->linkAfter);
  }
  candidates_.push_back(options_.link);
}

void ApplyRun::note(NoteKind kind, std::vector<std::string> args, std::string text) {
  noteFacts_.push_back({kind, std::move(args)});
  notes_.push_back(std::move(text));
}

// A profile that names a password key has a keyed digest even when no group with it goes out
// (an empty SSID leaves the station's group out, its StaModePsw stays in the file): a plain
// digest of the file would let a dictionary find the password.
void ApplyRun::keySecretGroups(bool profileHoldsPassword) {
  const bool anySecret =
      profileHoldsPassword ||
      std::any_of(groups_.begin(), groups_.end(), [](const ProfileGroup& g) { return g.secret; });
  if (!anySecret) return;
  std::string why;
  key_ = recordKey(options_.stateDir, why);
  if (key_.empty()) {
    // A key of this run alone: the groups with a password never match and always go out.
    key_.assign(32, '\0');
    if (::getrandom(key_.data(), key_.size(), 0) != static_cast<ssize_t>(key_.size())) {
      key_ = std::to_string(::getpid()) + utcTimestamp();
    }
    note(NoteKind::NoRecordKey, {why}, why + ": the groups with a password are sent every time");
  }
  for (ProfileGroup& g : groups_) {
    if (g.secret) g.sha256 = hmacSha256Hex(key_, g.canonical);
  }
  // The profile's own digest would be as guessable as the groups'.
  profileSha256_ = hmacSha256Hex(key_, profileSha256_);
}

bool ApplyRun::recordPathSafe() {
  try {
    checkRecordPath(options_.recordPath);
    return true;
  } catch (const RecordUnsafe& e) {
    fail({FailureKind::File, e.what(), {}, {}, "record-unsafe"});
    return false;
  }
}

bool ApplyRun::refuseForeignRecord() {
  const std::string& path = options_.recordPath;
  if (!recordPathSafe()) return false;
  if (replaceableByRecord(path)) return true;
  fail({FailureKind::File,
        "the apply record " + path +
            " is refused: the file is not an apply record of plenar, and an apply never "
            "replaces anything else (name a new file or an earlier record); nothing was sent",
        {},
        {},
        "record-foreign"});
  return false;
}

bool ApplyRun::lockRecord() {
  const double wait = *options_.lockWaitSeconds;
  const std::string& path = options_.recordPath;
  if (!recordPathSafe()) return false;
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (!makePrivateFolder(folder)) {
    fail({FailureKind::File,
          "the record folder " + folder + " cannot be made: " + std::strerror(errno),
          {},
          {},
          "record-unwritable"});
    return false;
  }
  std::string why;
  lock_ = FileLock::acquire(path, wait, why);
  if (!lock_) {
    if (why == "busy" && terminationSignal() != 0) {
      fail({FailureKind::Busy,
            "stopped while another apply to this printer held its record " + path +
                "; nothing was sent",
            {},
            {},
            "record-busy"});
    } else if (why == "busy") {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%g", wait);
      fail({FailureKind::Busy,
            "another apply to this printer holds its record " + path + " (waited " + seconds +
                " s; --wait SECONDS waits longer); nothing was sent",
            {},
            {},
            "record-busy"});
    } else {
      fail({FailureKind::File,
            "the record lock cannot be taken: " + why,
            {},
            {},
            "record-unwritable"});
    }
    return false;
  }
  if (options_.link.kind == LinkKind::Serial) {
    const std::string device = resolveSerialPortName(options_.link.serialPort);
    PortLockHolder holder;
    portLock_ = SerialPortLock::acquire(device, wait, holder);
    if (!portLock_) {
      failPortLocked(device, holder, wait);
      return false;
    }
  }
  // Temporary files of a run that was killed while it wrote the record.
  removeStaleTemps(path);
  return true;
}

void ApplyRun::failPortLocked(const std::string& device, const PortLockHolder& holder,
                              double wait) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", wait);
  if (terminationSignal() != 0) {
    fail({FailureKind::Busy,
          "stopped while waiting for the lock of " + device + " (" + holder.path +
              "); nothing was sent",
          {},
          {},
          holder.pid ? "port-locked" : "port-lock-stale"});
  } else if (holder.pid != 0) {
    fail({FailureKind::Busy,
          device + " is locked by process " + std::to_string(holder.pid) + " (" + holder.path +
              "); nothing was sent",
          {},
          {},
          "port-locked"});
  } else {
    // No process holds it, and it is not ours to take over: its owner (or root) removes it.
    fail({FailureKind::Busy,
          device + " has a stale lock file " + holder.path + " (" + holder.stale +
              ", no process holds the port) of " + describeUser(holder.ownerUid) +
              "; it is left in place: its owner or root may remove it once no program uses " +
              "the port (waited " + seconds + " s); nothing was sent",
          {},
          {},
          "port-lock-stale"});
  }
}

void ApplyRun::loadRecord() {
  std::error_code ec;
  const bool onDisk =
      std::filesystem::exists(std::filesystem::symlink_status(options_.recordPath, ec));
  try {
    record_ = loadApplyRecord(options_.recordPath);
  } catch (const RecordUnsafe& e) {
    fail({FailureKind::File, e.what(), {}, {}, "record-unsafe"});
    return;
  } catch (const RecordError& e) {
    note(NoteKind::RecordUnreadable, {e.what()},
         std::string(e.what()) + "; every group is sent and the record replaced");
    diskDirty_ = onDisk;
  }
  if (record_) {
    for (const auto& [name, g] : record_->groups) diskGroups_[name] = g.sha256;
  }
  if (record_ && !samePort(record_->link, options_.link)) {
    note(NoteKind::RecordOfAnotherLink, {options_.recordPath, describeLink(record_->link)},
         "the record " + options_.recordPath + " is of another link (" +
             describeLink(record_->link) + "); every group is sent");
    record_.reset();
    diskDirty_ = true;
  }
  recordExisted_ = record_.has_value();
  stateKnown_ = recordExisted_;
  if (record_) {
    for (const auto& [name, g] : record_->groups) before_[name] = g.values;
    recordedLinkAfter_ = record_->linkAfter;
    linkRedirected_ = record_->linkAfter && !sameLink(*record_->linkAfter, options_.link);
  }
}

// The record's groups no longer say what the printer holds: every group goes out, and the file
// is replaced before the first one does.
void ApplyRun::forgetRecord() {
  stateKnown_ = false;
  before_.clear();
  record_->groups.clear();
  record_->device.reset();
  diskDirty_ = true;
  for (Step& s : steps_) s.pending = true;
}

void ApplyRun::decidePending() {
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    bool pending = options_.force || !record_;
    if (!pending) {
      auto it = record_->groups.find(groups_[i].name);
      // An entry without a key for a group with a password (an older record) tells nothing.
      pending = it == record_->groups.end() || it->second.sha256 != groups_[i].sha256 ||
                it->second.keyed != groups_[i].secret;
    }
    steps_[i].pending = pending;
  }
}

bool ApplyRun::changed() const {
  for (const Step& s : steps_) {
    if (s.status == StepStatus::Done) return true;
  }
  return false;
}

void ApplyRun::fail(ApplyError error) {
  error_ = std::move(error);
  phase_ = Phase::Done;
}

ApplyRun::Action ApplyRun::next() {
  Action a;
  switch (phase_) {
    case Phase::Start: {
      // A record that says the last apply moved the printer is checked even when every group
      // matches: a printer reset since answers only where it was before.
      bool any = options_.verify || linkRedirected_;
      for (const Step& s : steps_) any = any || s.pending;
      if (!any) {
        for (Step& s : steps_) s.status = StepStatus::Skipped;
        phase_ = Phase::Done;
        return a;
      }
      phase_ = Phase::Testing;
      [[fallthrough]];
    }
    case Phase::Testing:
      a.kind = Action::Kind::TestLink;
      a.link = candidates_[candidate_];
      a.description = "link test on " + describeLink(a.link);
      return a;
    case Phase::Sending:
      return sendNext();
    case Phase::CheckingLinkAfter:
      a.kind = Action::Kind::TestLink;
      a.link = *linkAfter_;
      a.description = "link test on the new link " + describeLink(a.link);
      return a;
    case Phase::Done:
      return a;
  }
  return a;
}

ApplyRun::Action ApplyRun::sendNext() {
  Action a;
  while (current_ < groups_.size() && !steps_[current_].pending) {
    steps_[current_].status = StepStatus::Skipped;
    ++current_;
  }
  if (current_ < groups_.size()) {
    const ProfileGroup& g = groups_[current_];
    a.kind = Action::Kind::Send;
    a.link = *used_;
    a.group = g.name;
    std::size_t number = 0, total = 0;
    for (std::size_t i = 0; i < steps_.size(); ++i) {
      if (steps_[i].pending) ++total;
      if (steps_[i].pending && i <= current_) ++number;
    }
    a.description = "[" + std::to_string(number) + "/" + std::to_string(total) + "] " + g.name +
                    " (" + g.command + ")";
    if (g.request) {
      a.request = *g.request;
    } else {
      // Logos: 1.bin or 2.bin is built now, in the state folder, as the window builds it.
      try {
        auto built = g.logoRaw ? prepareRawLogoDownload(g.files, options_.stateDir)
                               : prepareLogoDownload(g.files, options_.stateDir);
        if (!built) throw LogoError(nothingToDownloadText());
        a.request = std::move(*built);
      } catch (const LogoError& e) {
        steps_[current_].status = StepStatus::Failed;
        steps_[current_].error = e.what();
        fail({FailureKind::File, e.what(), {}, g.name, "logo-refused"});
        return Action{};
      }
    }
    a.request.link = *used_;
    a.request.recordKept = options_.recordPath == defaultRecordPath(options_.stateDir, *used_);
    if (!forgetBeforeSending(g.name)) {
      steps_[current_].status = StepStatus::NotRun;
      return Action{};
    }
    stepStart_ = std::chrono::steady_clock::now();
    return a;
  }
  bool changedOwnLink = false;
  linkAfter_ = linkAfterChanges(changedOwnLink);
  if (changedOwnLink && !saveRecord()) return Action{};
  if (changedOwnLink && linkAfter_) {
    phase_ = Phase::CheckingLinkAfter;
    return next();
  }
  if (changedOwnLink) {
    note(NoteKind::NowUsbVirtualSerial, {},
         "the printer now shows as a USB virtual serial port: find it with plenar list-ports");
  }
  phase_ = Phase::Done;
  return a;
}

std::optional<LinkSnapshot> ApplyRun::linkAfterChanges(bool& changedOwnLink) {
  changedOwnLink = false;
  LinkSnapshot link = *used_;
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    const ProfileGroup& g = groups_[i];
    if (steps_[i].status != StepStatus::Done || !changesLink(g.role, link.kind)) continue;
    changedOwnLink = true;
    auto after = linkAfterRequest(g.role, *g.request, link);
    if (!after) return std::nullopt;
    link = *after;
  }
  return link;
}

bool ApplyRun::checkFirmware(const LinkSnapshot& tried) {
  // A program for another model is refused before any byte (the parallel port cannot identify
  // the printer). Without a tag on either side there is nothing to compare: refused unless the
  // user takes that on.
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    const ProfileGroup& g = groups_[i];
    if (g.stage != GroupStage::Firmware || !steps_[i].pending) continue;
    if (tried.kind == LinkKind::Parallel) continue;
    const std::string fileTag = prgModelTag(g.request->dataStream);
    std::string why;
    if (auto refusal = firmwareTagRefusal(modelTag_, fileTag, options_.forceFirmware)) {
      why = *refusal + "; nothing was sent";
      if (fileTag.empty() || modelTag_.empty()) why += " (--force-firmware sends it all the same)";
    }
    if (!why.empty()) {
      fail({FailureKind::Refused, why, {}, g.name, "firmware-mismatch"});
      return false;
    }
  }
  return true;
}

void ApplyRun::report(const Outcome& outcome) {
  switch (phase_) {
    case Phase::Testing: {
      const LinkSnapshot& tried = candidates_[candidate_];
      if (!outcome.ok) {
        if (candidate_ + 1 < candidates_.size()) {
          const std::string next = describeLink(candidates_[candidate_ + 1]);
          note(NoteKind::NoAnswerOnRecordedLink, {describeLink(tried), next},
               "no answer on the recorded link " + describeLink(tried) + "; trying " + next);
          ++candidate_;
          return;
        }
        fail({outcome.kind, outcome.message, outcome.detail, {}});
        return;
      }
      used_ = tried;
      modelTag_ = outcome.modelTag;
      if (candidate_ > 0 && record_) {
        // The last apply moved the printer, yet it answers where it was before: it was reset
        // or set by other means since, and nothing the record says can be trusted.
        recordStale_ = true;
        note(NoteKind::RecordStale, {describeLink(candidates_[0]), describeLink(tried)},
             "the printer does not answer on " + describeLink(candidates_[0]) +
                 ", where the record says the last apply left it, but on " + describeLink(tried) +
                 ": the record is stale (the printer was reset or set by other means) "
                 "and every group is sent");
        forgetRecord();
      } else if (!sameLink(tried, options_.link)) {
        note(NoteKind::AnsweredWhereLeft, {describeLink(tried), describeLink(options_.link)},
             "the printer answered on the link the last apply left it on: " + describeLink(tried) +
                 " (not " + describeLink(options_.link) + ")");
      }
      if (record_ && record_->modelTag != modelTag_) {
        note(NoteKind::AnotherModel, {record_->modelTag, modelTag_},
             "the record is of a printer with model tag '" + record_->modelTag +
                 "'; this one answers '" + modelTag_ +
                 "': its state is unknown and every group is sent");
        forgetRecord();
      }
      if (!checkFirmware(tried)) return;
      phase_ = Phase::Sending;
      return;
    }
    case Phase::Sending: {
      Step& step = steps_[current_];
      step.ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - stepStart_)
                    .count();
      if (!outcome.ok) {
        step.status = StepStatus::Failed;
        step.error = outcome.message;
        fail({outcome.kind, outcome.message, outcome.detail, groups_[current_].name});
        return;
      }
      step.status = StepStatus::Done;
      ++current_;
      saveRecord();
      return;
    }
    case Phase::CheckingLinkAfter:
      if (outcome.ok) {
        linkAfterAnswered_ = true;
        phase_ = Phase::Done;
      } else {
        fail({FailureKind::Link,
              "the printer does not answer on its new link " + describeLink(*linkAfter_) + ": " +
                  outcome.message,
              outcome.detail,
              {},
              "new-link-silent"});
      }
      return;
    case Phase::Start:
    case Phase::Done:
      return;
  }
}

bool ApplyRun::writeRecord(const ApplyRecord& r) {
  if (!saveApplyRecord(options_.recordPath, r)) return false;
  diskDirty_ = false;
  diskChecked_ = true;
  diskGroups_.clear();
  for (const auto& [name, g] : r.groups) diskGroups_[name] = g.sha256;
  return true;
}

// Before `group` goes out the file must not claim a value for it: after the printer took the
// new one, a record that could not be rewritten would still hold the old.
bool ApplyRun::forgetBeforeSending(const std::string& group) {
  const auto onDisk = [&](std::string_view name) { return diskGroups_.count(std::string(name)); };
  const auto shared = groupsSharingState(group);
  if (!diskDirty_ && !onDisk(group) && std::none_of(shared.begin(), shared.end(), onDisk)) {
    if (diskChecked_) return true;
    // Nothing to take back: see that the folder takes a file at all before the first byte.
    if (canWriteRecordFolder(options_.recordPath)) {
      diskChecked_ = true;
      return true;
    }
    failRecordWrite("nothing was sent");
    return false;
  }
  ApplyRecord r = record_ ? *record_ : ApplyRecord{};
  r.plenarVersion = buildVersion();
  r.updated = utcTimestamp();
  r.link = options_.link;
  r.modelTag = modelTag_;
  // The group, and the groups it undoes on the printer.
  std::vector<std::string> gone{group};
  for (std::string_view other : groupsSharingState(group)) gone.emplace_back(other);
  for (const std::string& name : gone) {
    r.groups.erase(name);
    if (record_) record_->groups.erase(name);
  }
  if (group == "device") r.device.reset();
  if (writeRecord(r)) return true;
  failRecordWrite("nothing more was sent");
  return false;
}

void ApplyRun::failRecordWrite(const std::string& what) {
  const int err = errno;
  fail({FailureKind::File,
        "the apply record " + options_.recordPath + " cannot be written: " + std::strerror(err) +
            "; " + what + " (the record claims nothing that was not acknowledged)",
        {},
        current_ < groups_.size() ? groups_[current_].name : std::string(),
        "record-unwritable"});
}

bool ApplyRun::saveRecord() {
  ApplyRecord r = record_ ? *record_ : ApplyRecord{};
  r.plenarVersion = buildVersion();
  r.updated = utcTimestamp();
  r.link = options_.link;
  bool changedOwnLink = false;
  r.linkAfter = linkAfterChanges(changedOwnLink);
  r.modelTag = modelTag_;
  r.profileSha256 = profileSha256_;
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    if (steps_[i].status != StepStatus::Done) continue;
    const ProfileGroup& g = groups_[i];
    // Groups sent in this run, in order: one sent later undoes what an earlier one set.
    for (std::string_view other : groupsSharingState(g.name)) r.groups.erase(std::string(other));
    auto it = r.groups.find(g.name);
    if (it == r.groups.end() || it->second.sha256 != g.sha256 || it->second.keyed != g.secret) {
      RecordedGroup entry{g.sha256, g.secret, r.updated, g.values};
      r.groups[g.name] = std::move(entry);
    }
    if (g.name == "device" && g.values.size() == 2) {
      r.device = std::make_pair(g.values[0].second, g.values[1].second);
    }
  }
  record_ = r;
  if (writeRecord(r)) {
    recordWritten_ = true;
    return true;
  }
  const int err = errno;
  fail({FailureKind::File,
        "the printer took the changes, but the apply record " + options_.recordPath +
            " cannot be written: " + std::strerror(err) +
            "; the record claims none of them, so the next apply sends them again",
        {},
        {},
        "record-unwritable"});
  return false;
}

std::vector<ApplyRun::StepReport> ApplyRun::steps() const {
  std::vector<StepReport> out;
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    StepReport r{&groups_[i], steps_[i].status, steps_[i].ms, steps_[i].error, steps_[i].pending};
    if (auto it = before_.find(groups_[i].name); it != before_.end()) r.previous = &it->second;
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace plenar
