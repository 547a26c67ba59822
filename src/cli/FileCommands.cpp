// SPDX-License-Identifier: GPL-3.0-or-later
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

#include "app/Engine.h"
#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/CliTexts.h"
#include "cli/FieldLimits.h"
#include "cli/RunReport.h"
#include "cli/StderrLines.h"
#include "cli/StreamPaths.h"
#include "engine/TCommThread.h"
#include "logo/LogoFiles.h"
#include "logo/LogoImage.h"
#include "platform/SafeFiles.h"
#include "platform/Sha256.h"
#include "requests/FileActions.h"
#include "shared/SharedTexts.h"

namespace plenar::cli {

namespace {

// Runs `request` with the parameter window's status panel shown on stderr as well.
int runWithPanel(const CommonOptions& o, CommandRequest request, const std::string& panelText) {
  CliSession session(o);
  session.worker().setParaStatusPanel(
      [](const std::string& text) { printLine(LineLevel::Status, text); });
  if (!panelText.empty()) printLine(LineLevel::Status, panelText);
  return session.run(std::move(request));
}

// The address boxes take hexadecimal digits only; a typing error must not send a font to
// address 0, so the command refuses what the box would have read as 0.
std::string hexAddressText(std::string text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
  if (!parseIntText("$" + text) || text.find_first_of(" +-") != std::string::npos) {
    throw InputRefused(notAnIntegerText("$" + text), FailureKind::Refused, "--address",
                       "not-an-integer");
  }
  return text;
}

// The code of the first named file that cannot be read ("file-missing", ...); "logo-refused"
// when every one can, and it is their content the logo builder refused.
std::string firstUnusableFileCode(const std::vector<std::string>& paths) {
  for (const auto& p : paths) {
    std::error_code ec;
    const auto status = std::filesystem::status(p, ec);
    if (!std::filesystem::exists(status)) return "file-missing";
    if (!std::filesystem::is_regular_file(status)) return "file-not-regular";
    if (::access(p.c_str(), R_OK) != 0) return "file-unreadable";
  }
  return "logo-refused";
}

// The file a read-back writes, checked before the printer is read: a folder that is missing or
// not writable, or a path that names a folder, would otherwise fail only once every byte came in.
void checkOutputFile(const std::string& path) {
  namespace fs = std::filesystem;
  if (isStandardStream(path)) return;
  std::error_code ec;
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  std::string why;
  if (fs::is_directory(path, ec)) {
    why = "it is a folder";
  } else if (!fs::is_directory(folder, ec)) {
    why = "the folder " + folder.string() + " does not exist";
  } else if (fs::exists(path, ec) ? ::access(path.c_str(), W_OK) != 0
                                  : ::access(folder.c_str(), W_OK | X_OK) != 0) {
    why = std::strerror(errno);
  }
  if (!why.empty()) {
    throw InputRefused(say("Cannot write %1: %2; nothing was read",
                           "无法写入 %1：%2；未读取任何内容", {path, why}),
                       FailureKind::File, "OUTFILE", "output-uncreatable");
  }
}

void warnMissing(const std::vector<std::string>& paths) {
  for (const auto& p : paths) {
    std::error_code ec;
    if (!std::filesystem::exists(p, ec)) {
      printLine(LineLevel::Note, say("File %1 not Exist, skipped", "文件 %1 不存在，已跳过", {p}));
    }
  }
}

int fontCommand(const CommonOptions& o, ArgList& args) {
  static const char* usage = "font FILE --address HEX";
  auto address = args.takeOption("--address");
  if (!address)
    throw UsageError(say("missing --address: %1", "缺少 --address：%1", {usage}),
                     "missing-argument");
  auto p = args.expect(1, usage);
  std::string addressText = hexAddressText(*address);
  std::optional<CommandRequest> request;
  try {
    request = fontDownloadRequest(p[0], addressText);
  } catch (const FileActionRefused& e) {
    throw InputRefused(e.what(), FailureKind::File, {}, e.code());
  }
  if (!request)
    throw InputRefused(text(TextId::FileMissing) + ": " + p[0], FailureKind::File, {}, "file-missing");
  o.report->result() = {{"file", p[0]},
                        {"address", addressText},
                        {"bytes", request->dataStream.empty() ? 0 : request->dataStream.size()}};
  return runWithPanel(o, std::move(*request), {});
}

int logoDownloadCommand(const CommonOptions& o, ArgList& args) {
  bool raw = args.takeFlag("--raw");
  auto paths = args.positionals();
  if (paths.empty())
    throw UsageError(say("usage: plenar logo-download [--raw] BMP...",
                         "用法：plenar logo-download [--raw] BMP..."),
                     "argument-count");
  warnMissing(paths);
  std::optional<CommandRequest> request;
  try {
    request = raw ? prepareRawLogoDownload(paths, o.paths.stateDir)
                  : prepareLogoDownload(paths, o.paths.stateDir);
  } catch (const LogoSaveError& e) {
    throw InputRefused(e.what(), FailureKind::File, {}, "output-uncreatable");
  } catch (const LogoError& e) {
    throw InputRefused(e.what(), FailureKind::File, {}, firstUnusableFileCode(paths));
  }
  o.report->result() = {{"files", paths}, {"raw", raw}};
  return runWithPanel(o, std::move(*request), {});
}

int logoPrintCommand(const CommonOptions& o, ArgList& args) {
  static const char* usage = "logo-print N[,N...]";
  auto p = args.expect(1, usage);
  CommandRequest request;
  request.code = kPrintLogosCode;
  std::size_t start = 0;
  while (start <= p[0].size()) {
    std::size_t comma = p[0].find(',', start);
    if (comma == std::string::npos) comma = p[0].size();
    // The printer takes the logo number as one byte (1C 70 n 00).
    long long n = parseInteger(p[0].substr(start, comma - start), "logo number", 1, 255);
    if (!request.logoNumbers.empty()) request.logoNumbers += ",";
    request.logoNumbers += std::to_string(n);
    start = comma + 1;
  }
  o.report->result() = {{"logos", request.logoNumbers}, {"confirmed", false}};
  CliSession session(o);
  return session.runAfterLinkCheck(std::move(request));
}

// A private folder for a read-back bound for standard output: the routine saves the memory as
// a file (whole or not at all), and its bytes are copied to stdout once the read is complete.
class StdoutSpool {
 public:
  StdoutSpool() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/plenar-read-back.XXXXXX";
    if (!::mkdtemp(pattern.data())) {
      throw InputRefused(
          say("Cannot create a temporary folder for standard output: %1; nothing "
              "was read",
              "无法为标准输出创建临时文件夹：%1；未读取任何内容", {std::strerror(errno)}),
          FailureKind::File, "OUTFILE", "output-uncreatable");
    }
    folder_ = pattern;
  }
  ~StdoutSpool() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  StdoutSpool(const StdoutSpool&) = delete;
  StdoutSpool& operator=(const StdoutSpool&) = delete;
  std::string file() const { return folder_ + "/memory.bin"; }
  // The saved bytes onto stdout; false when they did not all get there.
  bool copyToStdout() const {
    const std::string bytes = readInputFile(file(), SIZE_MAX);
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
           std::fflush(stdout) == 0;
  }

