// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PasswordInput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/SafeFiles.h"

namespace plenar::cli {
namespace {

// Far beyond any password field (32 characters of up to four bytes, and a newline).
constexpr std::size_t kMaxPasswordFileBytes = 256;

std::string withoutNewline(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

std::string readStandardInput(const std::string& option) {
  std::string text;
  char buf[kMaxPasswordFileBytes + 1];
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      throw InputRefused(option + ": standard input cannot be read: " + std::strerror(errno),
                         FailureKind::File, option, "file-unreadable");
    }
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
    if (text.size() > kMaxPasswordFileBytes) {
      throw InputRefused(option + ": standard input holds more than a password", FailureKind::File,
                         option, "file-too-large");
    }
  }
  return withoutNewline(std::move(text));
}

}  // namespace

std::string readPassword(const std::string& path, const std::string& option) {
  if (path == "-") return readStandardInput(option);
  std::string text;
  try {
    text = readInputFile(path, kMaxPasswordFileBytes);
  } catch (const InputFileError& e) {
    const std::string why = e.kind() == InputFileError::Kind::TooLarge
                                ? "the file " + path + " holds more than a password"
                                : e.what();
    throw InputRefused(option + ": " + why, FailureKind::File, option,
                       inputFileErrorCode(e.kind()));
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 077) != 0) {
    std::fprintf(stderr,
                 "warning: %s can be read by other users (mode %04o); keep password files 0600\n",
                 path.c_str(), static_cast<unsigned>(st.st_mode & 07777));
  }
  return withoutNewline(std::move(text));
}

std::optional<std::string> takePassword(ArgList& args) {
  auto file = args.takeOption("--password-file");
  auto given = args.takeOption("--password");
  if (file && given)
    throw UsageError("--password and --password-file: choose one", "conflicting-options");
  if (file) return readPassword(*file, "--password-file");
  if (given && *given == "-") return readPassword("-", "--password");
  return given;
}

}  // namespace plenar::cli
