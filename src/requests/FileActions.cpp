// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/FileActions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>

#include "platform/SafeFiles.h"
#include "shared/SharedTexts.h"

namespace plenar {

namespace {

bool isFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec) &&
         !std::filesystem::is_directory(path, ec);
}

// The size of an input file that readUserFile would take, found without reading it: a regular
// file within `maxBytes` that opens for reading. Anything else goes through readUserFile, which
// refuses it with its reason.
std::size_t userFileSize(const std::string& path, std::size_t maxBytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd >= 0) {
    struct stat st {};
    const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                       static_cast<std::uintmax_t>(st.st_size) <= maxBytes;
    ::close(fd);
    if (plain) return static_cast<std::size_t>(st.st_size);
  }
  return readUserFile(path, maxBytes).size();
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<std::uint8_t> readUserFile(const std::string& path, std::size_t maxBytes) {
  try {
    return readInputBytes(path, maxBytes);
  } catch (const InputFileError& e) {
    throw FileActionRefused(e.what(), {}, inputFileErrorCode(e.problem()));
  }
}

std::string addressRangeRefusal(std::uint32_t start, std::uint64_t size) {
  constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32;
  if (start + size <= kAddressSpace) return {};
  return "The file does not fit below address $100000000: " + std::to_string(size) +
         " bytes from " + addressParam(start);
}

std::optional<std::int64_t> parseIntText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i < text.size() && text[i] == '$') {
    ++i;
    if (i == text.size() || text.size() - i > 8) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
      int d = hexDigit(text[i]);
      if (d < 0) return std::nullopt;
      value = value * 16 + d;
    }
    return negative ? -value : value;
  }
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return value;
}

std::string notAnIntegerText(std::string_view text) {
  return "'" + std::string(text) + "' is not a valid integer value";
}

std::string prgModelTag(std::span<const std::uint8_t> file) {
  if (file.size() <= kPrgModelTagOffset) return {};
  if (file.size() < kPrgModelTagOffset + kModelTagLength) {
    throw FileActionRefused("Stream read error", {}, "file-unreadable");
  }
  std::string tag;
  for (std::size_t i = 0; i < kModelTagLength; ++i) {
    std::uint8_t b = file[kPrgModelTagOffset + i];
    if (b == 0) break;
    tag.push_back(static_cast<char>(std::toupper(b)));
  }
  return tag;
}

std::optional<std::string> firmwareTagRefusal(std::string_view printerTag,
                                              std::string_view programTag, bool force) {
  if (!printerTag.empty() && !programTag.empty()) {
    if (printerTag == programTag) return std::nullopt;
    return "The program file is for printer model '" + std::string(programTag) +
           "', the printer is '" + std::string(printerTag) + "'";
  }
  if (force) return std::nullopt;
  if (printerTag.empty()) {
    return std::string(
        "The printer answered with no model tag, so the program file cannot be "
        "checked against it");
  }
  return "The program file has no model tag (it is 0x3000 bytes or shorter), so it cannot be "
         "checked against the printer's '" +
         std::string(printerTag) + "'";
}

