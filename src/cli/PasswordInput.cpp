// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PasswordInput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/StderrLines.h"
#include "platform/HiddenLine.h"
#include "platform/SafeFiles.h"
#include "platform/SecretMemory.h"
#include "platform/TerminationSignals.h"

namespace plenar::cli {
namespace {

// Far beyond any password field (32 characters of up to four bytes, and a newline).
constexpr std::size_t kMaxPasswordFileBytes = 256;

// One line ending off the end, once: "\r\n" or "\n". What is left is the password as it goes
// to the printer, so a second line ending is no longer one.
void dropLineEnding(std::string& text) {
  if (text.ends_with("\r\n")) {
    text.resize(text.size() - 2);
  } else if (text.ends_with('\n')) {
    text.pop_back();
  }
}

[[noreturn]] void refuse(std::string& text, const std::string& option, const std::string& why,
                         const char* code) {
  wipe(text);
  throw InputRefused(option + ": " + why + "; nothing was sent", FailureKind::Refused, option,
                     code);
}

// The password read, checked for what no field check sees: it is never shown.
std::string checkedPassword(std::string text, const std::string& option) {
  dropLineEnding(text);
  if (text.find('\0') != std::string::npos) {
    refuse(text, option, "the password holds a NUL byte", "password-nul");
  }
  if (text.find_first_of("\r\n") != std::string::npos) {
    refuse(text, option, "the password runs over more than one line", "password-lines");
  }
  if (text.empty()) {
    refuse(text, option,
           "the password is empty, which would leave the printer open (an access point or a "
           "station without a password, no Bluetooth PIN); to set none on purpose, give it as "
           "an empty argument (--password '', wifi-ap NAME '')",
           "password-empty");
  }
  return text;
}

std::string readStandardInput(const std::string& option) {
  std::string text;
  text.reserve(kMaxPasswordFileBytes + 1);
  char buf[kMaxPasswordFileBytes + 1];
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      wipe(text);
      throw InputRefused(option + ": standard input cannot be read: " + std::strerror(err),
                         FailureKind::File, option, "file-unreadable");
    }
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > kMaxPasswordFileBytes) {
      wipe(buf, sizeof buf);
      wipe(text);
      throw InputRefused(option + ": standard input holds more than a password", FailureKind::File,
                         option, "file-too-large");
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
  wipe(buf, sizeof buf);
  return text;
}

std::string readTerminal(const std::string& option) {
  HiddenLine line =
      readHiddenLine(STDIN_FILENO, "Password (" + option + "): ", kMaxPasswordFileBytes);
  switch (line.status) {
    case HiddenLine::Status::Read:
      return std::move(line.text);
    case HiddenLine::Status::TooLong:
      throw InputRefused(option + ": the line typed holds more than a password",
                         FailureKind::Refused, option, "too-long");
    case HiddenLine::Status::Stopped:
      throw InputRefused(option + ": stopped by " + signalName(terminationSignal()) +
                             " before a password was entered",
                         FailureKind::Interrupted, option);
    case HiddenLine::Status::Failed:
      break;
  }
  throw InputRefused(option + ": the terminal cannot be read: " + std::strerror(line.error),
                     FailureKind::File, option, "file-unreadable");
}

}  // namespace

std::string readPassword(const std::string& path, const std::string& option) {
  keepOutOfCoreDumps();
  if (path == "-") {
    return checkedPassword(
        isTerminal(STDIN_FILENO) ? readTerminal(option) : readStandardInput(option), option);
  }
  std::string text;
  try {
    text = readInputFile(path, kMaxPasswordFileBytes);
  } catch (const InputFileError& e) {
    const std::string why = e.problem() == InputFileError::Kind::TooLarge
                                ? "the file " + path + " holds more than a password"
                                : e.what();
    throw InputRefused(option + ": " + why, FailureKind::File, option,
                       inputFileErrorCode(e.problem()));
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    printLine(LineLevel::Note, "warning: " + path + " can be read by other users (mode " + mode +
                                   "); keep password files 0600");
  }
  return checkedPassword(std::move(text), option);
}

std::string passwordArgument(const std::string& value, const std::string& name) {
  if (value == "-") return readPassword("-", name);
  keepOutOfCoreDumps();
  return value;
}

std::optional<std::string> takePassword(ArgList& args) {
  auto file = args.takeOption("--password-file");
  auto given = args.takeOption("--password");
  if (file && given)
    throw UsageError("--password and --password-file: choose one", "conflicting-options");
  if (file) return readPassword(*file, "--password-file");
  if (given) return passwordArgument(*given, "--password");
  return given;
}

}  // namespace plenar::cli
