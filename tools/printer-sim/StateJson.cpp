// SPDX-License-Identifier: GPL-3.0-or-later
#include "StateJson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include "Hex.h"
#include "RawDecoder.h"
#include "platform/Gbk.h"

namespace plenar::sim {

namespace {

QString utf8(const std::string& gbk) {
  return QString::fromStdString(
      printerTextToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(gbk.data()), gbk.size())));
}
std::string gbk(const QJsonValue& v, const std::string& def) {
  return v.isString() ? utf8ToGbk(v.toString().toStdString()) : def;
}
QString dotted(const std::array<std::uint8_t, 4>& a) {
  return QString("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}
std::array<std::uint8_t, 4> parseDotted(const QJsonValue& v, std::array<std::uint8_t, 4> def) {
  const QStringList parts = v.toString().split('.');
  if (parts.size() != 4) return def;
  std::array<std::uint8_t, 4> out{};
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    int n = parts[i].toInt(&ok);
    if (!ok || n < 0 || n > 255) return def;
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n);
  }
  return out;
}
QString hex(std::span<const std::uint8_t> b) {
  return QString::fromStdString(toHex(b));
}
std::vector<std::uint8_t> unhex(const QJsonValue& v) {
  return fromHex(v.toString().toStdString()).value_or(std::vector<std::uint8_t>{});
}
int integer(const QJsonObject& o, const char* key, int def) {
  return o.value(key).isDouble() ? o.value(key).toInt(def) : def;
}
std::uint32_t unsigned32(const QJsonObject& o, const char* key, std::uint32_t def) {
  return o.value(key).isDouble() ? static_cast<std::uint32_t>(o.value(key).toDouble()) : def;
}

QJsonObject settingsToJson(const PrinterSettings& s) {
  QJsonObject o;
  o["codePage"] = s.codePage;
  o["baudCode"] = s.baudCode;
  o["switchByte"] = s.switchByte;
  o["feedChar"] = s.feedChar;
  QJsonObject bt;
  bt["mode"] = s.bluetooth.mode;
  bt["name"] = utf8(s.bluetooth.name);
  bt["password"] = utf8(s.bluetooth.password);
  bt["dualName"] = utf8(s.bluetooth.dualName);
  bt["passwordCheck"] = s.bluetooth.passwordCheck;
  bt["model"] = s.bluetooth.model;
  bt["hidden"] = s.bluetooth.hidden;
  QJsonArray cmds;
  for (const auto& c : s.bluetooth.moduleCommands) cmds.append(utf8(c));
  bt["moduleCommands"] = cmds;
  o["bluetooth"] = bt;
  QJsonObject ir;
  ir["baudCode"] = s.infraredBaudCode;
  ir["enabled"] = s.infraredEnabled;
  ir["protocol"] = s.infraredProtocol;
  o["infrared"] = ir;
  o["deviceName"] = utf8(s.deviceName);
  o["serialNumber"] = utf8(s.serialNumber);
  o["sleepTime"] = static_cast<double>(s.sleepTime);
  o["powerOffTime"] = static_cast<double>(s.powerOffTime);
  QJsonObject w;
  w["mode"] = QString::fromStdString(s.wifi.mode);
  w["apName"] = utf8(s.wifi.apName);
  w["apPassword"] = utf8(s.wifi.apPassword);
  w["ssid"] = utf8(s.wifi.ssid);
  w["password"] = utf8(s.wifi.password);
  w["ip"] = dotted(s.wifi.ip);
  w["mask"] = dotted(s.wifi.mask);
  w["gateway"] = dotted(s.wifi.gateway);
  w["port"] = s.wifi.port;
  w["addressMode"] = s.wifi.addressMode;
  o["wifi"] = w;
  o["retractionTime"] = s.retractionTime;
  o["flowControl"] = s.flowControl;
  o["printSize"] = s.printSize;
  QJsonObject e;
  e["enabled"] = s.ethernet.enabled;
  e["ip"] = dotted(s.ethernet.ip);
  e["mask"] = dotted(s.ethernet.mask);
  e["gateway"] = dotted(s.ethernet.gateway);
  e["port"] = s.ethernet.port;
  e["mac"] = hex(s.ethernet.mac);
  e["ipExtra"] = s.ethernet.ipExtra;
  e["maskExtra"] = s.ethernet.maskExtra;
  e["macExtra"] = s.ethernet.macExtra;
  o["ethernet"] = e;
  QJsonObject bm;
  bm["enabled"] = s.blackMark;
  bm["searchDistance"] = s.blackMarkDistance;
  bm["width"] = s.blackMarkWidth;
  bm["cutterFeed"] = s.cutterFeed;
  o["blackMark"] = bm;
  o["usbType"] = s.usbType;
  o["paperType"] = s.paperType;
  o["printOrder"] = s.printOrder;
  return o;
}

