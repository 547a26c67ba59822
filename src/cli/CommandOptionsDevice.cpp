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
  out.emplace_back("net-mask", one(keyed("ADDR", "ADDR", K::Text, "Subnetmask", "a mask")));
  out.emplace_back("net-gateway", one(keyed("ADDR", "ADDR", K::Text, "gatewayt")));
  out.emplace_back("net-port", one(keyed("N", "N", K::Number, "Netport")));
  out.emplace_back("net-mac", one(counted(text("XX", "XX",
                                               "four hexadecimal bytes, the MAC address's last "
                                               "four; the first two are fixed"),
                                          4)));
  out.emplace_back("ethernet", one(keyed("SWITCH", "", K::Choice, "Ethernet")));
  out.emplace_back("infrared", OptionTable{keyed("--baud", "RATE", K::Choice, "InfraredBaurate"),
                                           keyed("--protocol", "", K::Choice, "irdaProtecl",
                                                 "raw infrared or IrDA"),
                                           keyed("SWITCH", "", K::Choice, "InfraredType")});
  out.emplace_back("device",
                   OptionTable{text("NAME", "NAME", "the device name, at most 20 characters"),
                               text("SERIAL", "SERIAL", "the serial number, digits, at most 20")});
  out.emplace_back("usb-type", one(keyed("TYPE", "", K::Choice, "UsbDeviceTpe",
                                         "USB virtual serial port or USB printer port")));
  out.emplace_back("paper-type", one(keyed("TYPE", "", K::Choice, "PaperType",
                                           "thermal receipt or thermal label paper")));
  out.emplace_back("print-order",
                   one(keyed("ORDER", "", K::Choice, "PrinterOrder", "reverse or normal order")));
  out.emplace_back("retract-time", one(keyed("N", "N", K::Number, "RptTime", "seconds")));
  out.emplace_back("paper-size", one(keyed("SIZE", "", K::Choice, "PaperSizeType", "inches")));
  out.emplace_back("bt-hide", one(keyed("SWITCH", "", K::Choice, "BluetoothSEEK",
                                        "on hides the printer from Bluetooth searches")));
  out.emplace_back("black-mark", one(keyed("SWITCH", "", K::Choice, "BlackMark")));
  out.emplace_back("black-mark-distance", one(keyed("N", "N", K::Number, "Blacklookdistance",
                                                    "the black-mark search distance")));
  out.emplace_back("black-mark-width",
                   one(keyed("N", "N", K::Number, "Blackwidth", "the black mark's width")));
  out.emplace_back("cutter-feed", one(keyed("N", "N", K::Number, "Cutteroptocoupler",
                                            "the feed before the cut after the black mark")));
  out.emplace_back("find-mark", OptionTable{});
  out.emplace_back("find-mark-cut", OptionTable{});
  out.emplace_back("test-page", OptionTable{});
  out.emplace_back(
      "send",
      OptionTable{
          required(grouped(text("--hex", "TEXT", "hexadecimal pairs, blanks allowed"), "data")),
          required(grouped(text("--text", "TEXT", "text, sent as GBK"), "data")),
          required(grouped(file("--file", "PATH", "a file's bytes, unchanged"), "data"))});
}

}  // namespace plenar::cli
