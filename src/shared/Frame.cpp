// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/Frame.h"

#include <stdexcept>

namespace plenar {

std::uint8_t xorOf(std::span<const std::uint8_t> bytes) {
  std::uint8_t x = 0;
  for (auto b : bytes) x ^= b;
  return x;
}

void putLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t getLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t getLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::vector<std::uint8_t> buildFrame(std::uint16_t command, std::uint32_t value1,
                                     std::uint32_t value2, std::span<const std::uint8_t> data,
                                     std::size_t maxData) {
  if (data.size() > maxData) {
    throw std::length_error("frame data of " + std::to_string(data.size()) +
                            " bytes exceeds the limit of " + std::to_string(maxData));
  }
  std::vector<std::uint8_t> frame(frameSize(static_cast<std::uint16_t>(data.size())), 0);
  frame[0] = 0x02;
  frame[1] = 0x00;
  putLe16(&frame[2], command);
  putLe32(&frame[4], value1);
  putLe32(&frame[8], value2);
  putLe16(&frame[12], static_cast<std::uint16_t>(data.size()));
  frame[14] = xorOf(std::span(frame).first(14));
  frame[15] = 0x00;
  if (!data.empty()) {
    std::copy(data.begin(), data.end(), frame.begin() + kFrameHeaderSize);
    frame.back() = xorOf(data);
  }
  return frame;
}

FrameHeader parseHeader(std::span<const std::uint8_t> bytes) {
  FrameHeader h;
  if (bytes.size() < kFrameHeaderSize) return h;
  h.command = getLe16(&bytes[2]);
  h.value1 = getLe32(&bytes[4]);
  h.value2 = getLe32(&bytes[8]);
  h.dataLength = getLe16(&bytes[12]);
  return h;
}

bool headerCheckValid(std::span<const std::uint8_t> header16) {
  return header16.size() >= kFrameHeaderSize && xorOf(header16.first(kFrameHeaderSize)) == 0;
}

bool headerValid(std::span<const std::uint8_t> header16) {
  return headerCheckValid(header16) && header16[0] == 0x02;
}

bool dataValid(std::span<const std::uint8_t> dataAndCheck) {
  return xorOf(dataAndCheck) == 0;
}

bool answerStart(std::span<const std::uint8_t> datagram) {
  return datagram.size() >= kFrameHeaderSize && datagram[0] == 0x02 && datagram[1] == 0x00;
}

std::vector<std::uint8_t> identifyFrame() {
  return buildFrame(kIdentifyCommand, 0, 0, kIdentifyData, kMaxReadData);
}

}  // namespace plenar
