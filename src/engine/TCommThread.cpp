// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TCommThread.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "platform/Notes.h"
#include "platform/OwnerDispatcher.h"
#include "platform/ProgramPaths.h"
#include "platform/ReportWindow.h"
#include "shared/Errors.h"
#include "shared/SharedTexts.h"

namespace plenar {

namespace {
constexpr auto kProgressInterval = std::chrono::milliseconds(70);
// How often a reply wait looks at the stop request; a reply itself ends the wait at once.
constexpr auto kStopSlice = std::chrono::milliseconds(50);

std::mutex& workersMutex() {
  static std::mutex m;
  return m;
}
std::vector<TCommThread*>& liveWorkers() {
  static std::vector<TCommThread*> workers;
  return workers;
}
}  // namespace

std::optional<int> parseRateText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

TCommThread::TCommThread(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner)
    : programDir_(std::move(programDir)), owner_(owner), reportWindow_(&reportWindow) {
  thread_ = std::thread([this] { run(); });
  std::lock_guard lock(workersMutex());
  liveWorkers().push_back(this);
}

TCommThread::~TCommThread() {
  {
    std::lock_guard lock(workersMutex());
    std::erase(liveWorkers(), this);
  }
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
  }
  wake_.notify_all();
  requestStop();
  thread_.join();
}

void TCommThread::requestStop() {
  stopEvent_.set();
  // A routine waiting for a reply ends its wait at once instead of running out its time.
  reply_.interrupt();
}

void TCommThread::requestStopAll() {
  std::lock_guard lock(workersMutex());
  for (TCommThread* worker : liveWorkers()) worker->requestStop();
}

void TCommThread::pause(std::chrono::milliseconds duration) {
  if (stopEvent_.waitFor(duration)) throw EWorkerStopping();
}

bool TCommThread::waitReply(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    checkStopping();
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left <= std::chrono::milliseconds::zero()) return reply_.complete();
    if (reply_.waitFor(std::min(left, std::chrono::milliseconds(kStopSlice)))) {
      checkStopping();
      return true;
    }
  }
}

void TCommThread::checkStopping() const {
  if (stopping()) throw EWorkerStopping();
}

bool TCommThread::postCommand(CommandRequest request, CommandCompletion done) {
  {
    std::lock_guard lock(mutex_);
    if (busy_.load() || terminated_ || stopping()) return false;
    request_ = std::move(request);
    completion_ = std::move(done);
    pending_ = true;
    busy_.store(true);
  }
  wake_.notify_all();
  return true;
}

bool TCommThread::waitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, timeout, [this] { return !busy_.load(); });
}

void TCommThread::setRoutine(int code, Routine routine) {
  if (code < 0 || code > kMaxCommandCode) return;
  routines_[code] = std::move(routine);
}

void TCommThread::setCommandHooks(std::function<void()> before, std::function<void()> after) {
  beforeCommand_ = std::move(before);
  afterCommand_ = std::move(after);
}

void TCommThread::setCommandGate(std::function<void(const CommandRequest&)> gate) {
  commandGate_ = std::move(gate);
}

void TCommThread::setConfirmation(std::function<bool(const CommandRequest&)> confirms) {
  confirms_ = std::move(confirms);
}

void TCommThread::setModelTagSource(std::function<std::string()> source) {
  modelTag_ = std::move(source);
}

CommandResult TCommThread::lastResult() const {
  std::lock_guard lock(resultMutex_);
  return lastResult_;
}

void TCommThread::setReportWindow(ReportWindow* window) {
  reportWindow_.store(window);
}

void TCommThread::setParaStatusPanel(std::function<void(const std::string&)> show) {
  std::lock_guard lock(listenersMutex_);
  paraStatusPanel_ = std::move(show);
}

std::string TCommThread::takePostedProgress() {
  return takePostedProgressEntry().text;
}

TCommThread::PostedProgress TCommThread::takePostedProgressEntry() {
  std::lock_guard lock(listenersMutex_);
  if (postedProgress_.empty()) return {mainTexts_.statusText(), 0, 0};
  PostedProgress entry = std::move(postedProgress_.front());
  postedProgress_.pop_front();
  return entry;
}

void TCommThread::setDeviceBaud(int rate) {
  deviceBaud_ = rate;
  if (!request_.windowFollows) return;
  std::function<void(int)> listener;
  {
    std::lock_guard lock(listenersMutex_);
    listener = deviceBaudListener_;
  }
  if (listener) owner_.post([listener, rate] { listener(rate); });
}

void TCommThread::setIdleListener(std::function<void()> listener) {
  std::lock_guard lock(listenersMutex_);
  idleListener_ = std::move(listener);
}

void TCommThread::setDeviceBaudListener(std::function<void(int)> listener) {
  std::lock_guard lock(listenersMutex_);
  deviceBaudListener_ = std::move(listener);
}