 private:
  std::string folder_;
};

int readBackCommand(const CommonOptions& o, ArgList& args) {
  static const char* usage = "read-back --address HEX --length N OUTFILE";
  auto address = args.takeOption("--address");
  auto length = args.takeInt("--length", 0, INT32_MAX);
  if (!address || !length)
    throw UsageError(say("missing option: %1", "缺少选项：%1", {usage}), "missing-argument");
  auto p = args.expect(1, usage);
  if (o.json && isStandardStream(p[0])) {
    throw UsageError(
        say("read-back: with --json the document owns stdout; write the memory to a "
            "file, not to %1",
            "read-back：使用 --json 时 stdout 归 JSON 文档；请把内存写到文件，而不是 %1", {p[0]}));
  }
  // "-": the memory's bytes on standard output, and nothing else there.
  const bool toStdout = p[0] == "-";
  std::optional<StdoutSpool> spool;
  std::string target = p[0];
  if (toStdout) {
    spool.emplace();
    target = spool->file();
  } else {
    checkOutputFile(p[0]);
    // The memory goes to the user's own file or a stream, never through a link to a file or
    // over another user's file: refused before anything is read.
    if (!canSaveOutputFile(p[0])) {
      const int error = errno;
      throw InputRefused(say("Cannot create file \"%1\". %2", "无法创建文件“%1”。%2",
                             {p[0], saveErrorText(error)}),
                         FailureKind::File, "OUTFILE", "output-uncreatable");
    }
  }
  CommandRequest request;
  try {
    request = readBackRequest(hexAddressText(*address), std::to_string(*length), target, nullptr);
  } catch (const FileActionRefused& e) {
    throw InputRefused(e.what(), FailureKind::Refused, {}, e.code());
  }
  // A script gets exactly what it asked for; the window keeps the printer's last block whole.
  request.exactLength = true;
  const std::string shownName = toStdout ? "standard output" : p[0];
  const std::string panel =
      o.language == 0 ? "读取内存到 " + shownName : "Read printer memory into " + shownName;
  const int rc = runWithPanel(o, std::move(request), panel);
  if (rc == kExitDone) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(target, ec);
    o.report->result() = {{"file", p[0]},
                          {"address", *address},
                          {"bytes", ec ? 0 : static_cast<long long>(size)},
                          {"sha256", sha256OfFile(target)}};
    if (toStdout && !spool->copyToStdout()) return kExitIoError;
  }
  return rc;
}

