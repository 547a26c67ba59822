// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace plenar {

// The printer's frame: 02 00, command (16-bit), value 1 (32-bit), value 2 (32-bit), data length N
// (16-bit), XOR of bytes 0..13, 00; then, when N >= 1, N data bytes and their XOR. Little-endian.
inline constexpr std::size_t kFrameHeaderSize = 16;
inline constexpr std::size_t kMaxRequestData = 1016;  // a request frame fits 1033 bytes
inline constexpr std::size_t kMaxReadData = 2032;     // a read frame fits 2049 bytes

// The frame commands of the link itself; the settings' frames are the request codes' own
// (commands/RequestBytes).
inline constexpr std::uint16_t kIdentifyCommand = 0x30;     // the reply's data is the model tag
inline constexpr std::uint16_t kSwitchRateCommand = 0x31;   // value 1: the new rate's code
inline constexpr std::uint16_t kBootConnectCommand = 0x32;  // the boot loader's connect request
inline constexpr std::uint16_t kUserDataCommand = 0x92;  // the user's bytes; answered on UDP only
// The identify request's eight data bytes.
inline constexpr std::array<std::uint8_t, 8> kIdentifyData{0x01, 0x02, 0x04, 0x08,
                                                           0x10, 0x20, 0x40, 0x80};

struct FrameHeader {
  std::uint16_t command = 0;
  std::uint32_t value1 = 0;
  std::uint32_t value2 = 0;
  std::uint16_t dataLength = 0;
};

std::uint8_t xorOf(std::span<const std::uint8_t> bytes);

// Builds a complete frame. The caller keeps `data` within the limit of its kind of request
// (kMaxRequestData or kMaxReadData); larger data throws std::length_error.
std::vector<std::uint8_t> buildFrame(std::uint16_t command, std::uint32_t value1,
                                     std::uint32_t value2, std::span<const std::uint8_t> data,
                                     std::size_t maxData = kMaxRequestData);

// The identify request as it goes out (a read frame: its reply may carry up to kMaxReadData).
std::vector<std::uint8_t> identifyFrame();

// Total size of a frame whose header announces `dataLength` bytes.
inline std::size_t frameSize(std::uint16_t dataLength) {
  return dataLength == 0 ? kFrameHeaderSize : kFrameHeaderSize + dataLength + 1;
}

// Reads the header fields of at least 16 bytes (no checks).
FrameHeader parseHeader(std::span<const std::uint8_t> bytes);
// The header's check: bytes 0..15 XOR to 0 (byte 14 is the XOR of 0..13, byte 15 is 0).
bool headerCheckValid(std::span<const std::uint8_t> header16);
// The validity rule of a reply on serial and USB: starts with 0x02 and the header's check holds.
bool headerValid(std::span<const std::uint8_t> header16);
// Data bytes plus their check byte XOR to 0 (`dataAndCheck` holds N + 1 bytes).
bool dataValid(std::span<const std::uint8_t> dataAndCheck);
// What the network link takes for an answer: a datagram of at least a header's length that
// begins 02 00. Its checks are not looked at.
bool answerStart(std::span<const std::uint8_t> datagram);

void putLe16(std::uint8_t* p, std::uint16_t v);
void putLe32(std::uint8_t* p, std::uint32_t v);
std::uint16_t getLe16(const std::uint8_t* p);
std::uint32_t getLe32(const std::uint8_t* p);

}  // namespace plenar
