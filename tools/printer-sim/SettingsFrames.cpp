// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFrames.h"

#include <cstdio>

#include "Hex.h"
#include "RawDecoder.h"
#include "shared/Frame.h"
#include "shared/RateCodes.h"

namespace plenar::sim {

namespace {

using Outcome = SettingResult::Outcome;

SettingResult stored(std::string meaning) {
  return {Outcome::Stored, std::move(meaning)};
}
SettingResult refused(std::string why) {
  return {Outcome::Refused, "refused: " + why};
}

std::string fmt(const char* format, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

// A text area: its bytes up to the first zero (a text that fills its area has none).
std::string textArea(std::span<const std::uint8_t> area) {
  std::size_t n = 0;
  while (n < area.size() && area[n] != 0) ++n;
  return std::string(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(n));
}

std::string utf8(const std::string& gbk) {
  return printerTextToUtf8(
      std::span(reinterpret_cast<const std::uint8_t*>(gbk.data()), gbk.size()));
}

std::string dotted(const std::array<std::uint8_t, 4>& a) {
  return fmt("%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
}

SettingResult lengthWrong(std::span<const std::uint8_t> data, std::size_t expected) {
  return refused(fmt("%zu data bytes, %zu expected", data.size(), expected));
}

SettingResult baudRate(PrinterState& st, std::span<const std::uint8_t> d) {
  if (d.size() != 1) return lengthWrong(d, 1);
  auto rate = codeToRate(d[0]);
  if (!rate) return refused(fmt("undefined rate code %u", d[0]));
  st.settings.baudCode = d[0];
  st.changed();
  return stored(fmt("baud rate %d (code %u)", *rate, d[0]));
}

SettingResult switchOptions(PrinterState& st, std::span<const std::uint8_t> d) {
  if (d.size() != 2) return lengthWrong(d, 2);
  if (d[1] > 1) return refused(fmt("feed character code %u", d[1]));
  st.settings.switchByte = d[0];
  st.settings.feedChar = d[1];
  st.changed();
  return stored(fmt("switch byte %02x, feed character %s", d[0], d[1] ? "CR" : "LF"));
}

SettingResult bluetooth(PrinterState& st, std::span<const std::uint8_t> d) {
  if (d.size() != 56) return lengthWrong(d, 56);
  if (d[0] != 0 && d[0] != 1 && d[0] != 3) return refused(fmt("Bluetooth mode %u", d[0]));
  if (d[54] > 2) return refused(fmt("password check %u", d[54]));
  auto& b = st.settings.bluetooth;
  b.mode = d[0];
  b.name = textArea(d.subspan(1, 20));
  b.password = textArea(d.subspan(21, 13));
  b.dualName = textArea(d.subspan(34, 20));
  b.passwordCheck = d[54];
  b.model = d[55];
  st.changed();
  return stored(fmt("Bluetooth mode %d, name \"", b.mode) + utf8(b.name) + "\", dual-mode name \"" +
                utf8(b.dualName) +
                fmt("\", password check %d, model %d", b.passwordCheck, b.model));
}

SettingResult infrared(PrinterState& st, std::span<const std::uint8_t> d) {
  if (d.size() != 3) return lengthWrong(d, 3);
  if (d[0] > 4 || d[1] > 1 || d[2] > 1) return refused("infrared value out of range");
  st.settings.infraredBaudCode = d[0];
  st.settings.infraredEnabled = d[1] == 1;
  st.settings.infraredProtocol = d[2];
  st.changed();
  return stored(fmt("infrared rate code %u, %s, %s", d[0], d[1] ? "enabled" : "disabled",
                    d[2] ? "IrDA" : "raw"));
}

SettingResult device(PrinterState& st, std::span<const std::uint8_t> d) {
  if (d.size() != 40) return lengthWrong(d, 40);
  st.settings.deviceName = textArea(d.subspan(0, 20));
  st.settings.serialNumber = textArea(d.subspan(20, 20));
  st.changed();
  return stored("device name \"" + utf8(st.settings.deviceName) + "\", serial number \"" +
                utf8(st.settings.serialNumber) + "\"");
}

SettingResult times(PrinterState& st, std::span<const std::uint8_t> d) {
  if (d.size() != 8) return lengthWrong(d, 8);
  st.settings.sleepTime = getLe32(&d[0]);
  st.settings.powerOffTime = getLe32(&d[4]);
  st.changed();
  return stored(
      fmt("sleep time %u s, power-off time %u s", st.settings.sleepTime, st.settings.powerOffTime));
}

SettingResult allParameters(PrinterState& st, std::span<const std::uint8_t> d) {
  if (d.size() != 12) return lengthWrong(d, 12);
  if (!codeToRate(d[1])) return refused(fmt("undefined rate code %u", d[1]));
  if (d[3] > 1) return refused(fmt("feed character code %u", d[3]));
  auto& s = st.settings;
  s.codePage = d[0];
  s.baudCode = d[1];
  s.switchByte = d[2];
  s.feedChar = d[3];
  s.sleepTime = getLe32(&d[4]);
  s.powerOffTime = getLe32(&d[8]);
  st.changed();
  return stored(fmt(
      "all parameters: code page %d, rate code %d, switch byte %02x, feed %s, "
      "sleep %u s, power-off %u s",
      s.codePage, s.baudCode, s.switchByte, s.feedChar ? "CR" : "LF", s.sleepTime, s.powerOffTime));
}

// L1, L1 bytes, L2, L2 bytes: the two counted texts of both Wi-Fi layouts.
bool countedTexts(std::span<const std::uint8_t> d, std::string& first, std::string& second,
                  std::size_t& end) {
  if (d.empty() || d[0] > 32 || d.size() < 1u + d[0] + 1u) return false;
  std::size_t l1 = d[0];
  std::size_t l2 = d[1 + l1];
  if (l2 > 32 || d.size() < l1 + l2 + 2) return false;
  first.assign(d.begin() + 1, d.begin() + 1 + static_cast<std::ptrdiff_t>(l1));
  second.assign(d.begin() + 2 + static_cast<std::ptrdiff_t>(l1),
                d.begin() + 2 + static_cast<std::ptrdiff_t>(l1 + l2));
  end = l1 + l2 + 2;
  return true;
}

SettingResult wifiAccessPoint(PrinterState& st, std::span<const std::uint8_t> d) {
  std::string name, password;
  std::size_t end = 0;
  if (!countedTexts(d, name, password, end) || end != d.size()) {
    return refused("access-point data does not match its length bytes");
  }
  auto& w = st.settings.wifi;
  w.mode = "ap";
  w.apName = name;
  w.apPassword = password;
  st.changed();
  return stored("Wi-Fi access point \"" + utf8(name) + "\"");
}

SettingResult wifiStation(PrinterState& st, std::span<const std::uint8_t> d) {
  std::string ssid, password;
  std::size_t n = 0;
  if (!countedTexts(d, ssid, password, n))
    return refused("station data does not match its length bytes");
  auto& w = st.settings.wifi;
  if (d.size() == n) {
    w.addressMode = -1;
  } else if (d.size() == n + 15) {
    if (d[n + 14] > 1) return refused(fmt("address mode %u", d[n + 14]));
    std::copy_n(&d[n], 4, w.ip.begin());
    std::copy_n(&d[n + 4], 4, w.mask.begin());
    std::copy_n(&d[n + 8], 4, w.gateway.begin());
    w.port = getLe16(&d[n + 12]);
    w.addressMode = d[n + 14];
  } else {
    return refused(fmt("station data of %zu bytes, %zu or %zu expected", d.size(), n, n + 15));
  }
  w.mode = "station";
  w.ssid = ssid;
  w.password = password;
  st.changed();
  std::string meaning = "Wi-Fi station \"" + utf8(ssid) + "\"";
  if (w.addressMode == 1) {
    meaning += ", static " + dotted(w.ip) + " mask " + dotted(w.mask) + " gateway " +
               dotted(w.gateway) + fmt(" port %d", w.port);
  } else if (w.addressMode == 0) {
    meaning += fmt(", dynamic address, port %d", w.port);
  }
  return stored(meaning);
}

SettingResult oneByte(PrinterState& st, std::span<const std::uint8_t> d, int maxValue, int& field,
                      const char* what) {
  if (d.size() != 1) return lengthWrong(d, 1);
  if (d[0] > maxValue) return refused(fmt("%s value %u", what, d[0]));
  field = d[0];
  st.changed();
  return stored(fmt("%s %u", what, d[0]));
}

}  // namespace

SettingResult applySettingFrame(PrinterState& st, std::uint16_t command,
                                std::span<const std::uint8_t> d) {
  auto& s = st.settings;
  switch (command) {
    case 0x79:
      st.restoreDefaults();
      return stored("restore default parameters");
    case 0x80:
      if (d.size() != 1) return lengthWrong(d, 1);
      s.codePage = d[0];
      st.changed();
      return stored(fmt("code page %u", d[0]));
    case 0x81:
      return baudRate(st, d);
    case 0x82:
      return switchOptions(st, d);
    case 0x83:
      return bluetooth(st, d);
    case 0x84:
      return infrared(st, d);
    case 0x85:
      return device(st, d);
    case 0x86:
      return times(st, d);
    case 0x87: {
      std::string line(d.begin(), d.end());
      s.bluetooth.moduleCommands.push_back(line);
      st.changed();
      return stored("Bluetooth module command \"" + utf8(line) + "\"");
    }
    case 0x88:
      return allParameters(st, d);
    case 0x89:
      return wifiAccessPoint(st, d);
    case 0x8A:
      return wifiStation(st, d);
    case 0x8B:
      if (!d.empty()) return lengthWrong(d, 0);
      s.wifi.mode = "off";
      st.changed();
      return stored("Wi-Fi off");
    case 0x8C:
      if (d.size() == 1 && d[0] == 0) return refused("retraction time 0");
      return oneByte(st, d, 255, s.retractionTime, "receipt retraction time");
    case 0x8D:
      return oneByte(st, d, 1, s.flowControl, "flow control");
    case 0x90:
      return oneByte(st, d, 2, s.printSize, "print size");
    case 0x91: {
      int on = 0;
      auto r = oneByte(st, d, 1, on, "Ethernet port open");
      if (r.outcome == Outcome::Stored) s.ethernet.enabled = on == 1;
      return r;
    }
    default:
      return {};
  }
}

SettingResult refuseSettingFrame(std::uint16_t command) {
  if (command < 0x79 || command > 0x91) return {};
  return refused(fmt("command 0x%02x: this printer takes no settings", command));
}

}  // namespace plenar::sim
