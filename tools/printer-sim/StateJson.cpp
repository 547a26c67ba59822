// SPDX-License-Identifier: GPL-3.0-or-later
#include "StateJson.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "Hex.h"
#include "RawDecoder.h"
#include "platform/Gbk.h"
#include "platform/SafeFiles.h"

namespace plenar::sim {

namespace {

using Json = nlohmann::json;

// What a state file lacks, or holds in another type, reads as the default, as it always did.
const Json& member(const Json& o, const char* key) {
  static const Json none;
  if (!o.is_object()) return none;
  const auto it = o.find(key);
  return it == o.end() ? none : *it;
}
const Json& object(const Json& v) {
  static const Json empty = Json::object();
  return v.is_object() ? v : empty;
}
const Json& array(const Json& v) {
  static const Json empty = Json::array();
  return v.is_array() ? v : empty;
}
std::string text(const Json& v) {
  return v.is_string() ? v.get<std::string>() : std::string();
}
double number(const Json& v) {
  return v.is_number() ? v.get<double>() : 0.0;
}
bool flag(const Json& v, bool def) {
  return v.is_boolean() ? v.get<bool>() : def;
}

std::string utf8(const std::string& gbk) {
  return printerTextToUtf8(
      std::span(reinterpret_cast<const std::uint8_t*>(gbk.data()), gbk.size()));
}
std::string gbk(const Json& v, const std::string& def) {
  return v.is_string() ? utf8ToGbk(v.get<std::string>()) : def;
}
std::string dotted(const std::array<std::uint8_t, 4>& a) {
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
         std::to_string(a[3]);
}
std::array<std::uint8_t, 4> parseDotted(const Json& v, std::array<std::uint8_t, 4> def) {
  const std::string s = text(v);
  std::array<std::uint8_t, 4> out{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t end = i < 3 ? s.find('.', at) : s.size();
    if (end == std::string::npos || end == at || end - at > 3) return def;
    int n = 0;
    for (std::size_t k = at; k < end; ++k) {
      if (s[k] < '0' || s[k] > '9') return def;
      n = n * 10 + (s[k] - '0');
    }
    if (n > 255) return def;
    out[i] = static_cast<std::uint8_t>(n);
    at = end + 1;
  }
  return out;
}
std::string hex(std::span<const std::uint8_t> b) {
  return toHex(b);
}
std::vector<std::uint8_t> unhex(const Json& v) {
  return fromHex(text(v)).value_or(std::vector<std::uint8_t>{});
}
// A whole number that fits an int; anything else gives the default.
int integer(const Json& o, const char* key, int def) {
  const Json& v = member(o, key);
  if (!v.is_number()) return def;
  const double d = v.get<double>();
  if (d != std::floor(d) || d < INT32_MIN || d > INT32_MAX) return def;
  return static_cast<int>(d);
}
std::uint32_t unsigned32(const Json& o, const char* key, std::uint32_t def) {
  const Json& v = member(o, key);
  if (!v.is_number()) return def;
  const double d = v.get<double>();
  if (!(d >= 0) || d > UINT32_MAX) return def;
  return static_cast<std::uint32_t>(d);
}

Json settingsToJson(const PrinterSettings& s) {
  Json o = Json::object();
  o["codePage"] = s.codePage;
  o["baudCode"] = s.baudCode;
  o["switchByte"] = s.switchByte;
  o["feedChar"] = s.feedChar;
  Json bt = Json::object();
  bt["mode"] = s.bluetooth.mode;
  bt["name"] = utf8(s.bluetooth.name);
  bt["password"] = utf8(s.bluetooth.password);
  bt["dualName"] = utf8(s.bluetooth.dualName);
  bt["passwordCheck"] = s.bluetooth.passwordCheck;
  bt["model"] = s.bluetooth.model;
  bt["hidden"] = s.bluetooth.hidden;
  Json cmds = Json::array();
  for (const auto& c : s.bluetooth.moduleCommands) cmds.push_back(utf8(c));
  bt["moduleCommands"] = cmds;
  o["bluetooth"] = bt;
  Json ir = Json::object();
  ir["baudCode"] = s.infraredBaudCode;
  ir["enabled"] = s.infraredEnabled;
  ir["protocol"] = s.infraredProtocol;
  o["infrared"] = ir;
  o["deviceName"] = utf8(s.deviceName);
  o["serialNumber"] = utf8(s.serialNumber);
  o["sleepTime"] = s.sleepTime;
  o["powerOffTime"] = s.powerOffTime;
  Json w = Json::object();
  w["mode"] = s.wifi.mode;
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
  Json e = Json::object();
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
  Json bm = Json::object();
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

void settingsFromJson(const Json& o, PrinterSettings& s) {
  s.codePage = integer(o, "codePage", s.codePage);
  s.baudCode = integer(o, "baudCode", s.baudCode);
  s.switchByte = integer(o, "switchByte", s.switchByte);
  s.feedChar = integer(o, "feedChar", s.feedChar);
  const Json& bt = object(member(o, "bluetooth"));
  s.bluetooth.mode = integer(bt, "mode", s.bluetooth.mode);
  s.bluetooth.name = gbk(member(bt, "name"), s.bluetooth.name);
  s.bluetooth.password = gbk(member(bt, "password"), s.bluetooth.password);
  s.bluetooth.dualName = gbk(member(bt, "dualName"), s.bluetooth.dualName);
  s.bluetooth.passwordCheck = integer(bt, "passwordCheck", s.bluetooth.passwordCheck);
  s.bluetooth.model = integer(bt, "model", s.bluetooth.model);
  s.bluetooth.hidden = flag(member(bt, "hidden"), s.bluetooth.hidden);
  for (const auto& c : array(member(bt, "moduleCommands"))) {
    s.bluetooth.moduleCommands.push_back(gbk(c, {}));
  }
  const Json& ir = object(member(o, "infrared"));
  s.infraredBaudCode = integer(ir, "baudCode", s.infraredBaudCode);
  s.infraredEnabled = flag(member(ir, "enabled"), s.infraredEnabled);
  s.infraredProtocol = integer(ir, "protocol", s.infraredProtocol);
  s.deviceName = gbk(member(o, "deviceName"), s.deviceName);
  s.serialNumber = gbk(member(o, "serialNumber"), s.serialNumber);
  s.sleepTime = unsigned32(o, "sleepTime", s.sleepTime);
  s.powerOffTime = unsigned32(o, "powerOffTime", s.powerOffTime);
  const Json& w = object(member(o, "wifi"));
  if (member(w, "mode").is_string()) s.wifi.mode = text(member(w, "mode"));
  s.wifi.apName = gbk(member(w, "apName"), s.wifi.apName);
  s.wifi.apPassword = gbk(member(w, "apPassword"), s.wifi.apPassword);
  s.wifi.ssid = gbk(member(w, "ssid"), s.wifi.ssid);
  s.wifi.password = gbk(member(w, "password"), s.wifi.password);
  s.wifi.ip = parseDotted(member(w, "ip"), s.wifi.ip);
  s.wifi.mask = parseDotted(member(w, "mask"), s.wifi.mask);
  s.wifi.gateway = parseDotted(member(w, "gateway"), s.wifi.gateway);
  s.wifi.port = integer(w, "port", s.wifi.port);
  s.wifi.addressMode = integer(w, "addressMode", s.wifi.addressMode);
  s.retractionTime = integer(o, "retractionTime", s.retractionTime);
  s.flowControl = integer(o, "flowControl", s.flowControl);
  s.printSize = integer(o, "printSize", s.printSize);
  const Json& e = object(member(o, "ethernet"));
  s.ethernet.enabled = flag(member(e, "enabled"), s.ethernet.enabled);
  s.ethernet.ip = parseDotted(member(e, "ip"), s.ethernet.ip);
  s.ethernet.mask = parseDotted(member(e, "mask"), s.ethernet.mask);
  s.ethernet.gateway = parseDotted(member(e, "gateway"), s.ethernet.gateway);
  s.ethernet.port = integer(e, "port", s.ethernet.port);
  auto mac = unhex(member(e, "mac"));
  if (mac.size() == 4) std::copy(mac.begin(), mac.end(), s.ethernet.mac.begin());
  s.ethernet.ipExtra = static_cast<std::uint8_t>(integer(e, "ipExtra", s.ethernet.ipExtra));
  s.ethernet.maskExtra = static_cast<std::uint8_t>(integer(e, "maskExtra", s.ethernet.maskExtra));
  s.ethernet.macExtra = static_cast<std::uint8_t>(integer(e, "macExtra", s.ethernet.macExtra));
  const Json& bm = object(member(o, "blackMark"));
  s.blackMark = flag(member(bm, "enabled"), s.blackMark);
  s.blackMarkDistance = integer(bm, "searchDistance", s.blackMarkDistance);
  s.blackMarkWidth = integer(bm, "width", s.blackMarkWidth);
  s.cutterFeed = integer(bm, "cutterFeed", s.cutterFeed);
  s.usbType = integer(o, "usbType", s.usbType);
  s.paperType = integer(o, "paperType", s.paperType);
  s.printOrder = integer(o, "printOrder", s.printOrder);
}

}  // namespace

Json stateToJson(const PrinterState& st) {
  Json o = Json::object();
  o["modelTag"] = st.modelTag;
  o["settings"] = settingsToJson(st.settings);
  o["defaultsRestored"] = st.defaultsRestored;
  Json memory = Json::array();
  for (const auto& r : st.memory.writtenRanges()) {
    Json m = Json::object();
    m["address"] = r.address;
    m["length"] = r.bytes.size();
    m["hex"] = hex(r.bytes);
    memory.push_back(m);
  }
  o["memory"] = memory;
  Json logos = Json::object();
  logos["count"] = static_cast<int>(st.logos.size());
  Json images = Json::array();
  for (const auto& l : st.logos) {
    Json i = Json::object();
    i["widthBytes"] = l.widthBytes;
    i["heightBytes"] = l.heightBytes;
    i["raster"] = hex(l.raster);
    images.push_back(i);
  }
  logos["images"] = images;
  o["nvLogos"] = logos;
  Json fw = Json::object();
  fw["size"] = st.firmware.size;
  fw["sha256"] = st.firmware.sha256;
  fw["tag"] = st.modelTag;
  fw["updates"] = st.firmware.updates;
  if (!st.firmware.image.empty() && st.firmware.image.size() <= kFirmwareHexLimit) {
    fw["hex"] = hex(st.firmware.image);
  }
  o["firmware"] = fw;
  Json journal = Json::array();
  for (const auto& j : st.journal) {
    Json e = Json::object();
    e["kind"] = j.kind;
    e["text"] = j.text;
    journal.push_back(e);
  }
  o["journal"] = journal;
  return o;
}

void stateFromJson(const Json& o, PrinterState& st) {
  if (member(o, "modelTag").is_string()) st.modelTag = text(member(o, "modelTag"));
  settingsFromJson(object(member(o, "settings")), st.settings);
  st.defaultsRestored = integer(o, "defaultsRestored", st.defaultsRestored);
  for (const auto& v : array(member(o, "memory"))) {
    const Json& m = object(v);
    auto bytes = unhex(member(m, "hex"));
    st.memory.write(static_cast<std::uint32_t>(number(member(m, "address"))), bytes);
  }
  const Json& logos = object(member(o, "nvLogos"));
  if (logos.contains("images")) {
    st.logos.clear();
    for (const auto& v : array(member(logos, "images"))) {
      const Json& i = object(v);
      NvLogo l;
      l.widthBytes = integer(i, "widthBytes", 0);
      l.heightBytes = integer(i, "heightBytes", 0);
      l.raster = unhex(member(i, "raster"));
      st.logos.push_back(std::move(l));
    }
  }
  const Json& fw = object(member(o, "firmware"));
  st.firmware.size = static_cast<std::uint64_t>(number(member(fw, "size")));
  st.firmware.sha256 = text(member(fw, "sha256"));
  st.firmware.updates = integer(fw, "updates", 0);
  st.firmware.image = unhex(member(fw, "hex"));
  for (const auto& v : array(member(o, "journal"))) {
    const Json& e = object(v);
    st.journal.push_back({text(member(e, "kind")), text(member(e, "text"))});
  }
}

bool saveStateFile(const std::string& path, const PrinterState& state) {
  // A temporary file beside the target, renamed over it: a reader sees either the old or the new
  // file, never a part of one. The simulated printer's passwords are in it: owner only.
  const std::string bytes =
      stateToJson(state).dump(4, ' ', false, Json::error_handler_t::replace) + "\n";
  return replaceFileAtomically(path, bytes, 0600);
}

bool loadStateFile(const std::string& path, PrinterState& state) {
  std::string bytes;
  try {
    bytes = readInputFile(path, kMaxStateFileBytes);
  } catch (const InputFileError&) {
    return false;
  }
  const Json doc = Json::parse(bytes, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return false;
  stateFromJson(doc, state);
  return true;
}

}  // namespace plenar::sim
