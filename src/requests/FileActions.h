// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CommandRequest.h"
#include "shared/Errors.h"

namespace plenar {

// What the program, font and logo buttons of the parameter window hand to the worker, as plain
// functions of the field values, shared by the window and the `plenar` command.
//
// Request shapes (the worker's routines read exactly these fields):
//   code 3/7  fileList, nameList, cmdList, paramList: one row per file ("$35", "$<hex address>")
//   code 4    dataStream = the whole program file; value2 = BootWaitMs (the wait after the
//             connect frame, milliseconds); the routine derives the program's model tag from
//             dataStream at offset 0x3000
//   code 16   value1 = start address, value2 = length in bytes, saveFileName
//   code 17   logoNumbers = "1,3,4"
//   code 28   value1 = number of handshake passes; 0 means the full 1001
//   code 46   fileList = the one prepared 1C 71 file

// A field or file that the window refuses with a message box; what() is the text shown.
class FileActionRefused : public Error {
 public:
  // `field`: the refused field as the parameter window names its control, when one is at fault.
  // `code`: the stable key of a --json error ("file-missing", "not-an-integer", ...).
  explicit FileActionRefused(const std::string& message, std::string field = {},
                             std::string code = "refused")
      : Error(message,
              {.kind = FailureKind::Refused, .code = std::move(code), .field = std::move(field)}) {}
};

inline constexpr std::size_t kPrgModelTagOffset = 0x3000;
inline constexpr std::size_t kModelTagLength = 8;
inline constexpr int kDefaultBootWaitMs = 5000;
inline constexpr std::uint32_t kFramedDownloadCommand = 0x35;
inline constexpr std::uint32_t kLogoFileAddress = 0x1CF000;
inline constexpr int kBootHandshakePasses = 1001;
// The largest files the printer takes: program and font images fill at most its 16 MiB of flash,
// user data goes out in 0x92 frames to a receive buffer, not to memory.
inline constexpr std::size_t kMaxProgramFileBytes = 16u << 20;
inline constexpr std::size_t kMaxFontFileBytes = 16u << 20;
inline constexpr std::size_t kMaxUserDataFileBytes = 1u << 20;

// A number as the printer tool's text fields take it: optional blanks, an optional sign, then
// decimal digits, or "$" followed by hexadecimal digits (at most 8; values above 0x7FFFFFFF are
// kept as their 32-bit pattern). Nothing else may follow. nullopt when the text is not a number.
std::optional<std::int64_t> parseIntText(std::string_view text);
// The conversion failure's text: '<text>' is not a valid integer value
std::string notAnIntegerText(std::string_view text);

// The program file's model tag: up to 8 bytes at offset 0x3000, ending at the first zero byte,
// upper case; empty for a file of 0x3000 bytes or less. A file that ends inside the 8 tag bytes
// cannot be read there: FileActionRefused "Stream read error".
std::string prgModelTag(std::span<const std::uint8_t> file);
// Whether a program file may replace the printer's program, by the printer's model tag (from
// the identify reply) and the file's (prgModelTag): nullopt when it may, else the reason. Two
// different tags never pass. An empty tag on either side (a printer that answered without one,
// a file of 0x3000 bytes or less) proves nothing about the model, so it passes only with `force`
// (plenar's --force-firmware); the window never forces.
std::optional<std::string> firmwareTagRefusal(std::string_view printerTag,
                                              std::string_view programTag, bool force);
// The wait time box (seconds, decimal; 5 when it holds no number) in milliseconds. Negative
// waits count as 0; the product is capped at the largest 32-bit value.
std::int32_t bootWaitMs(std::string_view waitSecondsText);
// The font address box: hexadecimal digits; text that is not a hexadecimal number gives 0.
std::uint32_t fontStartAddress(std::string_view hexText);
// "$" followed by lower-case hexadecimal digits, as the address column of the file lists holds.
std::string addressParam(std::uint32_t address);

// Font download (code 3). nullopt when the file does not exist (the window then does nothing).
// FileActionRefused when the file is not a regular file, is larger than kMaxFontFileBytes, or
// would run past the end of the 32-bit address space from the start address.
std::optional<CommandRequest> fontDownloadRequest(const std::string& fontPath,
                                                  std::string_view addressText);
// The refusal text for `size` bytes at `start` when they pass 4 GiB; empty when they fit.
std::string addressRangeRefusal(std::uint32_t start, std::uint64_t size);
// A user's input file, read whole without blocking and up to `maxBytes`; FileActionRefused with
// the reason (not a regular file, too large, unreadable) otherwise.
std::vector<std::uint8_t> readUserFile(const std::string& path, std::size_t maxBytes);

// Program update (code 4): loads the file into dataStream. FileActionRefused with the sMsg24
// text when the file does not exist, with the read failure of the tag, or when the file is not a
// regular file or larger than kMaxProgramFileBytes. `panelText` receives
// the status panel's "<sUpdatePrgFile>:<name> Size:<bytes>" when given.
CommandRequest firmwareRequest(const std::string& programPath, std::string_view waitSecondsText,
                               std::string* panelText = nullptr);

// Read back (code 16): the start address box as hexadecimal, the length box as decimal, the
// save dialog's file name unchanged. FileActionRefused with the conversion text for a box that
// holds no number. `panelText` receives "<sUpdateFontFile>:<file>" when given.
CommandRequest readBackRequest(std::string_view startAddressText, std::string_view lengthText,
                               const std::string& saveFileName, std::string* panelText = nullptr);

// Logo image file download (code 7): the built 1.bin to 0x1CF000.
CommandRequest logoDownloadRequest(const std::string& logoFilePath);
// The built 2.bin sent raw (code 46).
CommandRequest rawLogoRequest(const std::string& logoFilePath);
// Print stored logos (code 17): the selected list positions (from 0) in list order become the
// logo numbers 1, 2, ...; nullopt when nothing is selected.
std::optional<CommandRequest> printLogosRequest(const std::vector<int>& selectedPositions);
// Boot handshake (code 28); `passes` 0 runs the full 1001 passes.
CommandRequest bootHandshakeRequest(int passes = 0);

}  // namespace plenar
