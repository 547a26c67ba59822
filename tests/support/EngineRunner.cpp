// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineRunner.h"

#include <cstdlib>
#include <filesystem>
#include <future>

#include "app/Engine.h"
#include "engine/TCommThread.h"

namespace plenar::test {

EngineRunner::EngineRunner() {
  dispatcher_.start();
  window_ = std::make_unique<HeadlessReportWindow>(dispatcher_, [this](int msg, std::intptr_t) {
    if (msg == kMsgFailed) failed_ = true;
  });
  char templ[] = "/tmp/plenar-engine-XXXXXX";
  if (const char* made = ::mkdtemp(templ)) dir_ = made;
  engine_ = std::make_unique<Engine>(dir_, *window_, dispatcher_);
}

EngineRunner::~EngineRunner() {
  engine_.reset();
  dispatcher_.stop();
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

EngineRunner::Outcome EngineRunner::run(CommandRequest request, const LinkSnapshot& link,
                                        std::chrono::milliseconds limit) {
  failed_ = false;
  request.link = link;
  Outcome o;
  const auto start = std::chrono::steady_clock::now();
  TCommThread& worker = engine_->worker();
  if (!worker.postCommand(std::move(request)) || !worker.waitIdle(limit)) {
    o.error = "the worker did not finish";
    return o;
  }
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // A failure report is posted before the worker goes idle; callbacks run in order, so once this
  // one has run the report has been handled.
  std::promise<void> handled;
  dispatcher_.post([&handled] { handled.set_value(); });
  handled.get_future().wait_for(std::chrono::seconds(10));
  o.ok = !failed_;
  if (!o.ok) o.error = worker.lastResult().message;
  return o;
}

}  // namespace plenar::test
