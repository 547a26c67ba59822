// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/GroupTable.h"

#include <algorithm>
#include <cctype>

#include "requests/BasicRequests.h"
#include "requests/BlackMarkRequests.h"
#include "requests/DeviceRequests.h"
#include "requests/WirelessRequests.h"

namespace plenar {
namespace {

// Each settings group's request, from its keys, as its button builds it from its fields.

CommandRequest baud(const GroupValues& v) {
  return v.request("BaudRate", buildSetBaudRate(v.item("BaudRate")));
}

CommandRequest flow(const GroupValues& v) {
  return v.request("Flowcontrol", buildSetFlowControl(v.item("Flowcontrol")));
}

CommandRequest codepage(const GroupValues& v) {
  return v.request("CodePage", buildSetCodePage(v.item("CodePage")));
}

CommandRequest switches(const GroupValues& v) {
  SwitchFields f;
  f.fontItem = v.item("FontValue");
  f.densityItem = v.item("Dark");
  f.feedItem = v.item("ForcePaper");
  f.buzzer = v.flag("buzzer");
  f.cutter = v.flag("CutPaper");
  return v.request("FontValue", buildSetSwitches(f));
}

CommandRequest times(const GroupValues& v) {
  return v.request("sleepTime", buildSetTimes(v.number("sleepTime"), v.number("poweroffTime")));
}

CommandRequest bluetooth(const GroupValues& v) {
  BluetoothFields f;
  f.name = v.edit("BlueToolthName");
  f.dualName = v.edit("MulBlueToolthName");
  f.password = v.edit("BlueToolthPsw");
  f.model = v.edit("BlueToolthType");
  f.modeItem = v.item("BlueToolthMode");
  f.authItem = v.item("BlueToolthCheck");
  return v.request("BlueToolthName", buildSetBluetooth(f));
}

CommandRequest btWorkMode(const GroupValues& v) {
  return v.request("BlueToolthWorkMode", buildBluetoothWorkMode(v.item("BlueToolthWorkMode")));
}

CommandRequest wifiAp(const GroupValues& v) {
  return v.request("NetworkName",
                   buildWifiAccessPoint(v.edit("NetworkName"), v.edit("NetworkPsw")));
}

CommandRequest wifiSta(const GroupValues& v) {
  StationFields f;
  f.ssid = v.edit("SSID");
  f.password = v.edit("StaModePsw");
  const bool dynamic = v.item("IpType") == 0;
  f.addressing = dynamic ? StationAddressing::Dynamic : StationAddressing::Static;
  f.port = v.edit("Port");
  if (!dynamic) {
    v.checkAddress("IPaddress", AddressField::StationIp);
    v.checkAddress("Maskaddress", AddressField::StationMask);
    v.checkAddress("Gatewayaddress", AddressField::StationGateway);
    f.ip = v.edit("IPaddress");
    f.mask = v.edit("Maskaddress");
    f.gateway = v.edit("Gatewayaddress");
  }
  return v.request("SSID", buildWifiStation(f));
}

CommandRequest netIp(const GroupValues& v) {
  v.checkAddress("NetIPAddress", AddressField::NetworkIp);
  return v.request("NetIPAddress", buildNetworkAddress(v.edit("NetIPAddress")));
}

CommandRequest netMask(const GroupValues& v) {
  v.checkAddress("Subnetmask", AddressField::NetworkMask);
  return v.request("Subnetmask", buildNetworkMask(v.edit("Subnetmask")));
}

CommandRequest netGateway(const GroupValues& v) {
  return v.request("gatewayt", buildNetworkGateway(v.edit("gatewayt")));
}

// Twelve hexadecimal digits as the window stores them (pairs may be separated by ':' or '-');
// the first two bytes are the window's read-only boxes and are not sent.
CommandRequest netMac(const GroupValues& v) {
  std::string digits;
  for (char c : v.text("MAC")) {
    if (c != ':' && c != '-') digits += c;
  }
  if (digits.size() != 12 || !std::all_of(digits.begin(), digits.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
      })) {
    v.refuse("MAC", "'" + v.text("MAC") + "' is not twelve hexadecimal digits");
  }
  return v.request("MAC", buildNetworkMac({digits.substr(4, 2), digits.substr(6, 2),
                                           digits.substr(8, 2), digits.substr(10, 2)}));
}

CommandRequest netPort(const GroupValues& v) {
  return v.request("Netport", buildNetworkPort(v.number("Netport")));
}

CommandRequest ethernet(const GroupValues& v) {
  return v.request("Ethernet", buildEthernetSwitch(v.flag("Ethernet")));
}

CommandRequest infrared(const GroupValues& v) {
  const bool on = v.item("InfraredType") == 1;
  const int baud = v.item("InfraredBaurate");
  const int protocol = v.item("irdaProtecl");
  return v.request("InfraredType", buildSetInfrared(baud, on, protocol));
}

CommandRequest blackMark(const GroupValues& v) {
  return v.request("BlackMark", buildBlackMarkMode(v.flag("BlackMark")));
}

CommandRequest blackMarkDistance(const GroupValues& v) {
  return v.request("Blacklookdistance", buildBlackMarkDistance(v.edit("Blacklookdistance")));
}

CommandRequest blackMarkWidth(const GroupValues& v) {
  return v.request("Blackwidth", buildBlackMarkWidth(v.edit("Blackwidth")));
}

CommandRequest cutterFeed(const GroupValues& v) {
  return v.request("Cutteroptocoupler", buildCutterFeed(v.edit("Cutteroptocoupler")));
}

CommandRequest usbType(const GroupValues& v) {
  return v.request("UsbDeviceTpe",
                   buildSetDeviceOption(DeviceOption::UsbType, v.item("UsbDeviceTpe")));
}

CommandRequest paperType(const GroupValues& v) {
  return v.request("PaperType", buildSetDeviceOption(DeviceOption::PaperType, v.item("PaperType")));
}

CommandRequest printOrder(const GroupValues& v) {
  return v.request("PrinterOrder",
                   buildSetDeviceOption(DeviceOption::PrintOrder, v.item("PrinterOrder")));
}

CommandRequest retractTime(const GroupValues& v) {
  return v.request("RptTime", buildSetRetractionTime(v.number("RptTime")));
}

// Item 0 turns hiding on, item 1 off.
CommandRequest btHide(const GroupValues& v) {
  return v.request("BluetoothSEEK", buildBluetoothHiding(v.item("BluetoothSEEK")));
}

CommandRequest paperSize(const GroupValues& v) {
  return v.request("PaperSizeType", buildSetPaperSize(v.item("PaperSizeType")));
}

using R = LinkRole;

// A group whose button would send nothing, or nothing useful, with the values the window stores
// by default is not managed: both Bluetooth names empty (the button does nothing), and the Wi-Fi
// mode whose name is empty (the printer keeps one Wi-Fi mode, the access point with its name or
// the station with its SSID, and the window stores both forms).
constexpr GroupDef kGroups[] = {
    {"baud", "set-baud", "btn_SetBauRate", R::SerialRate, {"BaudRate"}, baud},
    {"flow", "set-flow", "btn_flowcontrol", R::SerialFlow, {"Flowcontrol"}, flow},
    {"codepage", "set-codepage", "btn_SetCodepage", R::None, {"CodePage"}, codepage},
    {"switches",
     "set-switches",
     "btn_SetForcepaper",
     R::None,
     {"FontValue", "Dark", "ForcePaper", "buzzer", "CutPaper"},
     switches},
    {"times", "set-times", "btn_SetpoweroffTime", R::None, {"sleepTime", "poweroffTime"}, times},
    {"bluetooth",
     "bluetooth",
     "btn_SetlyPara",
     R::None,
     {"BlueToolthName", "MulBlueToolthName", "BlueToolthPsw", "BlueToolthType", "BlueToolthMode",
      "BlueToolthCheck"},
     bluetooth,
     {{"BlueToolthName", "MulBlueToolthName"},
      "both Bluetooth names are empty: the Bluetooth settings are not managed"}},
    {"bt-workmode", "bt-workmode", "btn_lyWorkMode", R::None, {"BlueToolthWorkMode"}, btWorkMode},
    {"wifi-ap",
     "wifi-ap",
     "btn_SetAPMode",
     R::None,
     {"NetworkName", "NetworkPsw"},
     wifiAp,
     {{"NetworkName"}, "the access-point name is empty: Wi-Fi access-point mode is not managed"}},
    {"wifi-sta",
     "wifi-sta",
     "btn_SetSTAMode",
     R::None,
     {"SSID", "StaModePsw", "IpType", "IPaddress", "Maskaddress", "Gatewayaddress", "Port"},
     wifiSta,
     {{"SSID"}, "the SSID is empty: Wi-Fi station mode is not managed"},
     {"IPaddress", "Maskaddress", "Gatewayaddress"}},
    {"net-ip", "net-ip", "btn_NetWorkSetIP", R::NetAddress, {"NetIPAddress"}, netIp},
    {"net-mask", "net-mask", "btn_Subnetmask", R::NetMask, {"Subnetmask"}, netMask},
    {"net-gateway", "net-gateway", "btn_gatewayt", R::NetGateway, {"gatewayt"}, netGateway},
    {"net-mac", "net-mac", "btn_netgatewayt", R::None, {"MAC"}, netMac},
    {"net-port", "net-port", "btn_Netport", R::NetPort, {"Netport"}, netPort},
    // The window keeps no field for these two pairs of buttons; a profile names them itself.
    {"ethernet", "ethernet", "btn_OpenEthernet", R::EthernetSwitch, {"Ethernet"}, ethernet},
    {"infrared",
     "infrared",
     "btn_SetInfraredPara",
     R::None,
     {"InfraredType", "InfraredBaurate", "irdaProtecl"},
     infrared},
    {"black-mark", "black-mark", "btn__Set_black_mode", R::None, {"BlackMark"}, blackMark},
    {"black-mark-distance",
     "black-mark-distance",
     "btn_But_Black_look_dis_set",
     R::None,
     {"Blacklookdistance"},
     blackMarkDistance},
    {"black-mark-width",
     "black-mark-width",
     "btn__Black_width_set",
     R::None,
     {"Blackwidth"},
     blackMarkWidth},
    {"cutter-feed", "cutter-feed", "btn_1", R::None, {"Cutteroptocoupler"}, cutterFeed},
    {"usb-type", "usb-type", "btn_SetUsbDeviceType", R::UsbType, {"UsbDeviceTpe"}, usbType},
    {"paper-type", "paper-type", "btn_SetPaperType", R::None, {"PaperType"}, paperType},
    {"print-order", "print-order", "btn_SetPrinterOrder", R::None, {"PrinterOrder"}, printOrder},
    {"retract-time", "retract-time", "btn_SetRptTime", R::None, {"RptTime"}, retractTime},
    {"bt-hide", "bt-hide", "btn_bluetooth", R::None, {"BluetoothSEEK"}, btHide},
    {"paper-size", "paper-size", "btn_SetPaperSize", R::None, {"PaperSizeType"}, paperSize},
};

}  // namespace

