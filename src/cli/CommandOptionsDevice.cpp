// SPDX-License-Identifier: GPL-3.0-or-later
// The options and arguments of the network, infrared, device, paper and black-mark settings,
// the direct sequences and raw data. What a value accepts comes from the key's row (KeyValues).

#include "cli/OptionDecls.h"

namespace plenar::cli {
namespace {

using namespace decl;
using K = ValueKind;

OptionTable one(OptionDecl d) {
  return OptionTable{std::move(d)};
}

}  // namespace

void addDeviceOptionTables(std::vector<std::pair<std::string, OptionTable>>& out) {
  out.emplace_back("net-ip", one(keyed("ADDR", "ADDR", K::Text, "NetIPAddress")));
  out.emplace_back("net-mask",
                   one(keyed("ADDR", "ADDR", K::Text, "Subnetmask", {"a mask", "子网掩码"})));
  out.emplace_back("net-gateway", one(keyed("ADDR", "ADDR", K::Text, "gatewayt")));
  out.emplace_back("net-port", one(keyed("N", "N", K::Number, "Netport")));
  out.emplace_back("net-mac",
                   one(counted(text("XX", "XX",
                                    {"four hexadecimal bytes, the MAC address's last "
                                     "four; the first two are fixed",
                                     "四个十六进制字节，即 MAC 地址的后四个；前两个固定"}),
                               4)));
  out.emplace_back("ethernet", one(keyed("SWITCH", "", K::Choice, "Ethernet")));
  out.emplace_back("infrared", OptionTable{keyed("--baud", "RATE", K::Choice, "InfraredBaurate"),
                                           keyed("--protocol", "", K::Choice, "irdaProtecl",
                                                 {"raw infrared or IrDA", "普通红外或 IrDA"}),
                                           keyed("SWITCH", "", K::Choice, "InfraredType")});
  out.emplace_back(
      "device",
      OptionTable{text("NAME", "NAME",
                       {"the device name, at most 20 characters", "设备名称，最多 20 个字符"}),
                  text("SERIAL", "SERIAL",
                       {"the serial number, digits, at most 20", "序列号，数字，最多 20 位"})});
  out.emplace_back(
      "usb-type",
      one(keyed("TYPE", "", K::Choice, "UsbDeviceTpe",
                {"USB virtual serial port or USB printer port", "USB 虚拟串口或 USB 打印端口"})));
  out.emplace_back(
      "paper-type",
      one(keyed("TYPE", "", K::Choice, "PaperType",
                {"thermal receipt or thermal label paper", "热敏小票纸或热敏标签纸"})));
  out.emplace_back("print-order", one(keyed("ORDER", "", K::Choice, "PrinterOrder",
                                            {"reverse or normal order", "反向或正向打印"})));
  out.emplace_back("retract-time", one(keyed("N", "N", K::Number, "RptTime", {"seconds", "秒"})));
  out.emplace_back("paper-size",
                   one(keyed("SIZE", "", K::Choice, "PaperSizeType", {"inches", "英寸"})));
  out.emplace_back(
      "bt-hide",
      one(keyed("SWITCH", "", K::Choice, "BluetoothSEEK",
                {"on hides the printer from Bluetooth searches", "on 表示蓝牙搜索不到打印机"})));
  out.emplace_back("black-mark", one(keyed("SWITCH", "", K::Choice, "BlackMark")));
  out.emplace_back("black-mark-distance",
                   one(keyed("N", "N", K::Number, "Blacklookdistance",
                             {"the black-mark search distance", "黑标查找距离"})));
  out.emplace_back("black-mark-width", one(keyed("N", "N", K::Number, "Blackwidth",
                                                 {"the black mark's width", "黑标宽度"})));
  out.emplace_back(
      "cutter-feed",
      one(keyed("N", "N", K::Number, "Cutteroptocoupler",
                {"the feed before the cut after the black mark", "黑标后切纸前的走纸距离"})));
  out.emplace_back("find-mark", OptionTable{});
  out.emplace_back("find-mark-cut", OptionTable{});
  out.emplace_back("test-page", OptionTable{});
  out.emplace_back(
      "send",
      OptionTable{
          required(grouped(text("--hex", "TEXT",
                                {"hexadecimal pairs, blanks allowed", "十六进制数对，可含空格"}),
                           "data")),
          required(
              grouped(text("--text", "TEXT", {"text, sent as GBK", "文字，按 GBK 发送"}), "data")),
          required(grouped(file("--file", "PATH", {"a file's bytes, unchanged", "文件的原始字节"}),
                           "data"))});
}

}  // namespace plenar::cli
