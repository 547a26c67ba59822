// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/WorkerExecutor.h"

#include <utility>

#include "app/Engine.h"
#include "engine/TCommThread.h"
#include "ui/TFrmMain.h"

namespace plenar {

void WorkerExecutor::execute(const RunAction& action, ActionDriver::Done done) {
  done_ = std::move(done);
  pending_ = action;
  outcome_.reset();
  postIfIdle();
}

void WorkerExecutor::postIfIdle() {
  TCommThread& worker = main_.worker();
  if (!pending_ || worker.isBusy()) return;
  RunAction action = std::move(*pending_);
  pending_.reset();
  CommandRequest request;
  if (action.kind == RunAction::Kind::TestLink) {
    request = linkTestRequest(action.link);
    // As the connection window's test: a USB link is opened afresh.
    main_.engine().forgetLink();
  } else {
    request = std::move(action.request);
  }
  postedKind_ = action.kind;
  posted_ = true;
  if (!worker.postCommand(std::move(request))) {
    // Another window's command took the worker in between.
    posted_ = false;
    RunOutcome refused;
    refused.message = "the worker is busy";
    refused.kind = FailureKind::Busy;
    if (auto done = std::exchange(done_, nullptr)) done(refused);
  }
}

void WorkerExecutor::commandReported(bool ok, const std::string& failureText) {
  if (!posted_) return;
  posted_ = false;
  RunOutcome outcome;
  outcome.ok = ok;
  if (!ok) {
    WindowTexts& texts = main_.worker().paraTexts();
    outcome.message = failureText.empty() ? "Failed" : failureText;
    outcome.detail = texts.errorDetail();
    outcome.kind = texts.failureKind();
  } else if (postedKind_ == RunAction::Kind::TestLink) {
    outcome.modelTag = main_.engine().printerModelTag();
  }
  outcome_ = std::move(outcome);
  // Reported while already idle (the notice came first): go on now.
  if (!main_.worker().isBusy()) workerIdle();
}

void WorkerExecutor::workerIdle() {
  if (outcome_) {
    RunOutcome outcome = std::move(*outcome_);
    outcome_.reset();
    if (auto done = std::exchange(done_, nullptr)) done(outcome);
    return;
  }
  postIfIdle();
}

void WorkerExecutor::drop() {
  pending_.reset();
  posted_ = false;
  outcome_.reset();
  done_ = nullptr;
}

}  // namespace plenar
