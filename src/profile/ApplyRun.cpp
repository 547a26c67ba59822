// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ApplyRun.h"

#include <algorithm>

#include "logo/LogoFiles.h"
#include "logo/LogoImage.h"
#include "platform/Sha256.h"
#include "profile/ApplyPlan.h"
#include "requests/FileActions.h"
#include "shared/RateCodes.h"

namespace plenar {

ApplyRun::ApplyRun(const Profile& profile, ProfileGroups groups, ApplyOptions options)
    : profilePath_(profile.path),
      profileSha256_(profile.sha256),
      ignored_(profile.ignored),
      groups_(orderForLink(std::move(groups.groups), options.link.kind)),
      steps_(groups_.size()),
      options_(std::move(options)),
      keeper_(options_.recordPath, options_.stateDir, options_.link,
              [this](NoteKind kind, std::vector<std::string> args, std::string text) {
                note(kind, std::move(args), std::move(text));
              }) {
  ignored_.insert(ignored_.end(), groups.ignored.begin(), groups.ignored.end());
  keySecretGroups(holdsPasswordKey(profile));
  std::optional<ApplyError> refused;
  if (options_.recordNamed) refused = keeper_.refuseForeign();
  if (!refused && options_.lockWaitSeconds) refused = keeper_.lock(*options_.lockWaitSeconds);
  if (!refused) refused = keeper_.load();
  if (refused) {
    fail(std::move(*refused));
    return;
  }
  decidePending();
  // Where the last apply left the printer first (a new rate or address), then as given.
  const auto& linkAfter = keeper_.recordedLinkAfter();
  if (keeper_.linkRedirected() && linkAfter->kind == options_.link.kind) {
    candidates_.push_back(*linkAfter);
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
  const std::string& key = keeper_.key(true);
  for (ProfileGroup& g : groups_) {
    if (g.secret) g.sha256 = hmacSha256Hex(key, g.canonical);
  }
  // The profile's own digest would be as guessable as the groups'.
  profileSha256_ = hmacSha256Hex(key, profileSha256_);
}

void ApplyRun::forgetRecord() {
  keeper_.forget();
  for (Step& s : steps_) s.pending = true;
}

void ApplyRun::decidePending() {
  const std::optional<ApplyRecord>& record = keeper_.record();
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    bool pending = options_.force || !record;
    if (!pending) {
      auto it = record->groups.find(groups_[i].name);
      // An entry without a key for a group with a password (an older record) tells nothing.
      pending = it == record->groups.end() || it->second.sha256 != groups_[i].sha256 ||
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
      bool any = options_.verify || keeper_.linkRedirected();
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
        fail(ApplyError{.kind = FailureKind::File,
                        .message = e.what(),
                        .group = g.name,
                        .code = "logo-refused"});
        return Action{};
      }
    }
    a.request.link = *used_;
    a.request.recordKept = options_.recordPath == defaultRecordPath(options_.stateDir, *used_);
    if (auto unwritable = keeper_.forgetBeforeSending(g.name, modelTag_)) {
      steps_[current_].status = StepStatus::NotRun;
      fail(std::move(*unwritable));
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
      fail(ApplyError{.kind = FailureKind::Refused,
                      .message = why,
                      .group = g.name,
                      .code = "firmware-mismatch"});
      return false;
    }
  }
  return true;
}

// The outcome of the link test on the candidate link.
void ApplyRun::linkTested(const Outcome& outcome) {
  const LinkSnapshot& tried = candidates_[candidate_];
  if (!outcome.ok) {
    if (candidate_ + 1 < candidates_.size()) {
      const std::string next = describeLink(candidates_[candidate_ + 1]);
      note(NoteKind::NoAnswerOnRecordedLink, {describeLink(tried), next},
           "no answer on the recorded link " + describeLink(tried) + "; trying " + next);
      ++candidate_;
      return;
    }
    fail(ApplyError{
        .kind = outcome.kind, .message = outcome.message, .detail = outcome.shownDetail()});
    return;
  }
  used_ = tried;
  modelTag_ = outcome.modelTag;
  const std::optional<ApplyRecord>& record = keeper_.record();
  if (candidate_ > 0 && record) {
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
  if (record && record->modelTag != modelTag_) {
    note(NoteKind::AnotherModel, {record->modelTag, modelTag_},
         "the record is of a printer with model tag '" + record->modelTag +
             "'; this one answers '" + modelTag_ +
             "': its state is unknown and every group is sent");
    forgetRecord();
  }
  if (!checkFirmware(tried)) return;
  phase_ = Phase::Sending;
}

void ApplyRun::report(const Outcome& outcome) {
  switch (phase_) {
    case Phase::Testing:
      linkTested(outcome);
      return;
    case Phase::Sending: {
      Step& step = steps_[current_];
      step.ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - stepStart_)
                    .count();
      if (!outcome.ok) {
        step.status = StepStatus::Failed;
        step.error = outcome.message;
        // The printer answered this run's link test: one that goes quiet part-way through the
        // groups is the printer's failure, not the link's.
        fail(ApplyError{
            .kind = outcome.kind == FailureKind::Link ? FailureKind::Printer : outcome.kind,
            .message = outcome.message,
            .detail = outcome.shownDetail(),
            .group = groups_[current_].name});
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
        fail(ApplyError{.kind = FailureKind::Link,
                        .message = "the printer does not answer on its new link " +
                                   describeLink(*linkAfter_) + ": " + outcome.message,
                        .detail = outcome.shownDetail(),
                        .code = "new-link-silent"});
      }
      return;
    case Phase::Start:
    case Phase::Done:
      return;
  }
}

bool ApplyRun::saveRecord() {
  ApplyRecordKeeper::Holding holding;
  bool changedOwnLink = false;
  holding.linkAfter = linkAfterChanges(changedOwnLink);
  holding.modelTag = modelTag_;
  holding.profileSha256 = profileSha256_;
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    if (steps_[i].status == StepStatus::Done) holding.done.push_back(&groups_[i]);
  }
  auto unwritable = keeper_.save(holding);
  if (!unwritable) return true;
  fail(std::move(*unwritable));
  return false;
}

std::vector<ApplyRun::StepReport> ApplyRun::steps() const {
  std::vector<StepReport> out;
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    StepReport r{.group = &groups_[i],
                 .status = steps_[i].status,
                 .ms = steps_[i].ms,
                 .error = steps_[i].error,
                 .pending = steps_[i].pending};
    const auto& before = keeper_.before();
    if (auto it = before.find(groups_[i].name); it != before.end()) r.previous = &it->second;
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace plenar
