// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlenarJson.h"

#include <unistd.h>

#include <QJsonDocument>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "RunProgram.h"

namespace plenar::test {
namespace {

std::string tempFile(const std::string& text) {
  std::string pattern = (std::filesystem::temp_directory_path() / "plenar-json.XXXXXX").string();
  int fd = ::mkstemp(pattern.data());
  if (fd >= 0) {
    ::write(fd, text.data(), text.size());
    ::close(fd);
  }
  return pattern;
}

std::string readAndRemove(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(path);
  return text;
}

}  // namespace

std::string schemaProblems(const std::string& text, bool events) {
  const std::string file = tempFile(text);
  const std::string line = std::string("/usr/bin/python3 ") + PLENAR_SOURCE_DIR +
                           "/tests/support/validate_result.py " + PLENAR_SOURCE_DIR +
                           "/docs/plenar-result.schema.json " + (events ? "--events " : "") + file +
                           " 2>&1";
  ProgramRun r = runShell(line);
  std::filesystem::remove(file);
  if (r.exitCode == 0) return {};
  return r.output.empty() ? "the validator did not run (exit " + std::to_string(r.exitCode) + ")"
                          : r.output;
}

JsonRun runPlenarJson(const std::string& args, const std::string& environment) {
  const std::string errFile = tempFile({});
  ProgramRun r = runShell(environment + (environment.empty() ? "" : " ") +
                          plenarCommandLine("--json " + args) + " 2>" + errFile);
  JsonRun out;
  out.exitCode = r.exitCode;
  out.out = r.output;
  out.err = readAndRemove(errFile);
  out.doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.output)).object();
  out.schemaProblems = schemaProblems(r.output);
  if (out.err.find("{\"event\"") != std::string::npos) {
    std::string events = schemaProblems(out.err, true);
    if (!events.empty()) out.schemaProblems += "events: " + events;
  }
  return out;
}

}  // namespace plenar::test
