// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliArgs.h"
#include "cli/CliTexts.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <string_view>

#include "app/Language.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "shared/Nearest.h"
#include "shared/RateCodes.h"

// Set by the build from the install layout: where the schema of the --json document is installed.
#ifndef PLENAR_SCHEMA_FILE
#define PLENAR_SCHEMA_FILE "/usr/share/plenar/plenar-result.schema.json"
#endif

namespace plenar::cli {

long long parseInteger(const std::string& text, const std::string& what, long long min,
                       long long max) {
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
    throw UsageError(say("%1: '%2' is not a number", "%1：'%2' 不是数字", {what, text}),
                     "option-value");
  }
  if (value < min || value > max) {
    throw UsageError(say("%1: %2 is outside %3..%4", "%1：%2 超出 %3..%4",
                         {what, text, std::to_string(min), std::to_string(max)}),
                     "option-value");
  }
  return value;
}

std::string checkedRateText(const std::string& option, const std::string& text) {
  const auto rate = parseRateText(text);
  if (!rate || !rateToCode(*rate)) {
    std::string rates;
    for (const RateCode& r : kRateCodes)
      rates += (rates.empty() ? "" : ", ") + std::to_string(r.rate);
    throw UsageError(
        say("%1: '%2' is not one of %3", "%1：'%2' 不是 %3 之一", {option, text, rates}),
        "option-value");
  }
  return std::to_string(*rate);
}

std::optional<std::string> ArgList::takeOption(const std::string& name) {
  if (table_) declared(name);  // a command asks only for what it declares
  asked_.push_back(name);
  const std::string withValue = name + "=";
  for (size_t i = 0; i < args_.size(); ++i) {
    if (args_[i] == name) {
      if (i + 1 >= args_.size())
        throw UsageError(say("%1 needs a value", "%1 需要一个值", {name}), "missing-argument");
      std::string value = args_[i + 1];
      args_.erase(args_.begin() + i, args_.begin() + i + 2);
      return value;
    }
    if (args_[i].starts_with(withValue)) {
      std::string value = args_[i].substr(withValue.size());
      args_.erase(args_.begin() + i);
      return value;
    }
  }
  return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> ArgList::takeOptionPair(
    const std::string& name) {
  if (table_) declared(name);
  asked_.push_back(name);
  for (size_t i = 0; i < args_.size(); ++i) {
    if (args_[i] != name) continue;
    if (i + 2 >= args_.size())
      throw UsageError(say("%1 needs two values", "%1 需要两个值", {name}), "missing-argument");
    auto value = std::make_pair(args_[i + 1], args_[i + 2]);
    args_.erase(args_.begin() + i, args_.begin() + i + 3);
    return value;
  }
  return std::nullopt;
}

bool ArgList::takeFlag(const std::string& name) {
  if (table_) declared(name);
  asked_.push_back(name);
  for (size_t i = 0; i < args_.size(); ++i) {
    if (args_[i] == name) {
      args_.erase(args_.begin() + i);
      return true;
    }
  }
  return false;
}

std::optional<long long> ArgList::takeInt(const std::string& name, long long min, long long max) {
  auto v = takeOption(name);
  if (!v) return std::nullopt;
  return parseInteger(*v, name, min, max);
}

std::vector<std::string> ArgList::positionals() const {
  std::vector<std::string> out;
  bool onlyPositional = false;
  for (const auto& a : args_) {
    if (!onlyPositional && a == "--") {
      onlyPositional = true;
      continue;
    }
    if (!onlyPositional && a.size() > 2 && a.rfind("--", 0) == 0) {
      // The command's own options (those it asked for) and the shared ones, which may stand
      // anywhere on the line.
      std::vector<std::string> known = asked_;
      known.insert(known.end(), commonOptionNames().begin(), commonOptionNames().end());
      const std::string hint = suggestion(nearestSpellings(a.substr(0, a.find('=')), known));
      throw UsageError(unknownOption(a, hint), "unknown-option");
    }
    out.push_back(a);
  }
  return out;
}

std::vector<std::string> ArgList::expect(std::size_t count, const std::string& usage) const {
  auto p = positionals();
  if (p.size() != count) {
    throw UsageError(say("usage: plenar %1", "用法：plenar %1", {usage_.empty() ? usage : usage_}),
                     "argument-count");
  }
  return p;
}

void parseNetAddress(const std::string& text, LinkSnapshot& link) {
  auto colon = text.rfind(':');
  link.kind = LinkKind::Network;
  if (colon == std::string::npos) {
    link.ipAddress = text;
    link.udpPort = 5100;
  } else {
    link.ipAddress = text.substr(0, colon);
    link.udpPort = static_cast<int>(parseInteger(text.substr(colon + 1), "--net port", 1, 65535));
  }
  if (link.ipAddress.empty())
    throw UsageError(say("--net needs an address", "--net 需要一个地址"), "missing-argument");
  // The forms the link itself takes (inet_addr's), refused before anything opens. The limited
  // broadcast address is no printer's.
  if (::inet_addr(link.ipAddress.c_str()) == INADDR_NONE) {
    throw UsageError(
        say("--net: '%1' is not an IPv4 address", "--net：'%1' 不是 IPv4 地址", {link.ipAddress}),
        "option-value");
  }
}

namespace {

bool isHexCode(std::string_view part, std::string_view prefix) {
  if (part.size() != prefix.size() + 4) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(part[i])) != prefix[i]) return false;
  }
  for (char c : part.substr(prefix.size())) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