void settingsFromJson(const QJsonObject& o, PrinterSettings& s) {
  s.codePage = integer(o, "codePage", s.codePage);
  s.baudCode = integer(o, "baudCode", s.baudCode);
  s.switchByte = integer(o, "switchByte", s.switchByte);
  s.feedChar = integer(o, "feedChar", s.feedChar);
  const QJsonObject bt = o.value("bluetooth").toObject();
  s.bluetooth.mode = integer(bt, "mode", s.bluetooth.mode);
  s.bluetooth.name = gbk(bt.value("name"), s.bluetooth.name);
  s.bluetooth.password = gbk(bt.value("password"), s.bluetooth.password);
  s.bluetooth.dualName = gbk(bt.value("dualName"), s.bluetooth.dualName);
  s.bluetooth.passwordCheck = integer(bt, "passwordCheck", s.bluetooth.passwordCheck);
  s.bluetooth.model = integer(bt, "model", s.bluetooth.model);
  s.bluetooth.hidden = bt.value("hidden").toBool(s.bluetooth.hidden);
  for (const auto& c : bt.value("moduleCommands").toArray()) {
    s.bluetooth.moduleCommands.push_back(gbk(c, {}));
  }
  const QJsonObject ir = o.value("infrared").toObject();
  s.infraredBaudCode = integer(ir, "baudCode", s.infraredBaudCode);
  s.infraredEnabled = ir.value("enabled").toBool(s.infraredEnabled);
  s.infraredProtocol = integer(ir, "protocol", s.infraredProtocol);
  s.deviceName = gbk(o.value("deviceName"), s.deviceName);
  s.serialNumber = gbk(o.value("serialNumber"), s.serialNumber);
  s.sleepTime = unsigned32(o, "sleepTime", s.sleepTime);
  s.powerOffTime = unsigned32(o, "powerOffTime", s.powerOffTime);
  const QJsonObject w = o.value("wifi").toObject();
  if (w.value("mode").isString()) s.wifi.mode = w.value("mode").toString().toStdString();
  s.wifi.apName = gbk(w.value("apName"), s.wifi.apName);
  s.wifi.apPassword = gbk(w.value("apPassword"), s.wifi.apPassword);
  s.wifi.ssid = gbk(w.value("ssid"), s.wifi.ssid);
  s.wifi.password = gbk(w.value("password"), s.wifi.password);
  s.wifi.ip = parseDotted(w.value("ip"), s.wifi.ip);
  s.wifi.mask = parseDotted(w.value("mask"), s.wifi.mask);
  s.wifi.gateway = parseDotted(w.value("gateway"), s.wifi.gateway);
  s.wifi.port = integer(w, "port", s.wifi.port);
  s.wifi.addressMode = integer(w, "addressMode", s.wifi.addressMode);
  s.retractionTime = integer(o, "retractionTime", s.retractionTime);
  s.flowControl = integer(o, "flowControl", s.flowControl);
  s.printSize = integer(o, "printSize", s.printSize);
  const QJsonObject e = o.value("ethernet").toObject();
  s.ethernet.enabled = e.value("enabled").toBool(s.ethernet.enabled);
  s.ethernet.ip = parseDotted(e.value("ip"), s.ethernet.ip);
  s.ethernet.mask = parseDotted(e.value("mask"), s.ethernet.mask);
  s.ethernet.gateway = parseDotted(e.value("gateway"), s.ethernet.gateway);
  s.ethernet.port = integer(e, "port", s.ethernet.port);
  auto mac = unhex(e.value("mac"));
  if (mac.size() == 4) std::copy(mac.begin(), mac.end(), s.ethernet.mac.begin());
  s.ethernet.ipExtra = static_cast<std::uint8_t>(integer(e, "ipExtra", s.ethernet.ipExtra));
  s.ethernet.maskExtra = static_cast<std::uint8_t>(integer(e, "maskExtra", s.ethernet.maskExtra));
  s.ethernet.macExtra = static_cast<std::uint8_t>(integer(e, "macExtra", s.ethernet.macExtra));
  const QJsonObject bm = o.value("blackMark").toObject();
  s.blackMark = bm.value("enabled").toBool(s.blackMark);
  s.blackMarkDistance = integer(bm, "searchDistance", s.blackMarkDistance);
  s.blackMarkWidth = integer(bm, "width", s.blackMarkWidth);
  s.cutterFeed = integer(bm, "cutterFeed", s.cutterFeed);
  s.usbType = integer(o, "usbType", s.usbType);
  s.paperType = integer(o, "paperType", s.paperType);
  s.printOrder = integer(o, "printOrder", s.printOrder);
}

}  // namespace

