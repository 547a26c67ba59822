// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandDocs.h"

#include "requests/OptionLists.h"

namespace plenar::cli {
namespace {

constexpr std::size_t kWidth = 80;

template <std::size_t N>
std::string listed(const std::array<std::string_view, N>& items) {
  std::string out;
  for (auto item : items) out += (out.empty() ? "" : ", ") + std::string(item);
  return out;
}

const std::string kRates = listed(kBaudRateItems);
const std::string kFonts = listed(kFontItems);
const char* const kOnOff = "on or off";
const char* const kPasswordFile = "read the password from FILE, readable by its owner only";
const char* const kPasswordInput =
    "read the password from standard input (at a terminal: asked for, without echo)";

// The link test and the basic, Bluetooth and Wi-Fi settings, in the window's tab order.
std::vector<CommandDoc> settingsDocs() {
  return {
      {"test", {}, "--serial /dev/ttyUSB0 --device-baud 9600 test"},
      {"set-baud", {{"RATE", kRates}}, "--serial /dev/ttyUSB0 set-baud 115200"},
      {"set-flow",
       {{"soft|hard", "software (XON/XOFF) or hardware (RTS/CTS); software and hardware too"}},
       "--serial /dev/ttyUSB0 set-flow hard"},
      {"set-codepage",
       {{"ITEM",
         "an index 0..52, the list text (\"CP437:USA/Standard Europe\") or the name "
         "before it (CP437, ISO-8859-1)"}},
       "--net 192.168.1.87 set-codepage CP437"},
      {"set-switches", {}, "--usb VID_0483&PID_811E set-switches --density dark --cutter on"},
      {"set-times",
       {{"SLEEP", "seconds until the printer sleeps, 1..999999999"},
        {"POWEROFF", "seconds until it switches off, 1..999999999"}},
       "--net 192.168.1.87 set-times 600 7200"},
      {"set-all",
       {{"--codepage ITEM", "as set-codepage"},
        {"--baud RATE", kRates},
        {"--sleep S", "seconds, 1..999999999"},
        {"--poweroff S", "seconds, 1..999999999"}},
       "--serial /dev/ttyUSB0 set-all --codepage CP437 --baud 9600 --cutter on"},
      {"reset-defaults", {}, "--serial /dev/ttyUSB0 reset-defaults"},
      {"bluetooth",
       {{"--name N", "the Bluetooth name, at most 20 characters"},
        {"--dual-name N", "the dual-mode name, at most 20 characters"},
        {"--password-file FILE", kPasswordFile},
        {"--password -", kPasswordInput},
        {"--model N", "the module's model number"},
        {"--mode none|single|dual", "no Bluetooth, single-mode or dual-mode"},
        {"--auth 0..2", "0 password required, 1 or 2 no password"}},
       "--net 192.168.1.87 bluetooth --name Till4 --mode single"},
      {"bt-workmode",
       {{"high|normal", "high-speed or normal mode"}},
       "--serial /dev/ttyUSB0 bt-workmode normal"},
      {"bt-commands",
       {{"LINE...", "the module's command lines, sent in order"}},
       "--serial /dev/ttyUSB0 bt-commands AT+NAME=Till4"},
      {"wifi-ap",
       {{"NAME", "the broadcast name, at most 32 characters"},
        {"--password-file FILE", kPasswordFile},
        {"-", kPasswordInput}},
       "--net 192.168.1.87 wifi-ap shop --password-file shop-ap.pw"},
      {"wifi-off", {}, "--net 192.168.1.87 wifi-off"},
      {"wifi-sta",
       {{"--ssid S", "the network to join, at most 32 characters"},
        {"--password-file FILE", kPasswordFile},
        {"--password -", kPasswordInput},
        {"--dhcp", "a dynamic address"},
        {"--ip A", "a static address"},
        {"--mask M", "its subnet mask"},
        {"--gateway G", "its gateway"},
        {"--port N", "the printer's port"}},
       "--net 192.168.1.87 wifi-sta --ssid shop --password-file sta.pw --dhcp"},
  };
}

// The network, infrared, device, paper and black-mark settings.
std::vector<CommandDoc> deviceDocs() {
  return {
      {"net-ip", {{"ADDR", "a dotted IPv4 address"}}, "--net 192.168.1.87 net-ip 192.168.1.88"},
      {"net-mask", {{"ADDR", "a dotted IPv4 mask"}}, "--net 192.168.1.87 net-mask 255.255.255.0"},
      {"net-gateway",
       {{"ADDR", "a dotted IPv4 address"}},
       "--net 192.168.1.87 net-gateway 192.168.1.1"},
      {"net-port", {{"N", "2..65535"}}, "--net 192.168.1.87 net-port 9100"},
      {"net-mac",
       {{"XX XX XX XX", "four hexadecimal bytes; the first two are fixed"}},
       "--serial /dev/ttyUSB0 net-mac 65 66 67 68"},
      {"ethernet", {{"on|off", kOnOff}}, "--serial /dev/ttyUSB0 ethernet on"},
      {"infrared",
       {{"on|off", kOnOff},
        {"--baud RATE", listed(kInfraredBaudItems)},
        {"--protocol raw|irda", "raw infrared or IrDA"}},
       "--serial /dev/ttyUSB0 infrared on --baud 9600 --protocol irda"},
      {"device",
       {{"NAME", "the device name, at most 20 characters"},
        {"SERIAL", "the serial number, digits, at most 20"}},
       "--serial /dev/ttyUSB0 device Till4 1704270001"},
      {"usb-type",
       {{"vcom|printer", "USB virtual serial port or USB printer port"}},
       "--serial /dev/ttyUSB0 usb-type printer"},
      {"paper-type",
       {{"receipt|label", "thermal receipt or thermal label paper"}},
       "--serial /dev/ttyUSB0 paper-type receipt"},
      {"print-order",
       {{"reverse|normal", "reverse or normal order"}},
       "--serial /dev/ttyUSB0 print-order normal"},
      {"retract-time", {{"N", "seconds, 1..255"}}, "--serial /dev/ttyUSB0 retract-time 30"},
      {"paper-size", {{"2|3|4", "inches"}}, "--serial /dev/ttyUSB0 paper-size 3"},
      {"bt-hide",
       {{"on|off", "on hides the printer from Bluetooth searches"}},
       "--serial /dev/ttyUSB0 bt-hide off"},
      {"black-mark", {{"on|off", kOnOff}}, "--serial /dev/ttyUSB0 black-mark on"},
      {"black-mark-distance",
       {{"N", "millimetres, 400..4000"}},
       "--serial /dev/ttyUSB0 black-mark-distance 400"},
      {"black-mark-width",
       {{"N", "millimetres, 40..120"}},
       "--serial /dev/ttyUSB0 black-mark-width 40"},
      {"cutter-feed", {{"N", "millimetres, 0..1700"}}, "--serial /dev/ttyUSB0 cutter-feed 5"},
  };
}

// Direct sequences, raw data, files, firmware and boot mode.
std::vector<CommandDoc> actionDocs() {
  return {
      {"find-mark", {}, "--serial /dev/ttyUSB0 find-mark"},
      {"find-mark-cut", {}, "--serial /dev/ttyUSB0 find-mark-cut"},
      {"test-page", {}, "--serial /dev/ttyUSB0 test-page"},
      {"send",
       {{"--hex TEXT", "hexadecimal pairs, blanks allowed"},
        {"--text TEXT", "text, sent as GBK"},
        {"--file PATH", "a file's bytes, unchanged"}},
       "--serial /dev/ttyUSB0 send --hex \"1B 40\""},
      {"font",
       {{"FILE", "the font file"}, {"--address HEX", "the hexadecimal start address"}},
       "--serial /dev/ttyUSB0 font GB2312.bin --address 100000"},
      {"logo-download",
       {{"BMP...", "monochrome BMP images, stored as logos 1, 2, ..."},
        {"--raw", "store them with the 1C 71 command (2.bin)"}},
       "--serial /dev/ttyUSB0 logo-download shop-logo.bmp"},
      {"logo-print", {{"N[,N...]", "logo numbers"}}, "--serial /dev/ttyUSB0 logo-print 1,2"},
      {"read-back",
       {{"--address HEX", "the hexadecimal start address"},
        {"--length N", "bytes to read"},
        {"OUTFILE", "the file written"}},
       "--serial /dev/ttyUSB0 read-back --address 0 --length 256 memory.bin"},
      {"firmware",
       {{"FILE", "the printer's program"},
        {"--wait SECONDS", "how long the printer takes to restart (default 5)"},
        {"--force-firmware",
         "send a program file that carries no model tag; one tagged for another model is "
         "still refused"}},
       "--net 192.168.1.87 firmware PLENAR80-v2.bin --wait 5"},
      {"boot", {{"--passes N", "handshake passes before giving up"}}, "--serial /dev/ttyUSB0 boot"},
  };
}

// Profiles, the batch bench, the port lists and the worker's codes.
std::vector<CommandDoc> profileAndListDocs() {
  return {
      {"apply",
       {{"PROFILE.ini", "the profile (plenar-profile(5))"},
        {"--set KEY=VALUE", "a value for this printer on top of the profile; repeatable"},
        {"--device NAME SERIAL", "the device name and serial number of this printer"},
        {"--record FILE",
         "the record to compare with and keep (default: one per link in the "
         "state folder)"},
        {"--record-dir DIR", "keep the records in DIR"},
        {"--force", "send every group, whatever the record says"},
        {"--verify", "identify the printer even when the record matches"},
        {"--wait SECONDS", "wait for another apply to the same printer (default 5)"},
        {"--force-firmware", "as firmware --force-firmware"},
        {"--plan", "print every request, byte for byte; send nothing"},
        {"--check", "print what would change, from the record; send nothing"}},
       "--serial /dev/ttyUSB0 apply shop.ini --device Till4 1704270001"},
      {"batch",
       {{"PROFILE.ini", "the profile every printer gets (plenar-profile(5))"},
        {"--name PATTERN",
         "the device name: {n} is the serial number, {n:W} with at least W digits; "
         "must fit the printer's 20-byte field for every number, else refused before the first"},
        {"--serial-from N",
         "the first serial number of a new state file (leading zeros keep the width)"},
        {"--step K", "added to the serial number after each printer (default 1; may be negative)"},
        {"--serial-glob GLOB",
         "serial ports to watch, e.g. '/dev/ttyUSB*'; a port that appears is a printer "
         "(at --device-baud); with --net ADDR instead, the factory address"},
        {"--usb-watch",
         "watch USB instead: a printer that is plugged in and listed by the USB filter texts "
         "of sysconfig.ini (else those with 811E) is set up through its three-part identifier"},
        {"--usb-filter TEXT", "with --usb-watch, these filter texts instead (repeatable)"},
        {"--state FILE",
         "the counter: each number is written there before it is sent, so no two printers "
         "get one (default: batch/state.json in the state folder); a new one starts only past "
         "every number its record folder (beside it: state.records for state.json) holds"},
        {"--report FILE", "a line per printer: JSON lines, or CSV when FILE ends in .csv"},
        {"--count N", "stop after N printers"},
        {"--reuse-failed",
         "hand out again, lowest first, the numbers of failed printers whose device group "
         "(name and serial number) never went out; a number a printer holds or may hold never"},
        {"--present", "set up the printers attached now, one after another, then stop"},
        {"--set KEY=VALUE", "as apply --set"}},
       "batch shop.ini --serial-glob '/dev/ttyUSB*' --name 'Till {n:4}' --serial-from 1000 "
       "--report bench.csv"},
      {"profile",
       {{"keys", "every key, its group, stage, default and accepted values"}},
       "--json profile keys"},
      {"list-ports", {}, "list-ports"},
      {"list-lpt", {}, "list-lpt"},
      {"list-usb", {}, "list-usb"},
      {"run-code",
       {{"CODE", "the worker's command code"},
        {"--value1 N", "its first value"},
        {"--value2 N", "its second value"}},
       "--net 192.168.1.87 run-code 0"},
  };
}

std::vector<CommandDoc> makeDocs() {
  const std::pair<std::string, std::string> switches[] = {
      {"--density D",
       "print density: light, normal, dark or extra-dark (also the list's texts or 0..3)"},
      {"--font F", kFonts},
      {"--cutter on|off", kOnOff},
      {"--buzzer on|off", kOnOff},
      {"--feed LF|CR",
       "the line-feed character: line feed (LF, also 0A) or carriage return (CR, also 0D)"},
  };
  std::vector<CommandDoc> docs = settingsDocs();
  for (auto part : {deviceDocs(), actionDocs(), profileAndListDocs()}) {
    docs.insert(docs.end(), std::make_move_iterator(part.begin()),
                std::make_move_iterator(part.end()));
  }
  for (auto& d : docs) {
    if (d.name == "set-switches" || d.name == "set-all") {
      d.terms.insert(d.terms.begin(), std::begin(switches), std::end(switches));
    }
  }
  return docs;
}

// `text` folded at blanks into lines of at most kWidth columns: the first after `first`, the
// others after `indent` blanks.
std::string folded(const std::string& text, const std::string& first, std::size_t indent) {
  std::string out, line = first;
  std::size_t from = 0;
  bool fresh = true;  // nothing of `text` on this line yet
  while (from <= text.size()) {
    std::size_t blank = text.find(' ', from);
    if (blank == std::string::npos) blank = text.size();
    const std::string word = text.substr(from, blank - from);
    from = blank + 1;
    if (!fresh && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line = std::string(indent, ' ');
      fresh = true;
    }
    line += (fresh ? "" : " ") + word;
    fresh = false;
  }
  return out + line + "\n";
}

}  // namespace

const char* const kLinkText =
    "LINK is one of --serial PORT [--device-baud RATE], --net ADDR[:PORT], --usb ID, --lpt N "
    "(plenar --help lists every option).";

const std::vector<CommandDoc>& commandDocs() {
  static const std::vector<CommandDoc> docs = makeDocs();
  return docs;
}

const CommandDoc* commandDoc(const std::string& name) {
  for (const CommandDoc& d : commandDocs()) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

std::string commandHelpText(const std::string& name, const std::string& usage,
                            const std::string& summary, bool needsLink) {
  std::string out = "usage:\n";
  out += folded(std::string("plenar ") + (needsLink ? "LINK " : "") + usage, "  ", 4);
  out += folded(summary, "  ", 2);
  const CommandDoc* doc = commandDoc(name);
  if (doc && !doc->terms.empty()) {
    out += "\n";
    for (const auto& [term, text] : doc->terms) {
      std::string head = "  " + term;
      if (head.size() < 24) {
        head.resize(24, ' ');
        out += folded(text, head, 24);
      } else {
        out += head + "\n" + folded(text, std::string(24, ' '), 24);
      }
    }
  }
  if (doc) out += "\nexample:\n" + folded("plenar " + doc->example, "  ", 4);
  if (needsLink) out += "\n" + folded(kLinkText, "", 0);
  return out;
}

}  // namespace plenar::cli
