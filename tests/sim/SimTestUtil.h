// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "Hex.h"
#include "Printer.h"
#include "PrinterState.h"
#include "Recorder.h"
#include "shared/Frame.h"

namespace plenar::sim::test {

inline std::vector<std::uint8_t> bytesOf(std::initializer_list<int> v) {
  std::vector<std::uint8_t> out;
  for (int b : v) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

inline std::vector<std::uint8_t> hexBytes(const std::string& hex) {
  std::string clean;
  for (char c : hex) {
    if (c != ' ') clean.push_back(c);
  }
  return fromHex(clean).value();
}

inline std::vector<std::uint8_t> frame(std::uint16_t command, std::uint32_t v1 = 0,
                                       std::uint32_t v2 = 0, std::vector<std::uint8_t> data = {}) {
  return buildFrame(command, v1, v2, data, kMaxReadData);
}

inline const std::vector<std::uint8_t> kIdentify =
    frame(0x30, 0, 0, bytesOf({0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}));

// A printer model with its state and an in-memory record, as the simulator wires them.
struct Bench {
  PrinterState state;
  Recorder recorder;
  Printer printer;

  explicit Bench(PrinterConfig config = {}, int rate = 9600)
      : printer(state, config, recorder, rate) {
    recorder.setCapture(true);
  }
  std::vector<Output> serial(const std::vector<std::uint8_t>& bytes) {
    return printer.receive(Link::Serial, bytes);
  }
  std::vector<Output> udp(const std::vector<std::uint8_t>& bytes) {
    auto out = printer.receive(Link::Udp, bytes);
    printer.endOfDatagram(Link::Udp);
    return out;
  }
  // Meanings of the records of one kind, in order.
  std::vector<std::string> meanings(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& r : recorder.captured()) {
      if (r.kind == kind) out.push_back(r.meaning);
    }
    return out;
  }
};

}  // namespace plenar::sim::test
