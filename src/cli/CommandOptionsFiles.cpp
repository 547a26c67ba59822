// SPDX-License-Identifier: GPL-3.0-or-later
// The options and arguments of the file commands, the profiles, the batch bench, the port lists
// and the worker's codes.

#include <climits>

#include "cli/OptionDecls.h"
#include "requests/FileActions.h"

namespace plenar::cli {
namespace {

using namespace decl;
using K = ValueKind;

OptionDecl setOption(const char* help) {
  OptionDecl d = repeated(text("--set", "KEY=VALUE", help, Completion::ProfileKey));
  d.kind = K::KeyValue;
  return d;
}

OptionDecl profileArgument(const char* help) {
  return text("PROFILE.ini", "PROFILE.ini", help, Completion::Ini);
}

OptionTable apply() {
  OptionDecl device =
      text("--device", "NAME SERIAL", "the device name and serial number of this printer");
  device.kind = K::Pair;
  return {
      setOption("a value for this printer on top of the profile"),
      device,
      file("--record", "FILE",
           "the record to compare with and keep (default: one per link in the state folder)"),
      flag("--force", "send every group, whatever the record says"),
      text("--record-dir", "DIR", "keep the records in DIR", Completion::Dir),
      flag("--verify", "identify the printer even when the record matches"),
      text("--wait", "SECONDS", "wait for another apply to the same printer (default 5)"),
      flag("--force-firmware", "as firmware --force-firmware"),
      grouped(flag("--plan", "print every request, byte for byte; send nothing"), "dry"),
      grouped(flag("--check", "print what would change, from the record; send nothing"), "dry"),
      profileArgument("the profile (plenar-profile(5))"),
  };
}

OptionTable batch() {
  return {
      required(text("--name", "PATTERN",
                    "the device name: {n} is the serial number, {n:W} with at least W digits; "
                    "must fit the printer's 20-byte field for every number, else refused before "
                    "the first")),
      text("--serial-from", "N",
           "the first serial number of a new state file (leading zeros keep the width)"),
      number("--step", "K", -1000000000, 1000000000,
             "added to the serial number after each printer (default 1; may be negative)"),
      text("--serial-glob", "GLOB",
           "serial ports to watch, e.g. '/dev/ttyUSB*'; a port that appears is a printer (at "
           "--device-baud); with --net ADDR instead, the factory address"),
      flag("--usb-watch",
           "watch USB instead: a printer that is plugged in and listed by the USB filter texts "
           "of sysconfig.ini (else those with 811E) is set up through its three-part identifier"),
      repeated(text("--usb-filter", "TEXT", "with --usb-watch, these filter texts instead")),
      file("--state", "FILE",
           "the counter: each number is written there before it is sent, so no two printers "
           "get one (default: batch/state.json in the state folder); a new one starts only past "
           "every number its record folder (beside it: state.records for state.json) holds"),
      file("--report", "FILE", "a line per printer: JSON lines, or CSV when FILE ends in .csv"),
      number("--count", "N", 1, 1000000000, "stop after N printers"),
      flag("--reuse-failed",
           "hand out again, lowest first, the numbers of failed printers whose device group "
           "(name and serial number) never went out; a number a printer holds or may hold never"),
      flag("--present", "set up the printers attached now, one after another, then stop"),
      setOption("as apply --set"),
      profileArgument("the profile every printer gets (plenar-profile(5))"),
  };
}

}  // namespace

void addFileOptionTables(std::vector<std::pair<std::string, OptionTable>>& out) {
  const OptionDecl address = required(text("--address", "HEX", "the hexadecimal start address"));
  out.emplace_back("font", OptionTable{address, file("FILE", "FILE", "the font file")});
  out.emplace_back(
      "logo-download",
      OptionTable{flag("--raw", "store them with the 1C 71 command (2.bin)"),
                  counted(file("BMP", "BMP", "monochrome BMP images, stored as logos 1, 2, ..."),
                          kOneOrMore)});
  out.emplace_back("logo-print", OptionTable{text("N[,N...]", "N[,N...]", "logo numbers, 1..255")});
  out.emplace_back(
      "read-back",
      OptionTable{
          address, required(number("--length", "N", 0, INT_MAX, "bytes to read")),
          file("OUTFILE", "OUTFILE", "the file written; - writes the bytes to standard output")});
  out.emplace_back(
      "firmware",
      OptionTable{
          text("--wait", "SECONDS", "how long the printer takes to restart (default 5)"),
          flag("--force-firmware",
               "send a program file that carries no model tag; one tagged for another model is "
               "still refused"),
          file("FILE", "FILE", "the printer's program")});
  out.emplace_back("boot", OptionTable{number("--passes", "N", 1, kBootHandshakePasses,
                                              "handshake passes before giving up")});
}

void addProfileOptionTables(std::vector<std::pair<std::string, OptionTable>>& out) {
  out.emplace_back("apply", apply());
  out.emplace_back("batch", batch());
  OptionDecl keys =
      text("keys", "keys", "every key, its group, stage, default and accepted values");
  keys.words = {"keys"};
  out.emplace_back("profile", OptionTable{keys});
  out.emplace_back("list-ports", OptionTable{});
  out.emplace_back("list-lpt", OptionTable{});
  out.emplace_back("list-usb", OptionTable{});
  out.emplace_back("run-code",
                   OptionTable{number("--value1", "N", INT_MIN, INT_MAX, "its first value"),
                               number("--value2", "N", INT_MIN, INT_MAX, "its second value"),
                               text("CODE", "CODE", "the worker's command code")});
}

}  // namespace plenar::cli
