// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>

#include <string>

namespace plenar::test {

// One `plenar --json` run: its exit code, the document on stdout (parsed), stderr, and what the
// schema check said about the document and about the --events lines on stderr (empty when
// valid). Every test that reads plenar's JSON goes through here, so every document a test sees
// is checked against docs/plenar-result.schema.json.
struct JsonRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  QJsonObject doc;
  std::string schemaProblems;
};

// `args` are plenar's arguments, already quoted for the shell; --json is added. `environment`
// is put before the command line ("UMOCKDEV_DIR=... LD_PRELOAD=...").
JsonRun runPlenarJson(const std::string& args, const std::string& environment = {});

// The validator's complaint about a document (or, with `events`, about the event lines of a
// stderr text); empty when valid.
std::string schemaProblems(const std::string& text, bool events = false);

}  // namespace plenar::test
