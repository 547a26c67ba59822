// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "engine/CommandRequest.h"
#include "engine/CommandResult.h"
#include "engine/ReplyBuffer.h"
#include "engine/TraceList.h"
#include "engine/WindowTexts.h"
#include "platform/ManualResetEvent.h"
#include "shared/Errors.h"

namespace plenar {

class ReportWindow;
class OwnerDispatcher;
class ECommsError;

// The program is closing: a routine's wait ended early. The routine fails with this text and the
// worker reports it like any other failure.
class EWorkerStopping : public EPrinterError {
 public:
  EWorkerStopping() : EPrinterError("Stopped: the program is closing") {}
};

inline constexpr int kMaxCommandCode = 49;
inline constexpr std::size_t kReplyBufferSize = ReplyBuffer::kSize;

// The worker: runs one numbered printer command at a time. Its outcome goes to the poster's
// completion as a CommandResult; the report window gets the numbered messages (1024..1028) as
// its progress view.
// Threads: postCommand, setReportWindow, isBusy and waitIdle may be called from any thread; the
// routines run on the worker thread; request() and the reply are described at each member.
class TCommThread {
 public:
  using Routine = std::function<void(TCommThread&)>;

  // `programDir` receives debug.log. The thread starts idle, waiting for the first post.
  TCommThread(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner);
  ~TCommThread();
  TCommThread(const TCommThread&) = delete;
  TCommThread& operator=(const TCommThread&) = delete;

  // Copies the request into the worker and wakes it. A post while a command runs, or once the
  // worker is stopping, is ignored as a whole and returns false. `done` gets the command's
  // result on the owner thread once the worker is idle again (a new post is taken then), before
  // the idle listener runs.
  bool postCommand(CommandRequest request, CommandCompletion done = {});
  // The program is closing: every wait of the running command (replies, the boot handshake's
  // passes, the firmware restart wait, pauses between frames) ends within about 50 ms with
  // EWorkerStopping, and no further command is accepted. Any thread; also run by the
  // destructor.
  void requestStop();
  bool stopping() const { return stopEvent_.isSet(); }
  // requestStop() on every worker of the process (the termination signal handler).
  static void requestStopAll();
  // True from an accepted post until the command has been reported.
  bool isBusy() const { return busy_.load(); }
  // Runs on the owner thread each time the worker has gone idle after a command (a notice
  // still queued may arrive after the next post: check isBusy()).
  void setIdleListener(std::function<void()> listener);
  // Blocks until no command runs or the time-out passes; true when idle. For the CLI and tests.
  bool waitIdle(std::chrono::milliseconds timeout) const;

  // Routines are registered per code by the command modules; a code without one runs nothing.
  void setRoutine(int code, Routine routine);
  // Runs before and after each command on the worker thread (the serial read time-outs).
  void setCommandHooks(std::function<void()> before, std::function<void()> after);
  // Runs on the worker thread before a command's routine; an EPrinterError it throws fails the
  // command with its text before anything is sent (the apply record that cannot forget).
  void setCommandGate(std::function<void(const CommandRequest&)> gate);
  // Whether the printer acknowledges what a request sends (a request that only writes bytes is
  // done once they are written): a result is confirmed when it is ok and this says so.
  void setConfirmation(std::function<bool(const CommandRequest&)> confirms);

  // The report window: the connection window, or the parameter window while that is shown.
  void setReportWindow(ReportWindow* window);
  // The status texts of the two windows (their progress view).
  WindowTexts& mainTexts() { return mainTexts_; }
  WindowTexts& paraTexts() { return paraTexts_; }
  // The result of the last command that ended (a copy; any thread): for tests and harnesses
  // that look at a command after it ran. Front ends take theirs from the completion.
  CommandResult lastResult() const;
  // The text each progress message (1025) was posted with, oldest first. A window shows the
  // current StatusText; a receiver that must show every step in order (the CLI) takes them here,
  // one per message handled. Holds the last 64 posts.
  std::string takePostedProgress();
  // The same with the byte counts the text was posted with (0/0 for a plain status text), for a
  // progress bar.
  struct PostedProgress {
    std::string text;
    long long done = 0;
    long long total = 0;
  };
  PostedProgress takePostedProgressEntry();
  // Shows a text at once in the parameter window's status panel; called on the owner thread.
  void setParaStatusPanel(std::function<void(const std::string&)> show);

