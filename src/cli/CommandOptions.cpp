// SPDX-License-Identifier: GPL-3.0-or-later
// The options and arguments of the link test and of the basic, Bluetooth and Wi-Fi settings, in
// the window's tab order. What a value accepts comes from the key's row (KeyValues).

#include "cli/OptionDecls.h"

namespace plenar::cli {
namespace {

using namespace decl;
using K = ValueKind;

const Said kPasswordFile{"read the password from FILE, readable by its owner only",
                         "从 FILE 读取密码，该文件只能由其所有者读取"};
const Said kPasswordInput{
    "read the password from standard input (at a terminal: asked for, without echo)",
    "从标准输入读取密码（在终端上会提示输入，不回显）"};

OptionTable passwordOptions() {
  OptionDecl file =
      grouped(text("--password-file", "FILE", kPasswordFile, Completion::File), "password");
  OptionDecl input = grouped(text("--password", "-", kPasswordInput), "password");
  return {file, input};
}

OptionTable switchOptions() {
  return {
      keyed("--density", "D", K::Choice, "Dark", {"print density", "打印浓度"}),
      keyed("--font", "F", K::Choice, "FontValue", {"the font", "字体"}),
      keyed("--cutter", "on|off", K::Choice, "CutPaper", {"the cutter", "切刀"}),
      keyed("--buzzer", "on|off", K::Choice, "buzzer", {"the buzzer", "蜂鸣器"}),
      keyed("--feed", "LF|CR", K::Choice, "ForcePaper",
            {"the line-feed character: line feed (LF) or carriage return (CR)",
             "换行字符：换行（LF）或回车（CR）"}),
  };
}

OptionTable setAll() {
  OptionTable t = switchOptions();
  t.push_back(keyed("--codepage", "ITEM", K::Choice, "CodePage",
                    {"the code page (default CP437)", "代码页（默认 CP437）"}));
  t.push_back(keyed("--baud", "RATE", K::Choice, "BaudRate",
                    {"the serial rate (default 9600)", "串口波特率（默认 9600）"}));
  t.push_back(keyed("--sleep", "S", K::Number, "sleepTime",
                    {"seconds until sleep (default 60)", "进入休眠前的秒数（默认 60）"}));
  t.push_back(keyed("--poweroff", "S", K::Number, "poweroffTime",
                    {"seconds until power-off (default 7200)", "自动关机前的秒数（默认 7200）"}));
  return t;
}

OptionTable bluetooth() {
  OptionTable t{
      keyed("--name", "N", K::Text, "BlueToolthName", {"the Bluetooth name", "蓝牙名称"}),
      keyed("--dual-name", "N", K::Text, "MulBlueToolthName", {"the dual-mode name", "双模名称"}),
  };
  for (const OptionDecl& d : passwordOptions()) t.push_back(d);
  t.push_back(keyed("--model", "N", K::Text, "BlueToolthType"));
  t.push_back(keyed("--mode", "", K::Choice, "BlueToolthMode",
                    {"no Bluetooth, single or dual mode", "无蓝牙、单模或双模"}));
  t.push_back(keyed("--auth", "0..2", K::Choice, "BlueToolthCheck",
                    {"0 password required, 1 or 2 no password", "0 需要密码，1 或 2 不需要密码"}));
  return t;
}

OptionTable wifiStation() {
  OptionTable t{keyed("--ssid", "S", K::Text, "SSID", {"the network to join", "要加入的网络"})};
  for (const OptionDecl& d : passwordOptions()) t.push_back(d);
  t.push_back(flag("--dhcp", {"a dynamic address; takes no --ip, --mask or --gateway",
                              "动态地址；不可与 --ip、--mask、--gateway 同用"}));
  t.push_back(keyed("--ip", "A", K::Text, "IPaddress", {"a static address", "静态地址"}));
  t.push_back(keyed("--mask", "M", K::Text, "Maskaddress", {"its subnet mask", "其子网掩码"}));
  t.push_back(keyed("--gateway", "G", K::Text, "Gatewayaddress", {"its gateway", "其网关"}));
  t.push_back(keyed("--port", "N", K::Text, "Port", {"the printer's port", "打印机的端口"}));
  return t;
}

}  // namespace

void addSettingsOptionTables(std::vector<std::pair<std::string, OptionTable>>& out) {
  out.emplace_back("test", OptionTable{});
  out.emplace_back("set-baud", OptionTable{keyed("RATE", "RATE", K::Choice, "BaudRate")});
  out.emplace_back("set-flow", OptionTable{keyed("MODE", "", K::Choice, "Flowcontrol",
                                                 {"software (XON/XOFF) or hardware (RTS/CTS)",
                                                  "软件（XON/XOFF）或硬件（RTS/CTS）"})});
  out.emplace_back("set-codepage",
                   OptionTable{keyed("ITEM", "ITEM", K::Choice, "CodePage",
                                     {"the list text (\"CP437:USA/Standard Europe\") or the name "
                                      "before it (CP437, ISO-8859-1)",
                                      "列表文字（\"CP437:USA/Standard Europe\"）或其前面的名称"
                                      "（CP437、ISO-8859-1）"})});
  out.emplace_back("set-switches", switchOptions());
  out.emplace_back(
      "set-times",
      OptionTable{keyed("SLEEP", "SLEEP", K::Number, "sleepTime",
                        {"seconds until the printer sleeps", "打印机进入休眠前的秒数"}),
                  keyed("POWEROFF", "POWEROFF", K::Number, "poweroffTime",
                        {"seconds until it switches off", "自动关机前的秒数"})});
  out.emplace_back("set-all", setAll());
  out.emplace_back("reset-defaults", OptionTable{});
  out.emplace_back("bluetooth", bluetooth());
  out.emplace_back("bt-workmode",
                   OptionTable{keyed("MODE", "", K::Choice, "BlueToolthWorkMode",
                                     {"high-speed or normal mode", "高速或普通模式"})});
  out.emplace_back("bt-commands", OptionTable{counted(text("LINE", "LINE",
                                                           {"the module's command lines, sent in "
                                                            "order",
                                                            "模块的命令行，按顺序发送"}),
                                                      kAnyNumber)});
  OptionTable ap{keyed("NAME", "NAME", K::Text, "NetworkName", {"the broadcast name", "广播名称"})};
  ap.push_back(text("--password-file", "FILE", kPasswordFile, Completion::File));
  ap.push_back(
      optional(keyed("PASSWORD", "PASSWORD", K::Text, "NetworkPsw",
                     {"- reads it from standard input (at a terminal: asked for, "
                      "without echo); a password written here others can read while "
                      "plenar runs",
                      "- 表示从标准输入读取（在终端上会提示输入，不回显）；写在这里的密码，"
                      "plenar 运行期间别人也能看到"})));
  out.emplace_back("wifi-ap", ap);
  out.emplace_back("wifi-off", OptionTable{});
  out.emplace_back("wifi-sta", wifiStation());
}

}  // namespace plenar::cli