std::int32_t bootWaitMs(std::string_view waitSecondsText) {
  std::int64_t seconds = parseIntText(waitSecondsText).value_or(5);
  // A hexadecimal pattern above 0x7FFFFFFF is a negative number for the box, as for the tool.
  if (seconds > std::numeric_limits<std::int32_t>::max()) seconds -= std::int64_t{1} << 32;
  std::int64_t ms = std::max<std::int64_t>(0, seconds) * 1000;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(ms, std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t fontStartAddress(std::string_view hexText) {
  auto v = parseIntText("$" + std::string(hexText));
  return v ? static_cast<std::uint32_t>(*v) : 0;
}

std::string addressParam(std::uint32_t address) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  do {
    hex.insert(hex.begin(), digits[address & 0xF]);
    address >>= 4;
  } while (address != 0);
  return "$" + hex;
}

std::optional<CommandRequest> fontDownloadRequest(const std::string& fontPath,
                                                  std::string_view addressText) {
  if (!isFile(fontPath)) return std::nullopt;
  // Checked here, so that a FIFO, a device or an oversized file is refused before the link is
  // touched; the routine reads the file when it runs (a font of 16 MiB is not held twice).
  const std::size_t size = userFileSize(fontPath, kMaxFontFileBytes);
  const std::uint32_t start = fontStartAddress(addressText);
  if (std::string refusal = addressRangeRefusal(start, size); !refusal.empty()) {
    throw FileActionRefused(refusal, "edt_FontAddress", "address-range");
  }
  CommandRequest r;
  r.code = kFontDownloadCode;
  r.fileList = {fontPath};
  r.nameList = {"FONT"};
  r.cmdList = {"$35"};
  r.paramList = {addressParam(start)};
  return r;
}

CommandRequest firmwareRequest(const std::string& programPath, std::string_view waitSecondsText,
                               std::string* panelText) {
  CommandRequest r;
  r.code = kFirmwareUpdateCode;
  r.value2 = bootWaitMs(waitSecondsText);
  if (!isFile(programPath)) throw FileActionRefused(text(TextId::FileMissing), {}, "file-missing");
  r.dataStream = readUserFile(programPath, kMaxProgramFileBytes);
  // Read here so that a file the update could not check is refused before anything starts.
  (void)prgModelTag(r.dataStream);
  if (panelText) {
    *panelText = text(TextId::UpdateProgram) + ":" +
                 std::filesystem::path(programPath).filename().string() +
                 " Size:" + std::to_string(r.dataStream.size());
  }
  return r;
}

CommandRequest readBackRequest(std::string_view startAddressText, std::string_view lengthText,
                               const std::string& saveFileName, std::string* panelText) {
  std::string addressText = "$" + std::string(startAddressText);
  auto address = parseIntText(addressText);
  if (!address)
    throw FileActionRefused(notAnIntegerText(addressText), "edt_StartAddress", "not-an-integer");
  auto length = parseIntText(lengthText);
  if (!length)
    throw FileActionRefused(notAnIntegerText(lengthText), "edt_ReadLength", "not-an-integer");
  CommandRequest r;
  r.code = kReadBackCode;
  r.value1 = static_cast<std::int32_t>(static_cast<std::uint32_t>(*address));
  r.value2 = static_cast<std::int32_t>(static_cast<std::uint32_t>(*length));
  r.saveFileName = saveFileName;
  if (panelText) *panelText = text(TextId::UpdateFont) + ":" + saveFileName;
  return r;
}

CommandRequest logoDownloadRequest(const std::string& logoFilePath) {
  CommandRequest r;
  r.code = kLogoDownloadCode;
  r.fileList = {logoFilePath};
  r.nameList = {"LOGO"};
  r.cmdList = {"$35"};
  r.paramList = {addressParam(kLogoFileAddress)};
  return r;
}

CommandRequest rawLogoRequest(const std::string& logoFilePath) {
  CommandRequest r;
  r.code = kRawLogoDownloadCode;
  r.fileList = {logoFilePath};
  return r;
}

std::optional<CommandRequest> printLogosRequest(const std::vector<int>& selectedPositions) {
  if (selectedPositions.empty()) return std::nullopt;
  std::vector<int> positions = selectedPositions;
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  CommandRequest r;
  r.code = kPrintLogosCode;
  for (int p : positions) {
    if (!r.logoNumbers.empty()) r.logoNumbers += ",";
    r.logoNumbers += std::to_string(p + 1);
  }
  return r;
}

CommandRequest bootHandshakeRequest(int passes) {
  CommandRequest r;
  r.code = kEnterBootCode;
  r.value1 = std::max(0, passes);
  return r;
}

}  // namespace plenar
