// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "SimProcess.h"

namespace plenar::test {

using Bytes = std::vector<std::uint8_t>;

// One frame the simulator received.
struct SeenFrame {
  int command = 0;
  std::uint32_t value1 = 0;
  std::uint32_t value2 = 0;
  Bytes data;
  bool answered = false;
};

enum class Over { Serial, Udp };
// The simulator on one link with extra options.
SimProcess::Options simOptions(std::vector<std::string> extraArgs, Over over = Over::Serial);

std::vector<SeenFrame> framesSeen(const SimProcess& sim, int command = -1);
// Records of one kind ("boot", "sequence", ...).
std::vector<QJsonObject> recordsOfKind(const SimProcess& sim, const std::string& kind);

// The simulator's memory from `address` on, `length` bytes, as its state file holds it (bytes
// never written read as erased flash, 0xFF). Waits (bounded) until the state has caught up with
// `expectWritten` bytes in that range, since block writes are saved in bursts.
Bytes simMemory(const SimProcess& sim, std::uint32_t address, std::size_t length,
                std::size_t expectWritten = 0);

Bytes patternBytes(std::size_t size, std::uint8_t seed = 1);
Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);
Bytes fromHex(const QString& hex);

// Collects what the worker shows in the parameter window's status panel.
class PanelTexts {
 public:
  explicit PanelTexts(TCommThread& worker);
  ~PanelTexts();
  std::vector<std::string> texts();

 private:
  TCommThread& worker_;
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

// The last message of a run: 1026 done, 1027 failed.
const EngineHarness::Message& lastMessage(const std::vector<EngineHarness::Message>& msgs);

}  // namespace plenar::test
