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

OptionDecl setOption(Said help) {
  OptionDecl d = repeated(text("--set", "KEY=VALUE", help, Completion::ProfileKey));
  d.kind = K::KeyValue;
  return d;
}

OptionDecl profileArgument(Said help) {
  return text("PROFILE.ini", "PROFILE.ini", help, Completion::Ini);
}

OptionTable apply() {
  OptionDecl device =
      text("--device", "NAME SERIAL",
           {"the device name and serial number of this printer", "本打印机的设备名称和序列号"});
  device.kind = K::Pair;
  return {
      setOption(
          {"a value for this printer on top of the profile", "在配置文件之上为本打印机设的值"}),
      device,
      file("--record", "FILE",
           {"the record to compare with and keep (default: one per link in the state folder)",
            "用来比较并保存的记录（默认：状态文件夹中每个连接一份）"}),
      flag("--force", {"send every group, whatever the record says", "无论记录如何，发送每一组"}),
      text("--record-dir", "DIR", {"keep the records in DIR", "记录保存在 DIR 中"},
           Completion::Dir),
      flag("--verify",
           {"identify the printer even when the record matches", "即使记录相符也识别打印机"}),
      text("--wait", "SECONDS",
           {"wait for another apply to the same printer (default 5)",
            "等待对同一打印机的另一次 apply（默认 5）"}),
      flag("--force-firmware", {"as firmware --force-firmware", "同 firmware --force-firmware"}),
      grouped(flag("--plan", {"print every request, byte for byte; send nothing",
                              "逐字节列出每个请求，不发送"}),
              "dry"),
      grouped(flag("--check", {"print what would change, from the record; send nothing",
                               "按记录列出将要改变的内容，不发送"}),
              "dry"),
      profileArgument({"the profile (plenar-profile(5))", "配置文件（plenar-profile(5)）"}),
  };
}

OptionTable batch() {
  return {
      required(text("--name", "PATTERN",
                    {"the device name: {n} is the serial number, {n:W} with at least W digits; "
                     "must fit the printer's 20-byte field for every number, else refused before "
                     "the first",
                     "设备名称：{n} 为序列号，{n:W} 至少 W 位；每个序列号都须放得进打印机的 20 "
                     "字节字段，否则在第一台之前就拒绝"})),
      text("--serial-from", "N",
           {"the first serial number of a new state file (leading zeros keep the width)",
            "新状态文件的第一个序列号（前导零保持位数）"}),
      number("--step", "K", -1000000000, 1000000000,
             {"added to the serial number after each printer (default 1; may be negative)",
              "每台打印机之后序列号的增量（默认 1，可为负数）"}),
      text("--serial-glob", "GLOB",
           {"serial ports to watch, e.g. '/dev/ttyUSB*'; a port that appears is a printer (at "
            "--device-baud); with --net ADDR instead, the factory address",
            "要监视的串口，如 '/dev/ttyUSB*'；新出现的端口即一台打印机（按 --device-baud）；"
            "改用 --net ADDR 则监视出厂地址"}),
      flag("--usb-watch",
           {"watch USB instead: a printer that is plugged in and listed by the USB filter texts "
            "of sysconfig.ini (else those with 811E) is set up through its three-part identifier",
            "改为监视 USB：插入且符合 sysconfig.ini 中 USB 过滤文字（否则为含 811E 者）的打印机，"
            "按其三段标识设置"}),
      repeated(text("--usb-filter", "TEXT",
                    {"with --usb-watch, these filter texts instead",
                     "与 --usb-watch 同用，改用这些过滤文字"})),
      file("--state", "FILE",
           {"the counter: each number is written there before it is sent, so no two printers "
            "get one (default: batch/state.json in the state folder); a new one starts only past "
            "every number its record folder (beside it: state.records for state.json) holds",
            "计数文件：每个序列号先写入此处再发送，不会有两台打印机得到同一个号（默认：状态文件夹中"
            "的 "
            "batch/state.json）；新文件只从其记录文件夹（在旁边：state.json 对应 state.records）"
            "中所有序列号之后开始"}),
      file("--report", "FILE",
           {"a line per printer: JSON lines, or CSV when FILE ends in .csv",
            "每台打印机一行：JSON 行，FILE 以 .csv 结尾时为 CSV"}),
      number("--count", "N", 1, 1000000000, {"stop after N printers", "设置 N 台打印机后停止"}),
      flag("--reuse-failed",
           {"hand out again, lowest first, the numbers of failed printers whose device group "
            "(name and serial number) never went out; a number a printer holds or may hold never",
            "从小到大重新分配失败打印机的序列号，但仅限其设备组（名称和序列号）从未发出的；"
            "打印机已有或可能已有的序列号绝不重用"}),
      flag("--present", {"set up the printers attached now, one after another, then stop",
                         "依次设置当前已连接的打印机，然后停止"}),
      setOption({"as apply --set", "同 apply --set"}),
      profileArgument({"the profile every printer gets (plenar-profile(5))",
                       "每台打印机都得到的配置文件（plenar-profile(5)）"}),
  };
}

}  // namespace