void checkUsbEntry(const std::string& entry) {
  // VID_xxxx&PID_yyyy, then at most one third part (SN_..., PORT_..., or a bare serial number or
  // bus-port). Anything else would be read as another printer's choice, or as none.
  std::vector<std::string_view> parts;
  std::string_view rest = entry;
  for (;;) {
    const auto amp = rest.find('&');
    parts.push_back(rest.substr(0, amp));
    if (amp == std::string_view::npos) break;
    rest.remove_prefix(amp + 1);
  }
  const bool ok =
      (parts.size() == 2 || parts.size() == 3) && isHexCode(parts[0], "VID_") &&
      isHexCode(parts[1], "PID_") &&
      (parts.size() == 2 || (!parts[2].empty() && parts[2].find('#') == std::string_view::npos));
  if (!ok) {
    throw UsageError(say("--usb: '%1' is not a USB printer entry: VID_xxxx&PID_yyyy, or one "
                         "list-usb shows (VID_xxxx&PID_yyyy&SN_... or &PORT_...)",
                         "--usb：'%1' 不是 USB 打印机的写法：应为 VID_xxxx&PID_yyyy，或 list-usb "
                         "列出的一项（VID_xxxx&PID_yyyy&SN_... 或 &PORT_...）",
                         {entry}),
                     "option-value");
  }
}

int commandLanguage(const CommonOptions& options) {
  if (options.language) return *options.language;
  const int stored = IniFile(options.paths.settingsFile()).readInt("MainDefault", "Language", -1);
  if (stored >= 0) return stored;
  return localeLanguage([](const char* name) -> const char* { return std::getenv(name); });
}

CommonOptions parseCommonOptions(const std::vector<std::string>& argv) {
  CommonOptions o;
  ArgList args(argv);
  // The language first: every refusal of the command line comes in it.
  o.paths = programPaths(args.takeOption("--dir"));
  if (auto v = args.takeOption("--lang")) {
    if (*v == "zh") {
      o.language = 0;
    } else if (*v == "en") {
      o.language = 1;
    } else {
      chooseChinese(commandLanguage(o) == 0);
      throw UsageError(say("--lang takes zh or en", "--lang 只接受 zh 或 en"), "option-value");
    }
  }
  chooseChinese(commandLanguage(o) == 0);
  int links = 0;
  if (auto v = args.takeOption("--serial")) {
    if (v->empty())
      throw UsageError(say("--serial needs a port", "--serial 需要一个端口"), "missing-argument");
    o.link.kind = LinkKind::Serial;
    o.link.serialPort = *v;
    ++links;
  }
  if (auto v = args.takeOption("--net")) {
    parseNetAddress(*v, o.link);
    ++links;
  }
  if (auto v = args.takeOption("--usb")) {
    checkUsbEntry(*v);
    o.link.kind = LinkKind::Usb;
    o.link.usbDevice = *v;
    ++links;
  }
  if (auto v = args.takeInt("--lpt", 1, 255)) {
    o.link.kind = LinkKind::Parallel;
    o.link.lptNumber = static_cast<int>(*v);
    ++links;
  }
  if (links > 1)
    throw UsageError(say("choose one link: --serial, --net, --usb or --lpt",
                         "只能选一种连接：--serial、--net、--usb 或 --lpt"),
                     "conflicting-options");
  o.linkGiven = links == 1;
  // Only the rates the printer has a code for: anything else is a wrong command line, refused
  // before a port is opened.
  if (auto v = args.takeOption("--device-baud"))
    o.link.deviceBaudText = checkedRateText("--device-baud", *v);
  if (auto v = args.takeOption("--transfer-baud"))
    o.link.transferBaudText = checkedRateText("--transfer-baud", *v);
  // Both spellings are taken out, so that "--help -h" leaves nothing behind.
  const bool longHelp = args.takeFlag("--help");
  o.help = args.takeFlag("-h") || longHelp;
  o.showPaths = args.takeFlag("--paths");
  const bool longVersion = args.takeFlag("--version");
  o.version = args.takeFlag("-V") || longVersion;
  o.pretty = args.takeFlag("--pretty");
  o.json = args.takeFlag("--json") || o.pretty;
  o.events = args.takeFlag("--events");
  // What is left starts with the command's name; the rest is the command's own.
  std::vector<std::string> left = args.remaining();
  if (!left.empty()) {
    if (left.front().rfind("-", 0) == 0 && left.front() != "--" && left.front() != "-") {
      const std::string& word = left.front();
      const std::string hint = suggestion(nearestSpellings(word, commonOptionNames()));
      throw UsageError(unknownOption(word, hint), "unknown-option");
    }
    o.command = left.front();
    o.rest.assign(left.begin() + 1, left.end());
  }
  return o;
}

