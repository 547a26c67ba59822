// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PasswordInput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/CliTexts.h"
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
  throw InputRefused(say("%1: %2; nothing was sent", "%1：%2；未发送任何内容", {option, why}),
                     FailureKind::Refused, option, code);
}

// The password read, checked for what no field check sees: it is never shown.
std::string checkedPassword(std::string text, const std::string& option) {
  dropLineEnding(text);
  if (text.find('\0') != std::string::npos) {
    refuse(text, option, say("the password holds a NUL byte", "密码中含有 NUL 字节"),
           "password-nul");
  }
  if (text.find_first_of("\r\n") != std::string::npos) {
    refuse(text, option, say("the password runs over more than one line", "密码超过一行"),
           "password-lines");
  }
  if (text.empty()) {
    refuse(text, option,
           say("the password is empty, which would leave the printer open (an access point or a "
               "station without a password, no Bluetooth PIN); to set none on purpose, give it "
               "as an empty argument (--password '', wifi-ap NAME '')",
               "密码为空，打印机将不设防（热点或客户端无密码、蓝牙无 PIN）；如确实不要密码，"
               "请给出空参数（--password ''、wifi-ap NAME ''）"),
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
      throw InputRefused(say("%1: standard input cannot be read: %2", "%1：无法读取标准输入：%2",
                             {option, std::strerror(err)}),
                         FailureKind::File, option, "file-unreadable");
    }
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > kMaxPasswordFileBytes) {
      wipe(buf, sizeof buf);
      wipe(text);
      throw InputRefused(say("%1: standard input holds more than a password",
                             "%1：标准输入的内容超出一个密码", {option}),
                         FailureKind::File, option, "file-too-large");
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
      throw InputRefused(say("%1: the line typed holds more than a password",
                             "%1：输入的一行超出一个密码", {option}),
                         FailureKind::Refused, option, "too-long");
    case HiddenLine::Status::Stopped:
      throw InputRefused(say("%1: stopped by %2 before a password was entered",
                             "%1：输入密码前被 %2 终止", {option, signalName(terminationSignal())}),
                         FailureKind::Interrupted, option);
    case HiddenLine::Status::Failed:
      break;
  }
  throw InputRefused(say("%1: the terminal cannot be read: %2", "%1：无法读取终端：%2",
                         {option, std::strerror(line.error)}),
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
    const std::string why =
        e.problem() == InputFileError::Kind::TooLarge
            ? say("the file %1 holds more than a password", "文件 %1 的内容超出一个密码", {path})
            : e.what();
    throw InputRefused(option + ": " + why, FailureKind::File, option,
                       inputFileErrorCode(e.problem()));
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    printLine(LineLevel::Note,
              say("warning: %1 can be read by other users (mode %2); keep password files 0600",
                  "警告：%1 其他用户可读（权限 %2）；密码文件请设为 0600", {path, mode}));
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
    throw UsageError(say("--password and --password-file: choose one",
                         "--password 和 --password-file 只能选一个"),
                     "conflicting-options");
  if (file) return readPassword(*file, "--password-file");
  if (given) return passwordArgument(*given, "--password");
  return given;
}

}  // namespace plenar::cli
