// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/RequestBytes.h"

#include <span>
#include <string>

#include "shared/Frame.h"

namespace plenar {
namespace {

struct FramedCode {
  int code;
  std::uint16_t command;
};

// Codes 9 and 20 share 0x82; 42 and 43 share 0x8D (the data byte tells them apart).
constexpr FramedCode kFramedCodes[] = {
    {kCodePageCode, 0x80},
    {kBaudRateCode, 0x81},
    {kSwitchesCode, 0x82},
    {kRestoreDefaultsCode, 0x79},
    {kBluetoothCode, 0x83},
    {kWifiAddressCode, 0x8A},
    {kWifiOffCode, 0x8B},
    {kInfraredCode, 0x84},
    {kDeviceParametersCode, 0x85},
    {kTimesCode, 0x86},
    {kAllParametersCode, 0x88},
    {kSwitchOptionsCode, 0x82},
    {kWifiCode, 0x89},
    {kBluetoothCommandsCode, 0x87},
    {kRetractTimeCode, 0x8C},
    {kSoftwareFlowCode, 0x8D},
    {kHardwareFlowCode, 0x8D},
    {kPrintSizeCode, 0x90},
    {kEthernetCode, 0x91},
};

std::uint8_t blockByte(const CommandRequest& r, std::size_t i) {
  return i < r.paraBuf.size() ? r.paraBuf[i] : 0;
}

WireBytes withBlock(std::initializer_list<std::uint8_t> prefix, const CommandRequest& r) {
  WireBytes out(prefix);
  out.insert(out.end(), r.paraBuf.begin(), r.paraBuf.end());
  return out;
}

std::uint32_t asWord(std::int32_t v) {
  return static_cast<std::uint32_t>(v);
}

}  // namespace

std::optional<std::uint16_t> settingsFrameCommand(int code) {
  for (const auto& f : kFramedCodes) {
    if (f.code == code) return f.command;
  }
  return std::nullopt;
}

std::optional<WireBytes> directSequence(const CommandRequest& r) {
  const bool firstChoice = r.value2 == 0;
  switch (r.code) {
    case 31:  // black-mark mode on
      return WireBytes{0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44};
    case 32:  // black-mark mode off
      return WireBytes{0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66};
    case 36:  // feed to the next mark
      return WireBytes{0x0C};
    case 44:  // feed to the mark, cut
      return WireBytes{0x0C, 0x1B, 0x69};
    // Search distance and mark width are big-endian, the feed before the cut little-endian.
    case 33:
      return WireBytes{0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, blockByte(r, 0), blockByte(r, 1)};
    case 34:
      return WireBytes{0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, blockByte(r, 0), blockByte(r, 1)};
    case 35:  // GS ( F: the cut position after the black mark (function 1 of the mark settings)
      return WireBytes{0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, blockByte(r, 0), blockByte(r, 1)};
    // 1F <letter> and the block (address, mask and MAC carry a zero fifth byte).
    case 41:
      return withBlock({0x1F, 0x49}, r);  // address
    case 37:
      return withBlock({0x1F, 0x53}, r);  // subnet mask
    case 38:
      return withBlock({0x1F, 0x4E}, r);  // gateway
    case 39:
      return withBlock({0x1F, 0x50}, r);  // port
    case 40:
      return withBlock({0x1F, 0x4D}, r);  // MAC
    case 30:                              // Bluetooth hiding on
      return WireBytes{0x8E, 0x01};
    case 27:  // Bluetooth hiding off
      return WireBytes{0x8E, 0x00};
    case 23:
      switch (r.value1) {
        case 0:  // USB virtual serial port / USB printer port
          return WireBytes{0x12, 0x55, static_cast<std::uint8_t>(firstChoice ? 0x00 : 0x01)};
        case 1:  // thermal receipt paper / thermal label paper
          return WireBytes{0x1F, 0x41, static_cast<std::uint8_t>(firstChoice ? 0x00 : 0x01)};
        case 2:  // ESC { : upside-down printing prints the receipt in reverse order
          return WireBytes{0x1B, 0x7B, static_cast<std::uint8_t>(firstChoice ? 0xF1 : 0xF0)};
        default:
          return std::nullopt;
      }
    case 45:  // the test page, as built
      return r.paraBuf;
    default:
      return std::nullopt;
  }
}

std::vector<WireBytes> requestWireBytes(const CommandRequest& r) {
  if (auto sequence = directSequence(r)) return {*sequence};
  auto command = settingsFrameCommand(r.code);
  if (!command) return {};
  switch (r.code) {
    case 6:
    case 8: {
      const std::uint8_t data[1] = {static_cast<std::uint8_t>(r.value1)};
      return {buildFrame(*command, 0, 0, data)};
    }
    case 42:
    case 43: {
      const std::uint8_t data[1] = {static_cast<std::uint8_t>(r.code == kHardwareFlowCode ? 1 : 0)};
      return {buildFrame(*command, 0, 0, data)};
    }
    case 22: {
      std::vector<WireBytes> frames;
      for (const std::string& line : r.paramList) {
        auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
        frames.push_back(buildFrame(*command, asWord(r.value1), asWord(r.value2), bytes));
      }
      return frames;
    }
    case 10:
    case 13:
      return {buildFrame(*command, asWord(r.value1), asWord(r.value2), {})};
    default:
      return {buildFrame(*command, asWord(r.value1), asWord(r.value2), r.paraBuf)};
  }
}

}  // namespace plenar