const char* const kMemoLineReason =
    "commands for the Bluetooth module, not a stored setting (plenar bt-commands)";

namespace {

const UnmanagedKey kUnmanaged[] = {
    {"Drawer", "the window's cash-drawer box is disabled; no request sends it"},
    {"AutoprintLast", "the window's box is disabled; no request sends it"},
    {"blueCmdCount", kMemoLineReason},
    {"NetWorkPort", "a hidden field of the window; no request sends it"},
    {"PrgFile", "a file field of the window; name the firmware in [Files] Firmware="},
    {"FontFile", "a file field of the window; name the font in [Files] Font="},
    {"FontAddress", "a file field of the window; give it in [Files] FontAddress="},
    {"StartAddress", "a read-back field of the window"},
    {"ReadLength", "a read-back field of the window"},
    {"WaitTime", "the window's firmware wait; give it in [Files] FirmwareWait="},
    {"DeviceName", "differs per printer: give it with --device NAME SERIAL"},
    {"DeviceSerialNo", "differs per printer: give it with --device NAME SERIAL"},
    {"calculate", "the window's serial-number step"},
    {"Printeropto", "the window's button for it is disabled; no request sends it"},
};

char asciiLowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return asciiLowerChar(x) == asciiLowerChar(y);
         });
}

}  // namespace

