// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandDocs.h"

#include "cli/CliTexts.h"
#include "cli/OptionTable.h"

namespace plenar::cli {
namespace {

constexpr std::size_t kWidth = 80;

// The example of each command, in the window's tab order: the link test and the settings, the
// direct sequences and files, the profiles, the batch bench, the port lists and the worker's
// codes.
std::vector<CommandDoc> makeDocs() {
  return {
      {"test", "--serial /dev/ttyUSB0 --device-baud 9600 test"},
      {"set-baud", "--serial /dev/ttyUSB0 set-baud 115200"},
      {"set-flow", "--serial /dev/ttyUSB0 set-flow hard"},
      {"set-codepage", "--net 192.168.1.87 set-codepage CP437"},
      {"set-switches", "--usb VID_0483&PID_811E set-switches --density dark --cutter on"},
      {"set-times", "--net 192.168.1.87 set-times 600 7200"},
      {"set-all", "--serial /dev/ttyUSB0 set-all --codepage CP437 --baud 9600 --cutter on"},
      {"reset-defaults", "--serial /dev/ttyUSB0 reset-defaults"},
      {"bluetooth", "--net 192.168.1.87 bluetooth --name Till4 --mode single"},
      {"bt-workmode", "--serial /dev/ttyUSB0 bt-workmode normal"},
      {"bt-commands", "--serial /dev/ttyUSB0 bt-commands AT+NAME=Till4"},
      {"wifi-ap", "--net 192.168.1.87 wifi-ap shop --password-file shop-ap.pw"},
      {"wifi-off", "--net 192.168.1.87 wifi-off"},
      {"wifi-sta", "--net 192.168.1.87 wifi-sta --ssid shop --password-file sta.pw --dhcp"},
      {"net-ip", "--net 192.168.1.87 net-ip 192.168.1.88"},
      {"net-mask", "--net 192.168.1.87 net-mask 255.255.255.0"},
      {"net-gateway", "--net 192.168.1.87 net-gateway 192.168.1.1"},
      {"net-port", "--net 192.168.1.87 net-port 9100"},
      {"net-mac", "--serial /dev/ttyUSB0 net-mac 65 66 67 68"},
      {"ethernet", "--serial /dev/ttyUSB0 ethernet on"},
      {"infrared", "--serial /dev/ttyUSB0 infrared on --baud 9600 --protocol irda"},
      {"device", "--serial /dev/ttyUSB0 device Till4 1704270001"},
      {"usb-type", "--serial /dev/ttyUSB0 usb-type printer"},
      {"paper-type", "--serial /dev/ttyUSB0 paper-type receipt"},
      {"print-order", "--serial /dev/ttyUSB0 print-order normal"},
      {"retract-time", "--serial /dev/ttyUSB0 retract-time 30"},
      {"paper-size", "--serial /dev/ttyUSB0 paper-size 3"},
      {"bt-hide", "--serial /dev/ttyUSB0 bt-hide off"},
      {"black-mark", "--serial /dev/ttyUSB0 black-mark on"},
      {"black-mark-distance", "--serial /dev/ttyUSB0 black-mark-distance 400"},
      {"black-mark-width", "--serial /dev/ttyUSB0 black-mark-width 40"},
      {"cutter-feed", "--serial /dev/ttyUSB0 cutter-feed 5"},
      {"find-mark", "--serial /dev/ttyUSB0 find-mark"},
      {"find-mark-cut", "--serial /dev/ttyUSB0 find-mark-cut"},
      {"test-page", "--serial /dev/ttyUSB0 test-page"},
      {"send", "--serial /dev/ttyUSB0 send --hex \"1B 40\""},
      {"font", "--serial /dev/ttyUSB0 font GB2312.bin --address 100000"},
      {"logo-download", "--serial /dev/ttyUSB0 logo-download shop-logo.bmp"},
      {"logo-print", "--serial /dev/ttyUSB0 logo-print 1,2"},
      {"read-back", "--serial /dev/ttyUSB0 read-back --address 0 --length 256 memory.bin"},
      {"firmware", "--net 192.168.1.87 firmware PLENAR80-v2.bin --wait 5"},
      {"boot", "--serial /dev/ttyUSB0 boot"},
      {"apply", "--serial /dev/ttyUSB0 apply shop.ini --device Till4 1704270001"},
      {"batch",
       "batch shop.ini --serial-glob '/dev/ttyUSB*' --name 'Till {n:4}' --serial-from 1000 "
       "--report bench.csv"},
      {"profile", "--json profile keys"},
      {"list-ports", "list-ports"},
      {"list-lpt", "list-lpt"},
      {"list-usb", "list-usb"},
      {"run-code", "--net 192.168.1.87 run-code 0"},
  };
}

std::string folded(const std::string& text, const std::string& first, std::size_t indent) {
  return foldText(text, first, indent, kWidth);
}

}  // namespace

const Said kLinkText{
    "LINK is one of --serial PORT [--device-baud RATE], --net ADDR[:PORT], --usb ID, --lpt N "
    "(plenar --help lists every option).",
    "LINK 为 --serial PORT [--device-baud RATE]、--net ADDR[:PORT]、--usb ID、--lpt N 之一"
    "（plenar --help 列出所有选项）。"};

const std::vector<CommandDoc>& commandDocs() {
  static const std::vector<CommandDoc> docs = makeDocs();
  return docs;
}

std::vector<std::pair<std::string, std::string>> commandTerms(const std::string& name) {
  std::vector<std::pair<std::string, std::string>> out;
  if (const OptionTable* table = optionTableOf(name)) {
    for (const OptionDecl& d : *table) out.emplace_back(termHead(d), termHelp(d));
  }
  return out;
}

const CommandDoc* commandDoc(const std::string& name) {
  for (const CommandDoc& d : commandDocs()) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

std::string commandHelpText(const std::string& name, const std::string& usage,
                            const std::string& summary, bool needsLink) {
  std::string out = say("usage:", "用法：") + "\n";
  out += folded(std::string("plenar ") + (needsLink ? "LINK " : "") + usage, "  ", 4);
  out += folded(summary, "  ", 2);
  const CommandDoc* doc = commandDoc(name);
  const auto terms = commandTerms(name);
  if (!terms.empty()) {
    out += "\n";
    for (const auto& [term, text] : terms) {
      std::string head = "  " + term;
      if (head.size() < 24) {
        head.resize(24, ' ');
        out += folded(text, head, 24);
      } else {
        out += head + "\n" + folded(text, std::string(24, ' '), 24);
      }
    }
  }
  if (doc)
    out += "\n" + say("example:", "示例：") + "\n" + folded("plenar " + doc->example, "  ", 4);
  if (needsLink) out += "\n" + folded(say(kLinkText), "", 0);
  return out;
}

}  // namespace plenar::cli
