// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "cli/CliArgs.h"
#include "engine/CommandRequest.h"
#include "engine/CommandResult.h"
#include "profile/LinkJson.h"
#include "shared/FailureKind.h"

namespace plenar {
class Engine;
class TCommThread;
}  // namespace plenar

namespace plenar::cli {

// One `plenar` run: the engine with the main thread playing the UI thread. Progress and status
// texts go to stderr as they arrive, the failure text too; stdout stays for data.
// Threads: construct and call run() on the main thread.
class CliSession {
 public:
  explicit CliSession(const CommonOptions& options);
  ~CliSession();

  // Posts `request` (its link is replaced by the session's) and runs the owner loop until the
  // worker reports; returns the exit code (0, 1 or 2).
  int run(CommandRequest request);
  // run(), but a request the printer does not answer (printerConfirms) goes out only once a
  // link test found a printer there, and a note on stderr says that nothing confirmed it.
  int runAfterLinkCheck(CommandRequest request);
  TCommThread& worker();
  Engine& engine();
  // Leaves the channels as the connection window's link test would have left them, for the
  // routines that do not open the link themselves (port refresh, user data): the serial
  // channel named by --serial at the device rate (closed), the USB printer of --usb open.
  // Call before run(); throws ECommsError when the USB printer cannot be opened.
  void prepareChannels();
  // The same; a device that will not open is printed (with its reason) and becomes the run's
  // error, and false is returned.
  bool prepareChannelsOrReport();
  const CommonOptions& options() const { return options_; }
  // The link the next run() and prepareChannels() use (apply moves to a printer's new link).
  void setLink(const LinkSnapshot& link) { options_.link = link; }
  // The printer's model tag from the last identify request; empty when none answered.
  std::string modelTag() const;

  // The last run()'s result as the worker handed it back (or the refusal of its post, or of a
  // device that would not open in prepareChannelsOrReport).
  const CommandResult& lastResult() const { return lastResult_; }
  // Prints one --events line on stderr (when --events is on); `event` is an object.
  void emitEvent(const nlohmann::ordered_json& event) const;

 private:
  struct Impl;
  CommonOptions options_;
  CommandResult lastResult_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plenar::cli
