// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSession.h"

#include <unistd.h>

#include <cstdio>
#include <optional>

#include "app/Engine.h"
#include "cli/CliTexts.h"
#include "cli/RunReport.h"
#include "cli/StderrLines.h"
#include "commands/Routines.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"
#include "platform/ReportWindow.h"
#include "profile/RecordInvalidation.h"
#include "shared/Errors.h"
#include "shared/SharedTexts.h"

namespace plenar::cli {
namespace {

// What a routine reports on success, as plenar shows it. Two routines reuse another's text
// (Wi-Fi off reports the access point's, the work mode the module lines'), and four texts have
// no language-file key and stay Chinese in the routines for the window; plenar says what was
// done, in the language chosen.
std::string shownText(const std::string& text, const CommandRequest& request, bool english) {
  using enum TextId;
  const bool workMode = request.code == kBluetoothCommandsCode && request.paramList.size() == 1 &&
                        request.paramList.front().starts_with("AT+HSM=");
  if (request.code == kWifiOffCode && text == plenar::text(WifiApSet))
    return english ? "Wi-Fi switched off" : "已关闭 WIFI";
  if (workMode && text == plenar::text(BluetoothCommandsSent))
    return english ? "Bluetooth work mode set" : "设置蓝牙工作模式成功";
  if (!english) return text;
  struct Fixed {
    TextId id;
    const char* english;
  };
  static constexpr Fixed kFixed[] = {{FlowControlSet, "Flow control set"},
                                     {PaperSizeSet, "Print size switched"},
                                     {SettingDone, "Setting done"},
                                     {ProgramUpdating, "Updating the firmware, please wait..."}};
  for (const Fixed& f : kFixed) {
    if (text == plenar::text(f.id)) return f.english;
  }
  return text;
}

}  // namespace

struct CliSession::Impl {
  HeadlessDispatcher dispatcher;
  std::unique_ptr<HeadlessReportWindow> window;
  std::unique_ptr<Engine> engine;
  std::optional<CommandResult> result;  // of the command under way, once handed back
  bool progressLineOpen = false;        // a "Finish" line is being redrawn in place
  bool stderrIsTerminal = ::isatty(STDERR_FILENO) == 1;
  bool events = false;
  bool english = true;
  CommandRequest running;  // code and lines of the request being run, for its texts
  std::string command;

