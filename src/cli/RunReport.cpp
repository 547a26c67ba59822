// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RunReport.h"

#include "cli/CliArgs.h"

namespace plenar::cli {

std::string errorCodeOfKind(FailureKind kind) {
  switch (kind) {
    case FailureKind::Link:
      return "link-failed";
    case FailureKind::Printer:
      return "printer-failed";
    case FailureKind::Permission:
      return "permission-denied";
    case FailureKind::File:
      return "file-unusable";
    default:  // usage, refused, busy, interrupted
      return std::string(failureKindName(kind));
  }
}

int exitCodeOfError(FailureKind kind, const std::string& code) {
  if (kind == FailureKind::Usage) return kExitUsage;
  if (code == "file-missing" || code == "file-unreadable" || code == "file-not-regular") {
    return kExitNoInput;
  }
  if (code == "output-uncreatable" || code == "folder-unsafe" || code == "record-foreign") {
    return kExitCantCreate;
  }
  if (kind == FailureKind::Refused || kind == FailureKind::File) return kExitRefused;
  return kExitFailed;
}

void RunReport::setCommand(std::string command) {
  command_ = std::move(command);
  if (command_ == "test") result_ = {{"found", false}, {"model_tag", ""}};
}

void RunReport::setError(FailureKind kind, std::string message, std::string detail,
                         std::string field, int line, std::string code) {
  if (code.empty()) code = errorCodeOfKind(kind);
  error_ = Json{{"kind", std::string(failureKindName(kind))},
                {"code", std::move(code)},
                {"message", std::move(message)},
                {"detail", std::move(detail)},
                {"field", std::move(field)}};
  if (line > 0) error_["line"] = line;
}

std::string RunReport::errorMessage() const {
  return error_.is_object() ? error_.value("message", std::string()) : std::string();
}

std::string RunReport::document(int exitCode, bool pretty) const {
  Json doc;
  doc["schema"] = 1;
  doc["command"] = command_;
  doc["ok"] = exitCode == 0;
  doc["exit_code"] = exitCode;
  doc["link"] = link_ ? linkToJson(*link_) : Json();
  doc["printer"] = modelTag_.empty() ? Json() : Json{{"model_tag", modelTag_}};
  doc["result"] = result_;
  Json error = error_;
  // A failure always says why, even when the command had no text for it.
  if (exitCode != 0 && error.is_null()) {
    error = Json{{"kind", "printer"},
                 {"code", "failed"},
                 {"message", "Failed"},
                 {"detail", ""},
                 {"field", ""}};
  }
  doc["error"] = exitCode == 0 ? Json() : error;
  // Texts from printers and files may hold anything; invalid UTF-8 comes out replaced.
  return doc.dump(pretty ? 2 : -1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace plenar::cli
