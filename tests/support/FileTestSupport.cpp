// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <fstream>
#include <iterator>

namespace plenar::test {

SimProcess::Options simOptions(std::vector<std::string> extraArgs, Over over) {
  SimProcess::Options o;
  o.serial = over == Over::Serial;
  o.udp = over == Over::Udp;
  o.extraArgs = std::move(extraArgs);
  return o;
}

std::vector<SeenFrame> framesSeen(const SimProcess& sim, int command) {
  std::vector<SeenFrame> out;
  for (const auto& r : sim.records()) {
    if (r.value("kind").toString() != "frame") continue;
    int c = r.value("command").toInt();
    if (command >= 0 && c != command) continue;
    out.push_back({c, static_cast<std::uint32_t>(r.value("value1").toDouble()),
                   static_cast<std::uint32_t>(r.value("value2").toDouble()),
                   fromHex(r.value("data").toString()), r.contains("reply")});
  }
  return out;
}

std::vector<QJsonObject> recordsOfKind(const SimProcess& sim, const std::string& kind) {
  std::vector<QJsonObject> out;
  for (const auto& r : sim.records()) {
    if (r.value("kind").toString().toStdString() == kind) out.push_back(r);
  }
  return out;
}

namespace {

std::size_t writtenIn(const QJsonObject& state, std::uint32_t address, std::size_t length,
                      Bytes* image) {
  std::size_t written = 0;
  for (const auto& v : state.value("memory").toArray()) {
    const QJsonObject m = v.toObject();
    auto start = static_cast<std::uint64_t>(m.value("address").toDouble());
    Bytes bytes = fromHex(m.value("hex").toString());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      std::uint64_t a = start + i;
      if (a < address || a >= std::uint64_t{address} + length) continue;
      if (image) (*image)[a - address] = bytes[i];
      ++written;
    }
  }
  return written;
}

}  // namespace

Bytes simMemory(const SimProcess& sim, std::uint32_t address, std::size_t length,
                std::size_t expectWritten) {
  QJsonObject state = sim.waitForState([&](const QJsonObject& s) {
    return writtenIn(s, address, length, nullptr) >= expectWritten;
  });
  Bytes image(length, 0xFF);
  writtenIn(state, address, length, &image);
  return image;
}

Bytes patternBytes(std::size_t size, std::uint8_t seed) {
  Bytes out(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : out) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return out;
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes fromHex(const QString& hex) {
  QByteArray raw = QByteArray::fromHex(hex.toLatin1());
  return Bytes(raw.begin(), raw.end());
}

PanelTexts::PanelTexts(TCommThread& worker) : worker_(worker) {
  worker.setParaStatusPanel([this](const std::string& text) {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
  });
}

PanelTexts::~PanelTexts() {
  worker_.setParaStatusPanel({});
}

std::vector<std::string> PanelTexts::texts() {
  std::lock_guard lock(mutex_);
  return texts_;
}

const EngineHarness::Message& lastMessage(const std::vector<EngineHarness::Message>& msgs) {
  static const EngineHarness::Message none{0, 0, {}, {}};
  for (auto it = msgs.rbegin(); it != msgs.rend(); ++it) {
    if (it->msg == 1026 || it->msg == 1027) return *it;
  }
  return none;
}

}  // namespace plenar::test