  void printStatus(const std::string& text) {
    bool redraw = !events && stderrIsTerminal && text.find("Finish ") != std::string::npos;
    if (redraw) {
      std::fprintf(stderr, "\r\033[K%s", text.c_str());
      progressLineOpen = true;
    } else {
      endProgressLine();
      printLine(LineLevel::Status, text);
    }
    std::fflush(stderr);
  }
  void endProgressLine() {
    if (progressLineOpen) std::fputc('\n', stderr);
    progressLineOpen = false;
  }
  // The worker's messages are the progress view: each step's text in order.
  void handle(int msg) {
    if (msg != kMsgProgress) return;
    TCommThread::PostedProgress p = engine->worker().takePostedProgressEntry();
    if (events && p.total > 0) {
      // A transfer's step as one JSON line; the text is in it.
      endProgressLine();
      nlohmann::ordered_json e{
          {"event", "progress"},
          {"command", command},
          {"text", shownText(p.text, running, english)},
          {"done", p.done},
          {"total", p.total},
          {"percent", p.done >= p.total ? 100.0 : p.done * 1000 / p.total / 10.0}};
      printEventLine(e);
    } else {
      printStatus(shownText(p.text, running, english));
    }
  }
  // The command's result: its failure is printed under the progress, the system's reason (or
  // what the described text replaced) under the failure text.
  void finished(const CommandResult& r) {
    result = r;
    if (!r.ok) {
      endProgressLine();
      if (r.message.empty()) result->message = "Failed";
      printLine(LineLevel::Error, result->message);
      if (!r.shownDetail().empty()) printLine(LineLevel::Error, r.shownDetail());
    }
    dispatcher.quit();
  }
};

CliSession::CliSession(const CommonOptions& options)
    : options_(options), impl_(std::make_unique<Impl>()) {
  impl_->events = options.events;
  impl_->english = options.language.value_or(1) == 1;
  impl_->command = options.command;
  impl_->window = std::make_unique<HeadlessReportWindow>(
      impl_->dispatcher, [this](int msg, std::intptr_t) { impl_->handle(msg); });
  impl_->engine =
      std::make_unique<Engine>(options_.paths.stateDir, *impl_->window, impl_->dispatcher);
  // A command that changes the printer outside an apply takes what it changes out of the link's
  // apply record first, so that the next apply sends it again.
  impl_->engine->worker().setCommandGate(recordForgettingGate(options_.paths.stateDir));
}

CliSession::~CliSession() {
  // Handlers still queued for the owner thread (late progress posts) must run or be dropped
  // before the engine goes.
  impl_->engine.reset();
  impl_->dispatcher.processPending();
}

TCommThread& CliSession::worker() {
  return impl_->engine->worker();
}

Engine& CliSession::engine() {
  return *impl_->engine;
}

void CliSession::prepareChannels() {
  impl_->engine->prepareChannels(options_.link);
}

bool CliSession::prepareChannelsOrReport() {
  try {
    prepareChannels();
    return true;
  } catch (const Error& e) {
    lastResult_ = CommandResult{.ok = false,
                                .failureCode = 1,
                                .kind = e.kind(),
                                .code = e.code(),
                                .message = e.what(),
                                .detail = e.detail(),
                                .cause = e.cause(),
                                .osError = e.osError()};
  }
  const std::string& detail = lastResult_.shownDetail();
  printLine(LineLevel::Error, lastResult_.message);
  if (!detail.empty()) printLine(LineLevel::Error, detail);
  if (options_.report) options_.report->setError(lastResult_.kind, lastResult_.message, detail);
  return false;
}

int CliSession::run(CommandRequest request) {
  request.link = options_.link;
  impl_->running.code = request.code;
  impl_->running.paramList = request.paramList;
  impl_->result.reset();
  if (options_.report) options_.report->setLink(options_.link);
  const int code = request.code;
  if (!worker().postCommand(std::move(request),
                            [impl = impl_.get()](const CommandResult& r) { impl->finished(r); })) {
    lastResult_ =
        CommandResult{.command = code, .kind = FailureKind::Busy, .message = "the worker is busy"};
    if (options_.report) options_.report->setError(FailureKind::Busy, lastResult_.message);
    return kExitUndefined;
  }
  while (!impl_->result) impl_->dispatcher.exec();
  impl_->endProgressLine();
  lastResult_ = *impl_->result;
  if (options_.report) {
    if (!lastResult_.modelTag.empty()) options_.report->setModelTag(lastResult_.modelTag);
    if (!lastResult_.ok) {
      options_.report->setError(lastResult_.kind, lastResult_.message, lastResult_.shownDetail(),
                                {}, 0, lastResult_.code);
    }
  }
  if (lastResult_.ok) return kExitDone;
  return lastResult_.failureCode == 1 ? kExitFailed : kExitUndefined;
}

int CliSession::runAfterLinkCheck(CommandRequest request) {
  request.link = options_.link;
  if (printerConfirms(request)) return run(std::move(request));
  // A sequence the printer does not answer would be "done" with nothing at the other end.
  if (const int rc = run(linkTestRequest(options_.link)); rc != kExitDone) return rc;
  const int rc = run(std::move(request));
  if (rc == kExitDone) {
    printLine(LineLevel::Note,
              say("The printer answered the link test; it does not confirm this command itself: "
                  "check the setting on the printer (its self-test page shows it).",
                  "打印机已应答连接测试，但不会确认此命令本身：请在打印机上核对该设置"
                  "（自检页会显示）。"));
  }
  return rc;
}

std::string CliSession::modelTag() const {
  return impl_->engine->printerModelTag();
}

void CliSession::emitEvent(const nlohmann::ordered_json& event) const {
  if (!options_.events) return;
  impl_->endProgressLine();
  printEventLine(event);
}

}  // namespace plenar::cli
