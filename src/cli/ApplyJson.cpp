// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ApplyJson.h"

#include "commands/RequestBytes.h"
#include "shared/SecretMask.h"

namespace plenar::cli {
namespace {

const char* stepStatusName(ApplyRun::StepStatus status) {
  switch (status) {
    case ApplyRun::StepStatus::Done:
      return "done";
    case ApplyRun::StepStatus::Skipped:
      return "skipped";
    case ApplyRun::StepStatus::Failed:
      return "failed";
    case ApplyRun::StepStatus::NotRun:
      return "not-run";
  }
  return "not-run";
}

Json stepJson(const ApplyRun::StepReport& step, ApplyRun::StepStatus status) {
  const ProfileGroup& g = *step.group;
  Json s;
  s["group"] = g.name;
  s["command"] = g.command;
  s["stage"] = stageName(g.stage);
  s["status"] = stepStatusName(status);
  s["sha256"] = g.sha256;
  s["values"] = valuesToJson(g.values);
  // What the record said before this run: the diff's "before".
  s["previous"] = step.previous ? valuesToJson(*step.previous) : Json();
  return s;
}

Json ignoredJson(const ApplyRun& run) {
  Json ignored = Json::array();
  for (const IgnoredKey& k : run.ignored()) {
    ignored.push_back({{"key", k.key}, {"line", k.line}, {"reason", k.reason}});
  }
  return ignored;
}

Json optionalLink(const std::optional<LinkSnapshot>& link) {
  return link ? linkToJson(*link) : Json();
}

}  // namespace

Json applyResultJson(const ApplyRun& run) {
  Json j;
  j["mode"] = "apply";
  j["changed"] = run.changed();
  j["state_known"] = run.stateKnown();
  j["profile"] = {{"path", run.profilePath()}, {"sha256", run.profileSha256()}};
  j["record"] = {{"path", run.recordPath()},
                 {"existed", run.recordExisted()},
                 {"written", run.recordWritten()}};
  j["link_used"] = optionalLink(run.linkUsed());
  j["link_after"] = optionalLink(run.linkAfter());
  j["link_after_answered"] = run.linkAfterAnswered();
  j["link_redirected"] = run.linkRedirected();
  j["record_stale"] = run.recordStale();
  Json steps = Json::array();
  for (const auto& step : run.steps()) {
    Json s = stepJson(step, step.status);
    s["ms"] = step.ms;
    if (!step.error.empty()) s["error"] = step.error;
    steps.push_back(std::move(s));
  }
  j["steps"] = std::move(steps);
  j["ignored"] = ignoredJson(run);
  j["notes"] = run.notes();
  return j;
}

Json applyPlanJson(const ApplyRun& run, bool withRecord) {
  Json j;
  j["mode"] = withRecord ? "check" : "plan";
  bool anyChange = false;
  Json steps = Json::array();
  for (const auto& step : run.steps()) {
    const ProfileGroup& g = *step.group;
    Json s = stepJson(step, ApplyRun::StepStatus::NotRun);
    if (g.request) s["code"] = g.request->code;
    Json bytes = Json::array();
    if (g.request) {
      for (const auto& message : requestWireBytes(*g.request)) {
        bytes.push_back(maskedHex(message, g.request->secrets));
      }
    }
    s["bytes"] = std::move(bytes);
    if (!g.files.empty()) s["files"] = g.files;
    if (withRecord) {
      s["would_change"] = step.pending;
      anyChange = anyChange || step.pending;
    } else {
      s.erase("previous");
    }
    steps.push_back(std::move(s));
  }
  if (withRecord) {
    j["changed"] = anyChange;
    j["state_known"] = run.stateKnown();
  }
  j["profile"] = {{"path", run.profilePath()}, {"sha256", run.profileSha256()}};
  if (withRecord) {
    j["record"] = {
        {"path", run.recordPath()}, {"existed", run.recordExisted()}, {"written", false}};
    j["link_after"] = optionalLink(run.recordedLinkAfter());
    j["link_redirected"] = run.linkRedirected();
  }
  j["steps"] = std::move(steps);
  j["ignored"] = ignoredJson(run);
  j["notes"] = run.notes();
  return j;
}

}  // namespace plenar::cli