const std::vector<std::string>& commonOptionNames() {
  static const std::vector<std::string> names{
      "--serial", "--device-baud", "--transfer-baud", "--net",  "--usb",
      "--lpt",    "--dir",         "--lang",          "--json", "--pretty",
      "--events", "--paths",       "--version",       "-V",     "--help",
      "-h"};
  return names;
}

std::vector<std::string> nearestSpellings(const std::string& word,
                                          const std::vector<std::string>& candidates) {
  std::vector<std::string> near = nearestWords(word, candidates);
  if (!near.empty()) return near;
  // Two neighbouring letters typed the wrong way round ("tset") count as one slip here; the
  // edit distance alone makes them two, too far for a short word.
  for (std::size_t i = 0; i + 1 < word.size(); ++i) {
    std::string swapped = word;
    std::swap(swapped[i], swapped[i + 1]);
    for (const std::string& c : candidates) {
      if (c == swapped && std::find(near.begin(), near.end(), c) == near.end()) near.push_back(c);
    }
  }
  return near;
}

std::string commonOptionsHelp() {
  return say(
      "Link and program options (any command that talks to the printer):\n"
      "  --serial PORT         serial port, a device path such as /dev/ttyUSB0\n"
      "                        (COMn means /dev/ttyS(n-1))\n"
      "  --device-baud N       the printer's stored rate (default 9600)\n"
      "  --transfer-baud N     the rate used during a command (default 115200)\n"
      "  --net ADDR[:PORT]     network link over UDP (port default 5100)\n"
      "  --usb ID              USB printer: VID_xxxx&PID_yyyy (the first of the model)\n"
      "                        or as list-usb shows it (exactly that printer)\n"
      "  --lpt N               parallel port N (LPTn, /dev/lp(n-1))\n"
      "  --dir DIR             keep sysconfig.ini, debug.log, the language files,\n"
      "                        1.bin and 2.bin in DIR (default: next to the program\n"
      "                        when the language files are there, else\n"
      "                        ~/.config/plenar and ~/.local/state/plenar;\n"
      "                        --paths shows them)\n"
      "  --lang zh|en          language of the texts (default: Language in\n"
      "                        sysconfig.ini, else the locale: LC_ALL, LC_MESSAGES,\n"
      "                        LANG; zh* is Chinese)\n"
      "  --json                answer with one JSON document on stdout, for success and\n"
      "                        failure alike; its schema is installed as\n"
      "                        " PLENAR_SCHEMA_FILE
      "\n"
      "  --pretty              the same, indented\n"
      "  --events              every line on stderr is a JSON event: one per progress\n"
      "                        step (transfers, apply, batch) and one per status\n"
      "                        text, warning and error, usage errors included\n"
      "  --paths               print where each file is kept, and exit\n"
      "  -V, --version         print the version, and exit\n"
      "  --help                this text\n",
      "连接和程序选项（与打印机通信的命令都可用）：\n"
      "  --serial PORT         串口，设备路径，如 /dev/ttyUSB0（COMn 即 /dev/ttyS(n-1)）\n"
      "  --device-baud N       打印机保存的波特率（默认 9600）\n"
      "  --transfer-baud N     命令执行时使用的波特率（默认 115200）\n"
      "  --net ADDR[:PORT]     经 UDP 的网络连接（端口默认 5100）\n"
      "  --usb ID              USB 打印机：VID_xxxx&PID_yyyy（该型号的第一台）\n"
      "                        或 list-usb 列出的写法（正是那一台）\n"
      "  --lpt N               并口 N（LPTn，/dev/lp(n-1)）\n"
      "  --dir DIR             sysconfig.ini、debug.log、语言文件、1.bin 和 2.bin\n"
      "                        放在 DIR 中（默认：语言文件在程序旁时为程序所在\n"
      "                        文件夹，否则为 ~/.config/plenar 和\n"
      "                        ~/.local/state/plenar；--paths 可查看）\n"
      "  --lang zh|en          文字的语言（默认：sysconfig.ini 中的 Language，\n"
      "                        否则按区域设置：LC_ALL、LC_MESSAGES、LANG；zh* 为中文）\n"
      "  --json                在 stdout 上以一个 JSON 文档作答，成功失败都是；\n"
      "                        其结构说明安装在\n"
      "                        " PLENAR_SCHEMA_FILE
      "\n"
      "  --pretty              同上，带缩进\n"
      "  --events              stderr 上每行都是一个 JSON 事件：每个进度步骤\n"
      "                        （传输、apply、batch）一个，每条状态、警告和错误\n"
      "                        文字一个，用法错误也在内\n"
      "  --paths               列出各文件的存放位置后退出\n"
      "  -V, --version         显示版本后退出\n"
      "  --help                本说明\n");
}

bool wantsJson(const std::vector<std::string>& argv) {
  for (const auto& a : argv) {
    if (a == "--") break;
    if (a == "--json" || a == "--pretty") return true;
  }
  return false;
}

}  // namespace plenar::cli
