// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>

#include <cstdint>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "SimProcess.h"
#include "requests/BuildResult.h"

// Shared pieces of the settings tests: the simulator on a pseudo-terminal, the engine in front of
// it, and readers for what the printer received and what the engine sent.

using Bytes = std::vector<std::uint8_t>;

Bytes hexBytes(const std::string& hex);

// What the simulator recorded, without the link's own frames (rate switch 0x31, identify 0x30).
struct Received {
  std::string kind;  // "frame", "sequence", "datagram", ...
  std::string link;  // "serial" or "udp"
  int command = -1;
  long long value1 = 0;
  Bytes data;
};
std::vector<Received> received(const plenar::test::SimProcess& sim, bool withLinkFrames = false);
// All bytes of the raw sequences, in order (the decoder splits a burst into its commands).
Bytes sequenceBytes(const std::vector<Received>& records);

// The blocks the engine wrote, read back from debug.log ("Send N Bytes" and its dump).
std::vector<Bytes> sentBlocks(const EngineHarness& h);

// The request of a builder's result (fails the test for a refusal).
plenar::CommandRequest requestOf(const plenar::BuildResult& result);

// The printer's stored settings as the simulator saved them.
QJsonObject settings(const plenar::test::SimProcess& sim);

// Runs `request` over the simulator's serial link (device 9600, transfer 115200).
void runSerial(EngineHarness& h, const plenar::test::SimProcess& sim, plenar::CommandRequest r,
               const std::string& device = "9600");
