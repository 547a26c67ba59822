// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "engine/CommandRequest.h"
#include "profile/LinkJson.h"

namespace plenar::cli {

// The one JSON document `plenar --json` prints on stdout for a run, success or failure:
//   {"schema":1,"command":"set-codepage","ok":true,"exit_code":0,
//    "link":{"kind":"serial",...},"printer":{"model_tag":"PLENAR80"},
//    "result":{...},"error":null}
// and, on failure, "error":{"kind":"printer","message":"Download Data Failed","detail":"",
// "field":""}. The schema is docs/plenar-result.schema.json. Progress stays on stderr.
// Threads: the main thread.
class RunReport {
 public:
  void setCommand(std::string command) { command_ = std::move(command); }
  const std::string& command() const { return command_; }
  // The command's own findings; an object.
  Json& result() { return result_; }
  void setLink(const LinkSnapshot& link) { link_ = link; }
  void setModelTag(std::string tag) { modelTag_ = std::move(tag); }
  // The last failure wins; a later success of the same run (apply's second link) clears it.
  void setError(std::string kind, std::string message, std::string detail = {},
                std::string field = {}, int line = 0);
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
