// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recorder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <span>

#include "Hex.h"

namespace plenar::sim {

Recorder::~Recorder() {
  if (file_) std::fclose(file_);
}

bool Recorder::open(const std::string& path) {
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void Recorder::write(const Record& r) {
  if (capture_) captured_.push_back(r);
  if (!file_) return;
  QJsonObject o;
  // Milliseconds since the start, to the microsecond: a benchmark times the cycles of a
  // transfer from them.
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
  o["time"] = static_cast<double>(us) / 1000.0;
  o["link"] = QString::fromStdString(r.link);
  if (r.rate > 0) o["rate"] = r.rate;
  o["kind"] = QString::fromStdString(r.kind);
  if (r.command) {
    o["command"] = *r.command;
    o["value1"] = static_cast<double>(r.value1);
    o["value2"] = static_cast<double>(r.value2);
  }
  std::span<const std::uint8_t> data(r.data);
  o["length"] = static_cast<double>(data.size());
  if (data.size() > kMaxDataInRecord) {
    data = data.first(kMaxDataInRecord);
    o["truncated"] = true;
  }
  o["data"] = QString::fromStdString(toHex(data));
  o["meaning"] = QString::fromStdString(r.meaning);
  if (r.reply) o["reply"] = QString::fromStdString(toHex(*r.reply));
  if (!r.peer.empty()) o["peer"] = QString::fromStdString(r.peer);
  QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact);
  line.append('\n');
  std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), file_);
  std::fflush(file_);
}

}  // namespace plenar::sim
