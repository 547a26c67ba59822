// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "engine/CommandRequest.h"
#include "profile/LinkJson.h"
#include "shared/FailureKind.h"

namespace plenar::cli {

// The one JSON document `plenar --json` prints on stdout for a run, success or failure:
//   {"schema":1,"command":"set-codepage","ok":true,"exit_code":0,
//    "link":{"kind":"serial",...},"printer":{"model_tag":"PLENAR80"},
//    "result":{...},"error":null}
// and, on failure, "error":{"kind":"printer","code":"printer-failed","message":"Download Data
// Failed","detail":"","field":""}. `code` is a fixed English key for scripts (the message is in
// the chosen language): "ip-invalid", "file-missing", ...; a failure without a more precise one
// has its kind's code (errorCodeOfKind). The schema is docs/plenar-result.schema.json. Progress
// stays on stderr. Threads: the main thread. "usage" -> "usage", "link" -> "link-failed",
// "permission" -> "permission-denied", ...
std::string errorCodeOfKind(FailureKind kind);

// The exit status of an error: 64 usage, 66 an input file missing or unreadable, 65 any other
// refused input, 1 the rest.
int exitCodeOfError(FailureKind kind, const std::string& code);

class RunReport {
 public:
  // Also gives the result the fields the schema asks of that command whatever the outcome
  // (test: found, model_tag), so that a run that ends before the command starts still has them.
  void setCommand(std::string command);
  const std::string& command() const { return command_; }
  // The command's own findings; an object.
  Json& result() { return result_; }
  void setLink(const LinkSnapshot& link) { link_ = link; }
  void setModelTag(std::string tag) { modelTag_ = std::move(tag); }
  // The last failure wins; a later success of the same run (apply's second link) clears it.
  void setError(FailureKind kind, std::string message, std::string detail = {},
                std::string field = {}, int line = 0, std::string code = {});
  void clearError() { error_ = Json(); }
  bool hasError() const { return !error_.is_null(); }
  // The message of the error set last; empty when none.
  std::string errorMessage() const;

  std::string document(int exitCode, bool pretty) const;

 private:
  std::string command_;
  Json result_ = Json::object();
  std::optional<LinkSnapshot> link_;
  std::string modelTag_;
  Json error_;
};

}  // namespace plenar::cli