QJsonObject stateToJson(const PrinterState& st) {
  QJsonObject o;
  o["modelTag"] = QString::fromStdString(st.modelTag);
  o["settings"] = settingsToJson(st.settings);
  o["defaultsRestored"] = st.defaultsRestored;
  QJsonArray memory;
  for (const auto& r : st.memory.writtenRanges()) {
    QJsonObject m;
    m["address"] = static_cast<double>(r.address);
    m["length"] = static_cast<double>(r.bytes.size());
    m["hex"] = hex(r.bytes);
    memory.append(m);
  }
  o["memory"] = memory;
  QJsonObject logos;
  logos["count"] = static_cast<int>(st.logos.size());
  QJsonArray images;
  for (const auto& l : st.logos) {
    QJsonObject i;
    i["widthBytes"] = l.widthBytes;
    i["heightBytes"] = l.heightBytes;
    i["raster"] = hex(l.raster);
    images.append(i);
  }
  logos["images"] = images;
  o["nvLogos"] = logos;
  QJsonObject fw;
  fw["size"] = static_cast<double>(st.firmware.size);
  fw["sha256"] = QString::fromStdString(st.firmware.sha256);
  fw["tag"] = QString::fromStdString(st.modelTag);
  fw["updates"] = st.firmware.updates;
  if (!st.firmware.image.empty() && st.firmware.image.size() <= kFirmwareHexLimit) {
    fw["hex"] = hex(st.firmware.image);
  }
  o["firmware"] = fw;
  QJsonArray journal;
  for (const auto& j : st.journal) {
    QJsonObject e;
    e["kind"] = QString::fromStdString(j.kind);
    e["text"] = QString::fromStdString(j.text);
    journal.append(e);
  }
  o["journal"] = journal;
  return o;
}

void stateFromJson(const QJsonObject& o, PrinterState& st) {
  if (o.value("modelTag").isString()) st.modelTag = o.value("modelTag").toString().toStdString();
  settingsFromJson(o.value("settings").toObject(), st.settings);
  st.defaultsRestored = integer(o, "defaultsRestored", st.defaultsRestored);
  for (const auto& v : o.value("memory").toArray()) {
    const QJsonObject m = v.toObject();
    auto bytes = unhex(m.value("hex"));
    st.memory.write(static_cast<std::uint32_t>(m.value("address").toDouble()), bytes);
  }
  const QJsonObject logos = o.value("nvLogos").toObject();
  if (logos.contains("images")) {
    st.logos.clear();
    for (const auto& v : logos.value("images").toArray()) {
      const QJsonObject i = v.toObject();
      NvLogo l;
      l.widthBytes = integer(i, "widthBytes", 0);
      l.heightBytes = integer(i, "heightBytes", 0);
      l.raster = unhex(i.value("raster"));
      st.logos.push_back(std::move(l));
    }
  }
  const QJsonObject fw = o.value("firmware").toObject();
  st.firmware.size = static_cast<std::uint64_t>(fw.value("size").toDouble());
  st.firmware.sha256 = fw.value("sha256").toString().toStdString();
  st.firmware.updates = integer(fw, "updates", 0);
  st.firmware.image = unhex(fw.value("hex"));
  for (const auto& v : o.value("journal").toArray()) {
    const QJsonObject e = v.toObject();
    st.journal.push_back(
        {e.value("kind").toString().toStdString(), e.value("text").toString().toStdString()});
  }
}

bool saveStateFile(const std::string& path, const PrinterState& state) {
  // QSaveFile writes a temporary file beside the target and renames it over the target on
  // commit, so a reader sees either the old or the new file, never a part of one.
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = QJsonDocument(stateToJson(state)).toJson(QJsonDocument::Indented);
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool loadStateFile(const std::string& path, PrinterState& state) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return false;
  QJsonParseError err{};
  const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &err);
  if (err.error != QJsonParseError::NoError || !doc.isObject()) return false;
  stateFromJson(doc.object(), state);
  return true;
}

}  // namespace plenar::sim