int firmwareCommand(const CommonOptions& o, ArgList& args) {
  static const char* usage = "firmware FILE [--wait SECONDS] [--force-firmware]";
  const bool force = args.takeFlag("--force-firmware");
  std::string wait = args.takeOption("--wait").value_or("5");
  // The wait box takes digits only.
  checkFieldLimit(wait, {"--wait", FieldFilter::Digits, 0});
  auto p = args.expect(1, usage);
  std::string panel;
  CommandRequest request;
  try {
    request = firmwareRequest(p[0], wait, &panel);
  } catch (const FileActionRefused& e) {
    throw InputRefused(e.what(), FailureKind::File, {}, e.code());
  }
  request.forceFirmware = force;
  o.report->result() = {{"file", p[0]},
                        {"bytes", request.dataStream.size()},
                        {"model_tag", prgModelTag(request.dataStream)},
                        {"sha256", sha256Hex(request.dataStream)}};
  CliSession session(o);
  session.worker().setParaStatusPanel(
      [](const std::string& text) { printLine(LineLevel::Status, text); });
  printLine(LineLevel::Status, panel);
  const int rc = session.run(std::move(request));
  // The routine's refusal of the program file (model tags) is a refusal of the input, like the
  // checks made before the link opens: nothing reached the boot loader.
  const CommandResult& result = session.lastResult();
  if (!result.ok && result.code == "firmware-mismatch") {
    std::string reason = result.cause;
    if (!force && reason.find("no model tag") != std::string::npos) {
      reason += "; --force-firmware sends it anyway";
      printLine(LineLevel::Note,
                say("(--force-firmware sends it anyway)", "（--force-firmware 可强制发送）"));
    }
    o.report->setError(FailureKind::Refused, result.message, reason, "file", 0,
                       "firmware-mismatch");
    return kExitRefused;
  }
  return rc;
}

int bootCommand(const CommonOptions& o, ArgList& args) {
  auto passes = args.takeInt("--passes", 1, kBootHandshakePasses);
  args.expect(0, "boot [--passes N]");
  CliSession session(o);
  int rc = session.run(bootHandshakeRequest(static_cast<int>(passes.value_or(0))));
  const bool answered = session.engine().takeBootConfirmation();
  // Leaving boot mode, as the connection window does once the printer has answered.
  session.engine().leaveBootMode();
  o.report->result() = {{"boot_mode", rc == kExitDone && answered}};
  if (rc != kExitDone) return rc;
  if (!answered) {
    // Not a byte back: nothing reached a printer, as for any command that gets no answer.
    const FailureKind kind =
        session.lastResult().bytesReceived == 0 ? FailureKind::Link : FailureKind::Printer;
    const std::string why =
        say("The printer did not answer the boot handshake", "打印机未应答 BOOT 握手");
    printLine(LineLevel::Error, why);
    o.report->setError(kind, why);
    return kExitFailed;
  }
  printLine(LineLevel::Status, say("The printer is in boot mode", "打印机已进入 BOOT 模式"));
  return kExitDone;
}

}  // namespace

void addFileCommands(std::vector<CliCommand>& out) {
  out.push_back(
      {"font",
       "font FILE --address HEX",
       {"download a font file to the hexadecimal start address", "下载字库文件到十六进制起始地址"},
       true,
       fontCommand});
  out.push_back({"logo-download",
                 "logo-download [--raw] BMP...",
                 {"store logos: builds 1.bin beside debug.log, or 2.bin with --raw",
                  "保存 LOGO：在 debug.log 旁生成 1.bin，用 --raw 时生成 2.bin"},
                 true,
                 logoDownloadCommand});
  out.push_back({"logo-print",
                 "logo-print N[,N...]",
                 {"print stored logos by number", "按编号打印已保存的 LOGO"},
                 true,
                 logoPrintCommand});
  out.push_back({"read-back",
                 "read-back --address HEX --length N OUTFILE",
                 {"read printer memory into a file", "读取打印机内存到文件"},
                 true,
                 readBackCommand});
  out.push_back({"firmware",
                 "firmware FILE [--wait SECONDS] [--force-firmware]",
                 {"update the printer's program", "升级打印机程序"},
                 true,
                 firmwareCommand});
  out.push_back({"boot",
                 "boot [--passes N]",
                 {"boot handshake until the printer answers; exit 0 when it did",
                  "BOOT 握手直到打印机应答；应答时退出码为 0"},
                 true,
                 bootCommand});
}

}  // namespace plenar::cli