  // ---- used by routines, on the worker thread ----
  CommandRequest& request() { return request_; }
  int commandCode() const { return commandCode_.load(); }
  TraceList& trace() { return trace_; }
  OwnerDispatcher& owner() { return owner_; }
  const std::string& programDir() const { return programDir_; }
  // The parsed rate boxes of the running command; nullopt when a box holds no number.
  std::optional<int> deviceBaud() const { return deviceBaud_; }
  std::optional<int> transferBaud() const { return transferBaud_; }
  // Code 8 makes the new rate the device rate and shows it in the connection window's device
  // rate box (through the listener, run on the owner thread).
  void setDeviceBaud(int rate);
  void setDeviceBaudListener(std::function<void(int)> listener);

  // The routines' only ways to wait: a fixed pause, and the wait for a reply. Both throw
  // EWorkerStopping once the worker is stopping.
  void pause(std::chrono::milliseconds duration);
  bool waitReply(std::chrono::milliseconds timeout);
  // Throws EWorkerStopping once the worker is stopping (for waits made elsewhere in slices).
  void checkStopping() const;

  void reportProgress(std::string_view text, long long done = 0, long long total = 0,
                      bool paraWindow = false);
  // The failure, its text and kind; a `cause` (what the text replaced) goes to debug.log and to
  // the result.
  void setFailure(int code, const std::string& text, const std::string& cause = {},
                  FailureKind kind = FailureKind::Printer);
  // The same from an Error: its code, detail and errno too.
  void setFailure(const Error& error);
  int failureCode() const { return result_.failureCode; }
  // The running command's result so far (worker thread).
  const CommandResult& result() const { return result_; }
  // Runs `body`; a failure with a message becomes failure code 1 and its text, anything else 2
  // and "Undefined Error"; what the failure carried beyond the text is kept as its cause. Never
  // throws.
  void runGuarded(const std::function<void()>& body);
  // A device refused to open: its reason goes to the trace (debug.log) and to the result's
  // detail. Routines that catch an ECommsError themselves call it; runGuarded does it for the
  // rest.
  void noteOpenFailure(const ECommsError& error);
  // Sends message 1024 or 1028 synchronously (the link test's outcome, for the progress view).
  void sendToReportWindow(int msg);
  // The printer's model tag as the link layer last read it, for the result (set on the worker
  // thread by whoever reads it).
  void setModelTagSource(std::function<std::string()> source);

  // The reply of the running command (its threading rule is ReplyBuffer's).
  ReplyBuffer& reply() { return reply_; }

 private:
  void run();
  void runCommand();
  void finishResult();
  bool shouldStop();

  std::string programDir_;
  OwnerDispatcher& owner_;
  std::atomic<ReportWindow*> reportWindow_;
  WindowTexts mainTexts_;
  WindowTexts paraTexts_;
  // Guards the listeners below and the queued progress.
  std::mutex listenersMutex_;
  std::function<void(const std::string&)> paraStatusPanel_;
  std::function<void(int)> deviceBaudListener_;
  std::function<void()> idleListener_;
  std::deque<PostedProgress> postedProgress_;

  std::array<Routine, kMaxCommandCode + 1> routines_;
  std::function<void()> beforeCommand_;
  std::function<void(const CommandRequest&)> commandGate_;
  std::function<bool(const CommandRequest&)> confirms_;
  std::function<std::string()> modelTag_;
  std::function<void()> afterCommand_;

  TraceList trace_;
  ReplyBuffer reply_;
  CommandRequest request_;
  CommandCompletion completion_;  // of the running command
  CommandResult result_;          // of the running command (worker thread)
  bool openFailed_ = false;       // a device of the running command would not open
  mutable std::mutex resultMutex_;
  CommandResult lastResult_;  // of the last command that ended, under resultMutex_
  std::atomic<int> commandCode_{0};
  std::optional<int> deviceBaud_;
  std::optional<int> transferBaud_;
  std::chrono::steady_clock::time_point lastProgressPost_{};
  bool traceSaveWarned_ = false;

  ManualResetEvent stopEvent_;
  mutable std::mutex mutex_;
  mutable std::condition_variable wake_;
  std::atomic<bool> busy_{false};
  bool pending_ = false;
  bool terminated_ = false;
  std::thread thread_;
};

// Parses a rate box: the whole text must be a decimal number.
std::optional<int> parseRateText(std::string_view text);

}  // namespace plenar
