// SPDX-License-Identifier: GPL-3.0-or-later
// The options and arguments of the link test and of the basic, Bluetooth and Wi-Fi settings, in
// the window's tab order. What a value accepts comes from the key's row (KeyValues).

#include "cli/OptionDecls.h"

namespace plenar::cli {
namespace {

using namespace decl;
using K = ValueKind;

const char* const kPasswordFile = "read the password from FILE, readable by its owner only";
const char* const kPasswordInput =
    "read the password from standard input (at a terminal: asked for, without echo)";

OptionTable passwordOptions() {
  OptionDecl file =
      grouped(text("--password-file", "FILE", kPasswordFile, Completion::File), "password");
  OptionDecl input = grouped(text("--password", "-", kPasswordInput), "password");
  return {file, input};
}

OptionTable switchOptions() {
  return {
      keyed("--density", "D", K::Choice, "Dark", "print density"),
      keyed("--font", "F", K::Choice, "FontValue", "the font"),
      keyed("--cutter", "on|off", K::Choice, "CutPaper", "the cutter"),
      keyed("--buzzer", "on|off", K::Choice, "buzzer", "the buzzer"),
      keyed("--feed", "LF|CR", K::Choice, "ForcePaper",
            "the line-feed character: line feed (LF) or carriage return (CR)"),
  };
}

OptionTable setAll() {
  OptionTable t = switchOptions();
  t.push_back(keyed("--codepage", "ITEM", K::Choice, "CodePage", "the code page (default CP437)"));
  t.push_back(keyed("--baud", "RATE", K::Choice, "BaudRate", "the serial rate (default 9600)"));
  t.push_back(keyed("--sleep", "S", K::Number, "sleepTime", "seconds until sleep (default 60)"));
  t.push_back(keyed("--poweroff", "S", K::Number, "poweroffTime",
                    "seconds until power-off (default 7200)"));
  return t;
}

OptionTable bluetooth() {
  OptionTable t{
      keyed("--name", "N", K::Text, "BlueToolthName", "the Bluetooth name"),
      keyed("--dual-name", "N", K::Text, "MulBlueToolthName", "the dual-mode name"),
  };
  for (const OptionDecl& d : passwordOptions()) t.push_back(d);
  t.push_back(keyed("--model", "N", K::Text, "BlueToolthType"));
  t.push_back(
      keyed("--mode", "", K::Choice, "BlueToolthMode", "no Bluetooth, single or dual mode"));
  t.push_back(keyed("--auth", "0..2", K::Choice, "BlueToolthCheck",
                    "0 password required, 1 or 2 no password"));
  return t;
}

OptionTable wifiStation() {
  OptionTable t{keyed("--ssid", "S", K::Text, "SSID", "the network to join")};
  for (const OptionDecl& d : passwordOptions()) t.push_back(d);
  t.push_back(flag("--dhcp", "a dynamic address; takes no --ip, --mask or --gateway"));
  t.push_back(keyed("--ip", "A", K::Text, "IPaddress", "a static address"));
  t.push_back(keyed("--mask", "M", K::Text, "Maskaddress", "its subnet mask"));
  t.push_back(keyed("--gateway", "G", K::Text, "Gatewayaddress", "its gateway"));
  t.push_back(keyed("--port", "N", K::Text, "Port", "the printer's port"));
  return t;
}

}  // namespace

void addSettingsOptionTables(std::vector<std::pair<std::string, OptionTable>>& out) {
  out.emplace_back("test", OptionTable{});
  out.emplace_back("set-baud", OptionTable{keyed("RATE", "RATE", K::Choice, "BaudRate")});
  out.emplace_back("set-flow", OptionTable{keyed("MODE", "", K::Choice, "Flowcontrol",
                                                 "software (XON/XOFF) or hardware (RTS/CTS)")});
  out.emplace_back("set-codepage",
                   OptionTable{keyed("ITEM", "ITEM", K::Choice, "CodePage",
                                     "the list text (\"CP437:USA/Standard Europe\") or the name "
                                     "before it (CP437, ISO-8859-1)")});
  out.emplace_back("set-switches", switchOptions());
  out.emplace_back("set-times", OptionTable{keyed("SLEEP", "SLEEP", K::Number, "sleepTime",
                                                  "seconds until the printer sleeps"),
                                            keyed("POWEROFF", "POWEROFF", K::Number, "poweroffTime",
                                                  "seconds until it switches off")});
  out.emplace_back("set-all", setAll());
  out.emplace_back("reset-defaults", OptionTable{});
  out.emplace_back("bluetooth", bluetooth());
  out.emplace_back("bt-workmode", OptionTable{keyed("MODE", "", K::Choice, "BlueToolthWorkMode",
                                                    "high-speed or normal mode")});
  out.emplace_back("bt-commands", OptionTable{counted(text("LINE", "LINE",
                                                           "the module's command lines, sent in "
                                                           "order"),
                                                      kAnyNumber)});
  OptionTable ap{keyed("NAME", "NAME", K::Text, "NetworkName", "the broadcast name")};
  ap.push_back(text("--password-file", "FILE", kPasswordFile, Completion::File));
  ap.push_back(optional(keyed("PASSWORD", "PASSWORD", K::Text, "NetworkPsw",
                              "- reads it from standard input (at a terminal: asked for, "
                              "without echo); a password written here others can read while "
                              "plenar runs")));
  out.emplace_back("wifi-ap", ap);
  out.emplace_back("wifi-off", OptionTable{});
  out.emplace_back("wifi-sta", wifiStation());
}

}  // namespace plenar::cli