std::span<const GroupDef> settingsGroupDefs() {
  return kGroups;
}

const GroupDef* groupOfKey(std::string_view key) {
  for (const GroupDef& g : kGroups) {
    for (const char* groupKey : g.keys) {
      if (equalNoCase(groupKey, key)) return &g;
    }
  }
  return nullptr;
}

const char* groupKeySpelling(std::string_view key) {
  for (const GroupDef& g : kGroups) {
    for (const char* groupKey : g.keys) {
      if (equalNoCase(groupKey, key)) return groupKey;
    }
  }
  return nullptr;
}

GroupStage groupStage(const GroupDef& def) {
  return def.role == LinkRole::None ? GroupStage::Settings : GroupStage::LinkSettings;
}

const char* stageName(GroupStage stage) {
  switch (stage) {
    case GroupStage::Firmware:
      return "firmware";
    case GroupStage::Files:
      return "files";
    case GroupStage::Settings:
      return "settings";
    case GroupStage::LinkSettings:
      return "link";
  }
  return "";
}

std::span<const UnmanagedKey> unmanagedKeys() {
  return kUnmanaged;
}

std::vector<std::string_view> groupsSharingState(std::string_view group) {
  static constexpr std::string_view kWifiModes[] = {"wifi-ap", "wifi-sta"};
  std::vector<std::string_view> out;
  if (std::find(std::begin(kWifiModes), std::end(kWifiModes), group) == std::end(kWifiModes)) {
    return out;
  }
  for (std::string_view other : kWifiModes) {
    if (other != group) out.push_back(other);
  }
  return out;
}

bool isPasswordKey(std::string_view key) {
  for (const char* k : {"BlueToolthPsw", "NetworkPsw", "StaModePsw"}) {
    if (equalNoCase(k, key)) return true;
  }
  return false;
}

const char* ignoredKeyReason(std::string_view key) {
  for (const UnmanagedKey& d : kUnmanaged) {
    if (equalNoCase(d.key, key)) return d.reason;
  }
  return nullptr;
}

}  // namespace plenar