void addFileOptionTables(std::vector<std::pair<std::string, OptionTable>>& out) {
  const OptionDecl address =
      required(text("--address", "HEX", {"the hexadecimal start address", "十六进制起始地址"}));
  out.emplace_back("font",
                   OptionTable{address, file("FILE", "FILE", {"the font file", "字库文件"})});
  out.emplace_back("logo-download",
                   OptionTable{flag("--raw", {"store them with the 1C 71 command (2.bin)",
                                              "用 1C 71 命令保存（2.bin）"}),
                               counted(file("BMP", "BMP",
                                            {"monochrome BMP images, stored as logos 1, 2, ...",
                                             "单色 BMP 图片，依次存为 1、2……号 LOGO"}),
                                       kOneOrMore)});
  out.emplace_back("logo-print", OptionTable{text("N[,N...]", "N[,N...]",
                                                  {"logo numbers, 1..255", "LOGO 编号，1..255"})});
  out.emplace_back("read-back",
                   OptionTable{address,
                               required(number("--length", "N", 0, INT_MAX,
                                               {"bytes to read", "要读取的字节数"})),
                               file("OUTFILE", "OUTFILE",
                                    {"the file written; - writes the bytes to standard output",
                                     "写入的文件；- 表示写到标准输出"})});
  out.emplace_back(
      "firmware",
      OptionTable{
          text("--wait", "SECONDS",
               {"how long the printer takes to restart (default 5)",
                "打印机重启所需的秒数（默认 5）"}),
          flag("--force-firmware",
               {"send a program file that carries no model tag; one tagged for another model is "
                "still refused",
                "发送不带型号标记的程序文件；标记为其他型号的仍被拒绝"}),
          file("FILE", "FILE", {"the printer's program", "打印机程序"})});
  out.emplace_back("boot",
                   OptionTable{number("--passes", "N", 1, kBootHandshakePasses,
                                      {"handshake passes before giving up", "放弃前握手的次数"})});
}

void addProfileOptionTables(std::vector<std::pair<std::string, OptionTable>>& out) {
  out.emplace_back("apply", apply());
  out.emplace_back("batch", batch());
  OptionDecl keys = text("keys", "keys",
                         {"every key, its group, stage, default and accepted values",
                          "每个键及其组、阶段、默认值和可接受的值"});
  keys.words = {"keys"};
  out.emplace_back("profile", OptionTable{keys});
  out.emplace_back("list-ports", OptionTable{});
  out.emplace_back("list-lpt", OptionTable{});
  out.emplace_back("list-usb", OptionTable{});
  out.emplace_back(
      "run-code",
      OptionTable{number("--value1", "N", INT_MIN, INT_MAX, {"its first value", "第一个值"}),
                  number("--value2", "N", INT_MIN, INT_MAX, {"its second value", "第二个值"}),
                  text("CODE", "CODE", {"the worker's command code", "工作线程的命令代码"})});
}

}  // namespace plenar::cli
