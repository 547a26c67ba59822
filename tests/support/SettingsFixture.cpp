// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFixture.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <fstream>
#include <sstream>

#include "engine/TCommThread.h"

using plenar::CommandRequest;

Bytes hexBytes(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::vector<Received> received(const plenar::test::SimProcess& sim, bool withLinkFrames) {
  std::vector<Received> out;
  for (const auto& r : sim.records()) {
    Received x;
    x.kind = r.value("kind").toString().toStdString();
    x.link = r.value("link").toString().toStdString();
    if (r.contains("command")) {
      x.command = r.value("command").toInt();
      x.value1 = r.value("value1").toVariant().toLongLong();
    }
    x.data = hexBytes(r.value("data").toString().toStdString());
    if (!withLinkFrames && (x.command == 0x30 || x.command == 0x31)) continue;
    out.push_back(std::move(x));
  }
  return out;
}

Bytes sequenceBytes(const std::vector<Received>& records) {
  Bytes out;
  for (const auto& r : records) {
    if (r.kind == "sequence") out.insert(out.end(), r.data.begin(), r.data.end());
  }
  return out;
}

std::vector<Bytes> sentBlocks(const EngineHarness& h) {
  std::vector<Bytes> blocks;
  std::ifstream in(h.dir().file("debug.log"));
  std::string line;
  bool inBlock = false;
  while (std::getline(in, line)) {
    if (line.rfind("Send ", 0) == 0) {
      blocks.emplace_back();
      inBlock = true;
      continue;
    }
    if (!inBlock || line.rfind("    ", 0) != 0) {
      inBlock = false;
      continue;
    }
    std::istringstream hex(line.substr(0, line.find(';')));
    std::string token;
    while (hex >> token) {
      blocks.back().push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
    }
  }
  return blocks;
}

CommandRequest requestOf(const plenar::BuildResult& result) {
  if (auto* r = std::get_if<CommandRequest>(&result)) return *r;
  ADD_FAILURE() << "the builder made no request";
  return {};
}

QJsonObject settings(const plenar::test::SimProcess& sim) {
  return sim.state().value("settings").toObject();
}

void runSerial(EngineHarness& h, const plenar::test::SimProcess& sim, CommandRequest r,
               const std::string& device) {
  h.run(std::move(r), serialLink(sim.serialPath(), device, "115200"));
}