bool TCommThread::shouldStop() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return pending_ || terminated_; });
  if (terminated_) return true;
  pending_ = false;
  return false;
}

void TCommThread::run() {
  while (!shouldStop()) {
    runCommand();
    CommandCompletion done = std::move(completion_);
    completion_ = nullptr;
    {
      std::lock_guard lock(mutex_);
      busy_.store(false);
    }
    wake_.notify_all();
    if (done) owner_.post([done = std::move(done), result = result_] { done(result); });
    std::function<void()> idle;
    {
      std::lock_guard lock(listenersMutex_);
      idle = idleListener_;
    }
    if (idle) owner_.post(idle);
  }
}

void TCommThread::runCommand() {
  const int code = request_.code;
  trace_.clear(request_.secrets);
  deviceBaud_ = parseRateText(request_.link.deviceBaudText);
  transferBaud_ = parseRateText(request_.link.transferBaudText);
  result_ = CommandResult{.command = code};
  openFailed_ = false;
  commandCode_.store(code);
  if (beforeCommand_) beforeCommand_();

  if (code > 0 && code <= kMaxCommandCode && routines_[code]) {
    // Routines catch their own failures; one that escapes must not end the worker.
    runGuarded([&] {
      if (commandGate_) commandGate_(request_);
      routines_[code](*this);
    });
  }

  if (!trace_.save(pathIn(programDir_, "debug.log")) && !traceSaveWarned_) {
    traceSaveWarned_ = true;
    note("debug.log cannot be written in " + programDir_);
  }
  finishResult();
  {
    std::lock_guard lock(resultMutex_);
    lastResult_ = result_;
  }
  ReportWindow* window = reportWindow_.load();
  if (result_.failureCode != 0) {
    if (window) window->post(kMsgFailed, result_.failureCode);
  } else if (window) {
    window->send(kMsgDone, 0);
  }
  commandCode_.store(0);
  if (afterCommand_) afterCommand_();
}

void TCommThread::finishResult() {
  result_.ok = result_.failureCode == 0;
  // A device that would not open fails by its errno (permission, busy), whatever text the
  // routine chose for it ("Connecting Failed").
  if (!result_.ok && openFailed_) result_.kind = openFailureKind(result_.osError);
  result_.status = mainTexts_.statusText();
  if (modelTag_) result_.modelTag = modelTag_();
  result_.confirmed = result_.ok && (!confirms_ || confirms_(request_));
  result_.bytesSent = trace_.bytesSent();
  result_.bytesReceived = trace_.bytesReceived();
}

void TCommThread::runGuarded(const std::function<void()>& body) {
  try {
    body();
  } catch (const ECommsError& e) {
    noteOpenFailure(e);
    setFailure(e);
  } catch (const Error& e) {
    setFailure(e);
  } catch (...) {
    setFailure(2, "Undefined Error", currentFailure());
  }
}

void TCommThread::setFailure(int code, const std::string& text, const std::string& cause,
                             FailureKind kind) {
  result_.failureCode = code;
  result_.message = text;
  result_.kind = kind;
  if (cause.empty()) return;
  result_.cause = cause;
  trace_.addLine(text + ": " + cause + traceTimestamp());
}

void TCommThread::setFailure(const Error& error) {
  setFailure(1, error.what(), error.cause(), error.kind());
  result_.code = error.code();
  if (!error.detail().empty()) result_.detail = error.detail();
  if (error.osError() != 0) result_.osError = error.osError();
}

void TCommThread::noteOpenFailure(const ECommsError& error) {
  result_.detail = error.reason();
  result_.osError = error.osError();
  openFailed_ = true;
  if (!error.reason().empty()) trace_.addLine("Open failed " + error.reason() + traceTimestamp());
}

void TCommThread::reportProgress(std::string_view text, long long done, long long total,
                                 bool paraWindow) {
  // A read's last block may bring more than was asked for; progress stops at the end.
  if (total > 0 && done > total) done = total;
  std::string shown = progressText(text, done, total);
  if (paraWindow) {
    std::function<void(const std::string&)> show;
    {
      std::lock_guard lock(listenersMutex_);
      show = paraStatusPanel_;
    }
    if (show) owner_.post([show, shown] { show(shown); });
    return;
  }
  mainTexts_.setStatusText(shown);
  paraTexts_.setStatusText(shown);
  auto now = std::chrono::steady_clock::now();
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastProgressPost_);
  if (elapsed > kProgressInterval || done >= total) {
    lastProgressPost_ = now;
    {
      std::lock_guard lock(listenersMutex_);
      postedProgress_.push_back({shown, done, total});
      if (postedProgress_.size() > 64) postedProgress_.pop_front();
    }
    if (ReportWindow* window = reportWindow_.load()) window->post(kMsgProgress, 0);
  }
}

void TCommThread::sendToReportWindow(int msg) {
  if (ReportWindow* window = reportWindow_.load()) window->send(msg, 0);
}

}  // namespace plenar
