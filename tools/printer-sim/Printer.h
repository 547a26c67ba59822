// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "FrameScanner.h"
#include "PrinterState.h"
#include "RawDecoder.h"
#include "Recorder.h"
#include "shared/Frame.h"

namespace plenar::sim {

// The links the printer listens on; kLinks lists them all, in order.
enum class Link { Serial, Udp, Usb, Lpt };
inline constexpr Link kLinks[] = {Link::Serial, Link::Udp, Link::Usb, Link::Lpt};
const char* linkName(Link link);
// A record of something that arrived on `link`; `rate` is the serial rate it arrived at.
Record arrivalRecord(Link link, int rate, std::string kind);

struct PrinterConfig {
  bool bootEnabled = true;  // a lone 0x61 enters the boot loader
  int readChunk = 256;      // data bytes in each memory read reply
  // Every setting frame is refused (never acknowledged and never stored), as a printer refuses a
  // value it does not take; identify, rate switches and the rest are answered.
  bool refuseSettings = false;
};

// Bytes the printer sends, and the serial rate it sends them at.
struct Output {
  std::vector<std::uint8_t> bytes;
  int rate = 0;
  bool frame = true;  // false for the boot answer byte
};

// The printer's firmware as seen from its links: splits input into frames and raw input, answers
// frames, runs the boot loader, hands raw input to the sequence decoder, and records all of it.
// It owns the current serial rate: a rate switch is acknowledged at the old rate (the Output
// carries it) and takes effect for everything after.
// Threads: one thread at a time.
class Printer {
 public:
  static constexpr std::size_t kMaxFirmware = 16u << 20;
  static constexpr auto kIdentifyData = plenar::kIdentifyData;

  Printer(PrinterState& state, PrinterConfig config, Recorder& recorder, int rate);

  // Input from a link; returns what the printer answers, in order.
  std::vector<Output> receive(Link link, std::span<const std::uint8_t> bytes);
  // A datagram has ended: a frame cut short in it is not completed by the next one.
  void endOfDatagram(Link link);
  // The line has been quiet for a while with bytes that might start a frame (02 00 and less than
  // a header): they were not a frame, and go to the sequence decoder (1C 70 02 00 ends so).
  void lineIdle(Link link);
  bool undecidedInput(Link link) const {
    return input(link).scanner.pending() > 0 && input(link).scanner.pending() < kFrameHeaderSize;
  }
  // The tool closed the serial port: a half-received frame or sequence is lost.
  void lineDropped(Link link);
  // Bytes that arrived as line noise (sent at a rate or format the printer does not listen at);
  // `why` says how the line was set.
  void lineNoise(Link link, std::span<const std::uint8_t> sent, const std::string& why);

  int rate() const { return rate_; }
  bool inLoader() const { return loader_; }
  std::uint64_t framesReceived(Link link) const { return input(link).frames; }

 private:
  struct Input {
    FrameScanner scanner;
    std::unique_ptr<RawDecoder> decoder;
    std::uint64_t frames = 0;
  };
  struct Answer {
    bool send = false;
    std::vector<std::uint8_t> data;
    std::string meaning;
    int rateAfter = 0;  // non-zero: switch to this rate once the answer is out
    bool restart = false;
  };

  Input& input(Link link) { return inputs_[static_cast<std::size_t>(link)]; }
  const Input& input(Link link) const { return inputs_[static_cast<std::size_t>(link)]; }
  void process(Link link, std::vector<Output>& out);
  void handleFrame(Link link, const FrameScanner::Item& item, std::vector<Output>& out);
  Answer applicationFrame(Link link, const FrameHeader& h, std::span<const std::uint8_t> data);
  Answer loaderFrame(const FrameHeader& h, std::span<const std::uint8_t> data);
  Answer identify(std::span<const std::uint8_t> data);
  Answer switchRate(const FrameHeader& h);
  void rawInput(Link link, std::span<const std::uint8_t> bytes);
  bool bootRequest(Link link, std::span<const std::uint8_t> bytes) const;
  void enterLoader();
  void finishFirmware();
  int storedRate() const;
  void record(Link link, std::string kind, std::span<const std::uint8_t> data, std::string meaning);

  PrinterState& state_;
  PrinterConfig config_;
  Recorder& recorder_;
  int rate_;
  bool loader_ = false;
  std::vector<std::uint8_t> image_;              // firmware being received by the loader
  std::array<Input, std::size(kLinks)> inputs_;  // by Link
};

}  // namespace plenar::sim
