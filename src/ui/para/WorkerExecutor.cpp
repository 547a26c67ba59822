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
  const int code = request.code;
  posted_ = true;
  const std::weak_ptr<unsigned> token = generation_;
  const unsigned generation = *generation_;
  const bool taken =
      worker.postCommand(std::move(request), [this, token, generation](const CommandResult& r) {
        const auto g = token.lock();
        if (g && *g == generation) finished(r);
      });
  if (!taken) {
    // Another window's command took the worker in between.
    finished(
        CommandResult{.command = code, .kind = FailureKind::Busy, .message = "the worker is busy"});
  }
}

void WorkerExecutor::finished(const CommandResult& result) {
  posted_ = false;
  if (auto done = std::exchange(done_, nullptr)) done(result);
}

void WorkerExecutor::workerIdle() {
  postIfIdle();
}

void WorkerExecutor::drop() {
  pending_.reset();
  posted_ = false;
  done_ = nullptr;
  ++*generation_;
}

}  // namespace plenar
