// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ParaKeys.h"

#include <map>
#include <vector>

namespace plenar {
namespace {

using K = ParaKind;

const ParaKey kKeys[] = {
    {"BaudRate", K::ListOrNone, "cbb_BauRate", "9600"},
    {"CodePage", K::ListOrNone, "cbb_Codepage", "CP437:USA/Standard Europe"},
    {"FontValue", K::ListOrNone, "cbb_FontValue", "12x24"},
    {"Dark", K::ListOrFirst, "cbb_Dark", "", OptionList::DarkDescription, 1},
    {"ForcePaper", K::ListOrNone, "cbb_Forcepaper", "0X0A"},
    {"buzzer", K::Bool, "chk_buzzer", "1"},
    {"Drawer", K::Bool, "chk_Drawer", "0"},
    {"CutPaper", K::Bool, "chk_CutPaper", "1"},
    {"AutoprintLast", K::Bool, "chk_AutoprintLast", "0"},
    {"sleepTime", K::Text, "edt_sleepTime", "600"},
    {"poweroffTime", K::Text, "edt_poweroffTime", "7200"},
    {"BlueToolthName", K::Text, "edt_lyName"},
    {"MulBlueToolthName", K::Text, "edt_smlyName"},
    {"BlueToolthPsw", K::Text, "edt_lyPsw"},
    {"BlueToolthType", K::Text, "edt_lyType", "1"},
    {"BlueToolthMode", K::RadioGroup, "rg_lyMode", "1"},
    {"BlueToolthCheck", K::RadioGroup, "rg_lyPswcheck", "0"},
    {"BlueToolthWorkMode", K::ListOrFirst, "cbb_lyWorkMode", "", OptionList::BluetoothWorkMode, 1},
    {"blueCmdCount", K::Memo, "mmo_1"},
    {"NetworkName", K::Text, "edt_GuangboName"},
    {"NetworkPsw", K::Text, "edt_APPsw"},
    {"SSID", K::Text, "edt_SSID"},
    {"StaModePsw", K::Text, "edt_StaModePsw"},
    {"IpType", K::RadioPair, "rb_AutoIp", "1", OptionList::Count, 0, "rb_StaticIP"},
    {"NetIPAddress", K::Text, "edt_NetIPAddress", "192.168.1.87"},
    // The same key again to the case-blind INI rules: read a second time, and written again so
    // that the file holds the address under this spelling.
    {"NetIPaddress", K::SameKey, "edt_NetIPAddress"},
    {"Subnetmask", K::Text, "edt_Subnetmask", "255.255.255.0"},
    {"MAC", K::Mac, "Edit3", "ABCD65666768"},
    {"gatewayt", K::Text, "edt_gatewayt", "192.168.1.1"},
    {"Netport", K::Text, "edt_Netport", "9100"},
    {"IPaddress", K::Text, "edt_IPaddress", "192.168.1.87"},
    {"Maskaddress", K::Text, "edt_Mask", "255.255.255.0"},
    {"Gatewayaddress", K::Text, "edt_Gateway", "192.168.1.1"},
    {"Port", K::Text, "edt_Port", "9100"},
    // Seven digits, unlike the eight the field shows before the first load.
    {"NetWorkPort", K::Text, "edt_NetWorkPort", "1345678"},
    {"InfraredType", K::RadioPair, "rb_notInfrared", "1", OptionList::Count, 0, "rb_Infrared"},
    {"InfraredBaurate", K::ListOrNone, "cbb_InfraredBaurate", "9600"},
    {"irdaProtecl", K::ListOrFirst, "cbb_irdaProtecl", "", OptionList::IrdaProtocol, 0},
    {"PrgFile", K::Text, "edt_Prgfile"},
    {"FontFile", K::Text, "edt_FontFile"},
    {"FontAddress", K::Text, "edt_FontAddress"},
    {"StartAddress", K::Text, "edt_StartAddress"},
    {"ReadLength", K::Text, "edt_ReadLength"},
    {"DeviceName", K::Text, "edt_DeviceName"},
    {"DeviceSerialNo", K::Text, "edt_DeviceSerialNo"},
    {"UsbDeviceTpe", K::ListOrFirst, "cbb_UsbDeviceTpe", "", OptionList::UsbDeviceType, 1},
    {"PrinterOrder", K::ListOrFirst, "cbb_PrinterOrder", "", OptionList::PrinterOrder, 1},
    {"PaperType", K::ListOrFirst, "cbb_PaperType", "", OptionList::PaperType, 1},
    {"Flowcontrol", K::ListOrFirst, "cbb_Flowcontrol", "", OptionList::FlowControl, 1},
    {"RptTime", K::Text, "edt_RptTime", "30"},
    {"calculate", K::RadioPair, "rb_Minus", "1", OptionList::Count, 0, "rb_Plus"},
    {"WaitTime", K::Text, "edt_WaitTime", "5"},
    {"BluetoothSEEK", K::ListOrFirst, "Cbx_Bluetooth", "", OptionList::BluetoothSeek, 1},
    {"PaperSizeType", K::ListOrFirst, "cbb_PaperSize", "", OptionList::PaperSizeType, 1},
    {"Blacklookdistance", K::Text, "edt__Black_look_distance", "400"},
    {"Blackwidth", K::Text, "edt__Black_width", "40"},
    {"Cutteroptocoupler", K::Text, "edt_cutter_optocoupler", "5"},
    {"Printeropto", K::Text, "edt_2", "5"},
};

}  // namespace

std::span<const ParaKey* const> paraKeysOfControl(std::string_view control) {
  static const std::map<std::string_view, std::vector<const ParaKey*>> byControl = [] {
    std::map<std::string_view, std::vector<const ParaKey*>> m;
    for (const ParaKey& k : paraKeys()) m[k.control].push_back(&k);
    return m;
  }();
  const auto it = byControl.find(control);
  if (it == byControl.end()) return {};
  return it->second;
}

std::span<const ParaKey> paraKeys() {
  return kKeys;
}

std::string paraKeyDefault(const ParaKey& key) {
  return key.kind == ParaKind::ListOrFirst ? optionEntry(key.list, key.listItem)
                                           : std::string(key.def);
}

}  // namespace plenar
