// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/WirelessRequests.h"

#include "platform/Gbk.h"
#include "requests/FieldParsing.h"
#include "requests/RequestBlock.h"

namespace plenar {
namespace {

constexpr std::size_t kBluetoothBlockSize = 56;
constexpr std::size_t kNameArea = 20;
constexpr std::size_t kPasswordArea = 13;
constexpr std::size_t kWifiTextArea = 32;

// Places a GBK text at `offset` of a zero-filled block, cut to its area.
void putArea(CommandRequest& r, std::size_t offset, const std::string& utf8, std::size_t area,
             bool secret = false) {
  std::string bytes = gbkField(utf8, area);
  std::copy(bytes.begin(), bytes.end(), r.paraBuf.begin() + static_cast<std::ptrdiff_t>(offset));
  if (secret && !bytes.empty()) r.secrets.push_back(bytes);
}

void appendLengthPrefixed(CommandRequest& r, const std::string& utf8, bool secret = false) {
  std::string bytes = gbkField(utf8, kWifiTextArea);
  appendBytes(r, {static_cast<std::uint8_t>(bytes.size())});
  appendText(r, bytes);
  if (secret && !bytes.empty()) r.secrets.push_back(bytes);
}

}  // namespace

BuildResult buildSetBluetooth(const BluetoothFields& f) {
  if (f.name.empty() && f.dualName.empty()) return NoAction{"no Bluetooth name given"};
  auto model = parseDecimal(f.model);
  if (!model) return refusalOf(conversionError(f.model), "edt_lyType");

  CommandRequest r = makeRequest(kBluetoothCode);
  r.paraBuf.assign(kBluetoothBlockSize, 0);
  switch (f.modeItem) {
    case 1:
      r.paraBuf[0] = 1;
      break;
    case 2:
      r.paraBuf[0] = 3;  // dual-mode is 3 to the printer, not 2
      break;
    default:
      r.paraBuf[0] = 0;
      break;
  }
  struct Text {
    const std::string* text;
    const char* control;
    std::size_t area;
    const char* what;
  };
  const Text texts[] = {{&f.name, "edt_lyName", kNameArea, "The Bluetooth name"},
                        {&f.dualName, "edt_smlyName", kNameArea, "The dual-mode Bluetooth name"},
                        {&f.password, "edt_lyPsw", kPasswordArea, "The Bluetooth PIN"}};
  for (const Text& t : texts) {
    if (auto refusal = gbkRefusal(*t.text, t.control)) return *refusal;
    if (auto refusal = gbkAreaRefusal(*t.text, t.area, t.control, t.what)) return *refusal;
  }
  const std::string& single = f.name.empty() ? f.dualName : f.name;
  const std::string& dual = f.dualName.empty() ? f.name : f.dualName;
  putArea(r, 1, single, kNameArea);
  putArea(r, 21, f.password, kPasswordArea, true);
  putArea(r, 34, dual, kNameArea);
  switch (f.authItem) {
    case 0:
      r.paraBuf[54] = 1;
      break;
    case 1:
      r.paraBuf[54] = 2;
      break;
    default:
      r.paraBuf[54] = 0;
      break;
  }
  r.paraBuf[55] = static_cast<std::uint8_t>(*model & 0xFF);
  return r;
}

BuildResult buildBluetoothCommands(const std::vector<std::string>& lines) {
  CommandRequest r = makeRequest(kBluetoothCommandsCode);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (firstNonGbk(lines[i]) != std::string::npos) {
      return Refusal{"Bluetooth command line " + std::to_string(i + 1) + " " + kNotGbkMessage,
                     "mmo_1", "not-gbk"};
    }
    std::string bytes = utf8ToGbk(lines[i]);
    if (bytes.size() > kMaxModuleCommandBytes) {
      return Refusal{"Bluetooth command line " + std::to_string(i + 1) + " is " +
                         std::to_string(bytes.size()) + " bytes long; a line may have at most " +
                         std::to_string(kMaxModuleCommandBytes) + " bytes",
                     "mmo_1", "too-long"};
    }
    r.paramList.push_back(std::move(bytes));
  }
  return r;
}

BuildResult buildBluetoothWorkMode(int workModeItem) {
  if (workModeItem < 0) return NoAction{"no item chosen in the work-mode list"};
  return buildBluetoothCommands({workModeItem == 0 ? "AT+HSM=2" : "AT+HSM=0"});
}

BuildResult buildWifiAccessPoint(const std::string& broadcastName, const std::string& password) {
  if (auto refusal = gbkRefusal(broadcastName, "edt_GuangboName")) return *refusal;
  if (auto refusal = gbkRefusal(password, "edt_APPsw")) return *refusal;
  if (auto refusal = gbkAreaRefusal(broadcastName, kWifiTextArea, "edt_GuangboName",
                                    "The access-point name")) {
    return *refusal;
  }
  if (auto refusal =
          gbkAreaRefusal(password, kWifiTextArea, "edt_APPsw", "The access-point password")) {
    return *refusal;
  }
  CommandRequest r = makeRequest(kWifiCode);
  appendLengthPrefixed(r, broadcastName);
  appendLengthPrefixed(r, password, true);
  return r;
}

BuildResult buildWifiStation(const StationFields& f) {
  if (auto refusal = gbkRefusal(f.ssid, "edt_SSID")) return *refusal;
  if (auto refusal = gbkRefusal(f.password, "edt_StaModePsw")) return *refusal;
  if (auto refusal = gbkAreaRefusal(f.ssid, kWifiTextArea, "edt_SSID", "The SSID")) {
    return *refusal;
  }
  if (auto refusal =
          gbkAreaRefusal(f.password, kWifiTextArea, "edt_StaModePsw", "The station password")) {
    return *refusal;
  }
  CommandRequest r = makeRequest(kWifiAddressCode);
  appendLengthPrefixed(r, f.ssid);
  appendLengthPrefixed(r, f.password, true);
  if (f.addressing == StationAddressing::None) return r;

  AddressBytes addresses[3]{};
  if (f.addressing == StationAddressing::Static) {
    const std::string* texts[3] = {&f.ip, &f.mask, &f.gateway};
    const char* fields[3] = {"edt_IPaddress", "edt_Mask", "edt_Gateway"};
    for (int i = 0; i < 3; ++i) {
      AddressResult a = parseStationAddress(*texts[i]);
      if (auto* refusal = std::get_if<Refusal>(&a)) return refusalOf(*refusal, fields[i]);
      addresses[i] = std::get<AddressBytes>(a);
    }
  }
  auto port = parseDecimal(f.port);
  if (!port) return refusalOf(conversionError(f.port), "edt_Port");
  for (const auto& a : addresses) appendBytes(r, {a[0], a[1], a[2], a[3]});
  appendBytes(r, {static_cast<std::uint8_t>(*port), static_cast<std::uint8_t>(*port >> 8),
                  static_cast<std::uint8_t>(f.addressing == StationAddressing::Static ? 1 : 0)});
  return r;
}

BuildResult buildWifiOff() {
  return makeRequest(kWifiOffCode);
}

}  // namespace plenar
