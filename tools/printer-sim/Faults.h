// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Noise.h"

namespace plenar::sim {

// Faults switched on from the command line. Counters run over the reply frames of all links in
// the order they are sent, so a fault hits the same reply on every run.
struct FaultConfig {
  bool silent = false;         // no answer at all
  int dropEvery = 0;           // the N-th, 2N-th, ... reply is not sent
  int corruptHeaderEvery = 0;  // ... reply has a wrong header check
  int corruptDataEvery = 0;    // ... reply that carries data has a wrong data check
  int delayMs = 0;             // every answer waits this long
  int noise = 0;               // noise bytes sent before every answer
  int closeAfter = 0;          // the link closes after this many frames
  int split = 0;               // replies go out in two writes, the first of N bytes
};

// Applies one "--fault" text ("silent", "drop-every:3", "delay:200", ...) to `config`.
// Returns an error text for an unknown or malformed fault.
std::optional<std::string> parseFault(const std::string& text, FaultConfig& config);

// One answer as it goes out: nothing, or one or two writes with a pause between them.
struct WritePlan {
  int delayMs = 0;
  std::vector<std::vector<std::uint8_t>> writes;
  int pauseMs = 0;    // between the writes
  std::string fault;  // what was done to the answer, for the record; empty when nothing
};

// Threads: one thread at a time.
class FaultInjector {
 public:
  static constexpr int kSplitPauseMs = 50;

  FaultInjector(FaultConfig config, std::uint64_t seed) : config_(config), noise_(seed) {}
  const FaultConfig& config() const { return config_; }

  // `frame`: a reply frame (false for the boot answer byte, which only `silent`, `delay` and
  // `noise` touch).
  WritePlan plan(std::vector<std::uint8_t> answer, bool frame);
  NoiseSource& noise() { return noise_; }

 private:
  FaultConfig config_;
  NoiseSource noise_;
  std::uint64_t replies_ = 0;
  std::uint64_t dataReplies_ = 0;
};

}  // namespace plenar::sim
