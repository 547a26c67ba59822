// SPDX-License-Identifier: GPL-3.0-or-later
// The settings buttons of the parameter window as plenar commands. Each command builds its
// request with the same builder the window uses; a field check that refuses prints the window's
// message and exits 65 before anything reaches the printer.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/ApplyJson.h"
#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/CliTexts.h"
#include "cli/FieldLimits.h"
#include "cli/PasswordInput.h"
#include "cli/RunReport.h"
#include "commands/RequestBytes.h"
#include "commands/Routines.h"
#include "profile/KeyValues.h"
#include "requests/BasicRequests.h"
#include "requests/BlackMarkRequests.h"
#include "requests/Choices.h"
#include "requests/CustomDataRequests.h"
#include "requests/DeviceRequests.h"
#include "requests/FileActions.h"
#include "requests/NetworkRequests.h"
#include "requests/OptionLists.h"
#include "requests/WirelessRequests.h"
#include "shared/Errors.h"
#include "shared/SecretMask.h"
#include "shared/SharedTexts.h"

namespace plenar::cli {
namespace {

// An argument that fills one of the window's edits, checked against that edit's limits. A
// refused password is not repeated in the message.
bool isPassword(const char* name) {
  return std::string_view(name) == "--password" || std::string_view(name) == "PASSWORD" ||
         std::string_view(name) == "--password-file";
}
std::string edit(const std::string& value, const char* name, FieldFilter filter,
                 std::size_t maxChars = 0) {
  checkFieldLimit(value, {name, filter, maxChars, isPassword(name)});
  return value;
}

// A declared option that fills an edit: its value held to its key's limits.
std::optional<std::string> keyText(ArgList& a, const std::string& name,
                                   const std::optional<std::string>& value) {
  if (value) a.keyText(name, *value);
  return value;
}
std::optional<std::string> keyText(ArgList& a, const std::string& name) {
  return keyText(a, name, a.takeOption(name));
}

// Runs a built request, or stops with the window's message.
int perform(CliSession& session, BuildResult result) {
  if (auto* refusal = std::get_if<Refusal>(&result)) {
    throw InputRefused(refusal->message, FailureKind::Refused, {}, refusal->code);
  }
  if (auto* none = std::get_if<NoAction>(&result)) {
    throw InputRefused(say("Nothing to do: %1", "无需操作：%1", {none->reason}),
                       FailureKind::Refused, {}, "nothing-to-do");
  }
  if (!session.prepareChannelsOrReport()) return kExitFailed;
  CommandRequest& request = std::get<CommandRequest>(result);
  request.link = session.options().link;
  // What went out, as --plan of a profile shows it.
  Json bytes = Json::array();
  for (const auto& message : requestWireBytes(request)) {
    bytes.push_back(maskedHex(message, request.secrets));
  }
  session.options().report->result() = {
      {"code", request.code}, {"bytes", std::move(bytes)}, {"confirmed", printerConfirms(request)}};
  return session.runAfterLinkCheck(std::move(request));
}

// A command whose arguments are read once the session (and with it the language) is in place.
using Builder = std::function<BuildResult(ArgList&)>;

// A settings command: its usage comes from its declared options (CommandOptions*.cpp).
CliCommand command(std::string name, Said summary, Builder build) {
  return {std::move(name),
          {},
          std::move(summary),
          true,
          [build = std::move(build)](const CommonOptions& o, ArgList& args) {
            CliSession session(o);
            BuildResult result = build(args);
            return perform(session, std::move(result));
          }};
}

std::string one(ArgList& args) {
  return args.expect(1, {})[0];
}

// The item the command's one argument, declared as `name`, names.
int oneItem(ArgList& args, const char* name) {
  return args.choose(name, one(args));
}
bool oneSwitch(ArgList& args, const char* name) {
  return oneItem(args, name) == 1;
}

SwitchFields takeSwitches(ArgList& args) {
  SwitchFields f;
  if (auto v = args.takeItem("--density")) f.densityItem = *v;
  if (auto v = args.takeItem("--font")) f.fontItem = *v;
  if (auto v = args.takeItem("--cutter")) f.cutter = *v == 1;
  if (auto v = args.takeItem("--buzzer")) f.buzzer = *v == 1;
  if (auto v = args.takeItem("--feed")) f.feedItem = *v;
  return f;
}

// The address fields check their text when the user leaves them.
void checkField(AddressField field, const std::string& text) {
  if (auto refusal = checkAddressField(field, text)) {
    throw InputRefused(refusal->message, FailureKind::Refused, {}, refusal->code);
  }
}

// An address of four parts: inet_addr's shorter forms ("1.2.3") would reach the request builder
// and be refused there as an empty number, under another code. What a part holds is left to the
// field's own checks.
void checkFourParts(const std::string& text, TextId message, const char* code) {
  std::size_t parts = 0, from = 0;
  bool ok = true;
  while (ok) {
    const std::size_t dot = text.find('.', from);
    const std::string part = text.substr(from, dot == std::string::npos ? dot : dot - from);
    ok = !part.empty();
    ++parts;
    if (dot == std::string::npos) break;
    from = dot + 1;
  }
  if (!ok || parts != 4) {
    throw InputRefused(plenar::text(message), FailureKind::Refused, {}, code);
  }
}

void addBasicCommands(std::vector<CliCommand>& out) {
  out.push_back(command("set-baud", {"set the printer's serial rate", "设置打印机的串口波特率"},
                        [](ArgList& a) { return buildSetBaudRate(oneItem(a, "RATE")); }));
  out.push_back(command("set-flow", {"set software or hardware flow control", "设置软件或硬件流控"},
                        [](ArgList& a) { return buildSetFlowControl(oneItem(a, "MODE")); }));
  out.push_back(command("set-codepage", {"set the code page", "设置代码页"},
                        [](ArgList& a) { return buildSetCodePage(oneItem(a, "ITEM")); }));
  out.push_back(command(
      "set-switches",
      {"set density, font, cutter, buzzer and line feed", "设置打印浓度、字体、切刀、蜂鸣器和换行"},
      [](ArgList& a) {
        SwitchFields f = takeSwitches(a);
        a.expect(0, {});
        return buildSetSwitches(f);
      }));
  out.push_back(command("set-times",
                        {"set sleep and power-off times in seconds", "设置休眠和关机时间（秒）"},
                        [](ArgList& a) {
                          auto p = a.expect(2, {});
                          return buildSetTimes(a.number("SLEEP", p[0]), a.number("POWEROFF", p[1]));
                        }));
  out.push_back(
      command("set-all",
              {"set all basic parameters at once; defaults CP437, 9600, 60 s, 7200 s and those of "
               "set-switches",
               "一次设置全部基本参数；默认 CP437、9600、60 秒、7200 秒及 set-switches 的默认值"},
              [](ArgList& a) {
                SwitchFields f = takeSwitches(a);
                const int codePage = a.takeItem("--codepage").value_or(kDefaultCodePageItem);
                const int baud = a.takeItem("--baud").value_or(3);
                const std::string sleep = a.takeNumber("--sleep").value_or("60");
                const std::string powerOff = a.takeNumber("--poweroff").value_or("7200");
                a.expect(0, {});
                return buildSetAllParameters(codePage, baud, f, sleep, powerOff);
              }));
  out.push_back(
      command("reset-defaults", {"restore the default parameters", "恢复默认参数"}, [](ArgList& a) {
        a.expect(0, {});
        return buildRestoreDefaults();
      }));
}

BuildResult bluetoothRequest(ArgList& a) {
  BluetoothFields f;
  f.name = keyText(a, "--name").value_or("");
  f.dualName = keyText(a, "--dual-name").value_or("");
  f.password = edit(takePassword(a).value_or(""), "--password", FieldFilter::Any,
                    keyValuesOf("BlueToolthPsw")->maxChars);
  if (auto v = keyText(a, "--model")) f.model = *v;
  if (auto v = a.takeItem("--mode")) f.modeItem = *v;
  if (auto v = a.takeItem("--auth")) f.authItem = *v;
  a.expect(0, {});
  return buildSetBluetooth(f);
}

BuildResult stationRequest(ArgList& a) {
  StationFields f;
  using F = FieldFilter;
  f.ssid = keyText(a, "--ssid").value_or("");
  f.password =
      edit(takePassword(a).value_or(""), "--password", F::Any, keyValuesOf("StaModePsw")->maxChars);
  bool dhcp = a.takeFlag("--dhcp");
  auto ip = a.takeOption("--ip");
  auto mask = a.takeOption("--mask");
  auto gateway = a.takeOption("--gateway");
  if (dhcp && (ip || mask || gateway)) {
    throw UsageError(say("wifi-sta: --dhcp takes no --ip, --mask or --gateway",
                         "wifi-sta：--dhcp 不可与 --ip、--mask、--gateway 同用"),
                     "conflicting-options");
  }
  if (auto v = keyText(a, "--port")) f.port = *v;
  a.expect(0, {});
  f.addressing = dhcp ? StationAddressing::Dynamic : StationAddressing::Static;
  if (ip) f.ip = *ip;
  if (mask) f.mask = *mask;
  if (gateway) f.gateway = *gateway;
  if (!dhcp) {
    // The check on leaving the field first, with the window's own message; then what the
    // key filter would have kept out.
    checkField(AddressField::StationIp, f.ip);
    checkField(AddressField::StationMask, f.mask);
    checkField(AddressField::StationGateway, f.gateway);
    a.keyText("--ip", f.ip);
    a.keyText("--mask", f.mask);
    a.keyText("--gateway", f.gateway);
    checkFourParts(f.ip, TextId::IpInvalid, "ip-invalid");
    checkFourParts(f.mask, TextId::MaskInvalid, "mask-invalid");
    checkFourParts(f.gateway, TextId::GatewayInvalid, "gateway-invalid");
  }
  return buildWifiStation(f);
}

BuildResult accessPointRequest(ArgList& a) {
  const auto file = a.takeOption("--password-file");
  const auto p = a.expect(file ? 1 : 2, {});
  const std::string password =
      file ? readPassword(*file, "--password-file") : passwordArgument(p[1], "PASSWORD");
  return buildWifiAccessPoint(a.keyText("NAME", p[0]), a.keyText("PASSWORD", password));
}

void addWirelessCommands(std::vector<CliCommand>& out) {
  out.push_back(command("bluetooth",
                        {"set the Bluetooth name, password, model, mode and authentication",
                         "设置蓝牙名称、密码、型号、模式和鉴权"},
                        bluetoothRequest));
  out.push_back(command("bt-workmode",
                        {"Bluetooth module high-speed or normal mode", "蓝牙模块高速或普通模式"},
                        [](ArgList& a) { return buildBluetoothWorkMode(oneItem(a, "MODE")); }));
  out.push_back(command("bt-commands",
                        {"send Bluetooth module command lines", "发送蓝牙模块命令行"},
                        [](ArgList& a) { return buildBluetoothCommands(a.positionals()); }));
  out.push_back(
      command("wifi-ap",
              {"Wi-Fi access-point mode: broadcast name and password (PASSWORD as an "
               "argument still works, but others can read it while it runs)",
               "WIFI 热点模式：广播名称和密码（仍可把 PASSWORD 作为参数，但运行期间别人能看到）"},
              accessPointRequest));
  out.push_back(command("wifi-off", {"switch Wi-Fi off", "关闭 WIFI"}, [](ArgList& a) {
    a.expect(0, {});
    return buildWifiOff();
  }));
  out.push_back(command(
      "wifi-sta",
      {"Wi-Fi station mode with a dynamic or static address", "WIFI 客户端模式，动态或静态地址"},
      stationRequest));
}

// An address argument: the edit's limits, the check on leaving the field, four parts.
std::string addressArgument(ArgList& a, std::optional<AddressField> field, TextId message,
                            const char* code) {
  std::string address = a.keyText("ADDR", one(a));
  if (field) checkField(*field, address);
  checkFourParts(address, message, code);
  return address;
}

void addNetworkCommands(std::vector<CliCommand>& out) {
  out.push_back(
      command("net-ip", {"set the Ethernet IP address", "设置以太网 IP 地址"}, [](ArgList& a) {
        return buildNetworkAddress(
            addressArgument(a, AddressField::NetworkIp, TextId::IpInvalid, "ip-invalid"));
      }));
  out.push_back(
      command("net-mask", {"set the Ethernet subnet mask", "设置以太网子网掩码"}, [](ArgList& a) {
        return buildNetworkMask(
            addressArgument(a, AddressField::NetworkMask, TextId::MaskInvalid, "mask-invalid"));
      }));
  out.push_back(
      command("net-gateway", {"set the Ethernet gateway", "设置以太网网关"}, [](ArgList& a) {
        return buildNetworkGateway(
            addressArgument(a, std::nullopt, TextId::GatewayInvalid, "gateway-invalid"));
      }));
  // A number outside its range is a wrong value on the command line, as for every other
  // number a settings command takes.
  out.push_back(command("net-port", {"set the Ethernet port", "设置以太网端口"},
                        [](ArgList& a) { return buildNetworkPort(a.number("N", one(a))); }));
  out.push_back(command(
      "net-mac",
      {"set the last four bytes of the Ethernet MAC address", "设置以太网 MAC 地址的后四个字节"},
      [](ArgList& a) {
        auto p = a.expect(4, {});
        for (const auto& box : p) {
          edit(box, "XX", FieldFilter::Any, field::kMacBoxChars);
          if (box.empty() || box.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            throw InputRefused(
                say("XX: '%1' is not a hexadecimal byte", "XX：'%1' 不是十六进制字节", {box}),
                FailureKind::Refused, "XX", "hex-invalid");
          }
        }
        return buildNetworkMac({p[0], p[1], p[2], p[3]});
      }));
  out.push_back(command("ethernet", {"switch the Ethernet port on or off", "打开或关闭以太网口"},
                        [](ArgList& a) { return buildEthernetSwitch(oneSwitch(a, "SWITCH")); }));
}

void addDeviceCommands(std::vector<CliCommand>& out) {
  out.push_back(command("infrared", {"set the infrared port", "设置红外口"}, [](ArgList& a) {
    const int baud = a.takeItem("--baud").value_or(0);
    const int protocol = a.takeItem("--protocol").value_or(0);
    return buildSetInfrared(baud, oneSwitch(a, "SWITCH"), protocol);
  }));
  out.push_back(command(
      "device", {"set the device name and serial number", "设置设备名称和序列号"}, [](ArgList& a) {
        auto p = a.expect(2, {});
        return buildSetDevice(edit(p[0], "NAME", FieldFilter::Any, field::kNameChars),
                              edit(p[1], "SERIAL", FieldFilter::Digits, field::kNameChars));
      }));
  out.push_back(command(
      "usb-type", {"USB virtual serial port or USB printer port", "USB 虚拟串口或 USB 打印端口"},
      [](ArgList& a) { return buildSetDeviceOption(DeviceOption::UsbType, oneItem(a, "TYPE")); }));
  out.push_back(command("paper-type",
                        {"thermal receipt or thermal label paper", "热敏小票纸或热敏标签纸"},
                        [](ArgList& a) {
                          return buildSetDeviceOption(DeviceOption::PaperType, oneItem(a, "TYPE"));
                        }));
  out.push_back(command(
      "print-order", {"print in reverse or normal order", "反向或正向打印"}, [](ArgList& a) {
        return buildSetDeviceOption(DeviceOption::PrintOrder, oneItem(a, "ORDER"));
      }));
  out.push_back(command("retract-time",
                        {"receipt retraction time in seconds", "小票回收时间（秒）"},
                        [](ArgList& a) { return buildSetRetractionTime(a.number("N", one(a))); }));
  out.push_back(command("paper-size", {"switch the print size in inches", "切换打印尺寸（英寸）"},
                        [](ArgList& a) { return buildSetPaperSize(oneItem(a, "SIZE")); }));
  // The list's item 0 hides the printer, item 1 shows it.
  out.push_back(command("bt-hide", {"turn Bluetooth hiding on or off", "打开或关闭蓝牙隐藏"},
                        [](ArgList& a) { return buildBluetoothHiding(oneItem(a, "SWITCH")); }));
}

void addBlackMarkCommands(std::vector<CliCommand>& out) {
  out.push_back(command("black-mark", {"black-mark mode on or off", "打开或关闭黑标模式"},
                        [](ArgList& a) { return buildBlackMarkMode(oneSwitch(a, "SWITCH")); }));
  out.push_back(command("black-mark-distance",
                        {"black-mark search distance in mm", "黑标查找距离（毫米）"},
                        [](ArgList& a) { return buildBlackMarkDistance(a.number("N", one(a))); }));
  out.push_back(command("black-mark-width", {"black-mark width in mm", "黑标宽度（毫米）"},
                        [](ArgList& a) { return buildBlackMarkWidth(a.number("N", one(a))); }));
  out.push_back(
      command("cutter-feed",
              {"feed before the cut after the black mark, in mm", "黑标后切纸前的走纸距离（毫米）"},
              [](ArgList& a) { return buildCutterFeed(a.number("N", one(a))); }));
  out.push_back(
      command("find-mark", {"feed to the next black mark", "走纸到下一个黑标"}, [](ArgList& a) {
        a.expect(0, {});
        return buildFindBlackMark(false);
      }));
  out.push_back(command("find-mark-cut",
                        {"feed to the next black mark and cut", "走纸到下一个黑标并切纸"},
                        [](ArgList& a) {
                          a.expect(0, {});
                          return buildFindBlackMark(true);
                        }));
  out.push_back(
      command("test-page", {"print the black-mark test page", "打印黑标测试页"}, [](ArgList& a) {
        a.expect(0, {});
        return buildTestPage();
      }));
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (true) {
    std::size_t nl = text.find('\n', start);
    lines.push_back(text.substr(start, nl == std::string::npos ? nl : nl - start));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return lines;
}

void addSendCommand(std::vector<CliCommand>& out) {
  out.push_back(command(
      "send",
      {"send your own data (hex pairs, text as GBK, or a file's bytes unchanged)",
       "发送自定义数据（十六进制数对、按 GBK 发送的文字或文件的原始字节）"},
      [](ArgList& a) {
        auto hex = a.takeOption("--hex");
        auto text = a.takeOption("--text");
        auto file = a.takeOption("--file");
        a.expect(0, {});
        if ((hex ? 1 : 0) + (text ? 1 : 0) + (file ? 1 : 0) != 1) {
          throw UsageError(say("send takes one of --hex, --text or --file",
                               "send 只接受 --hex、--text、--file 之一"),
                           "conflicting-options");
        }
        if (hex) {
          BuildResult result = buildSendHexData(*hex);
          if (auto* refusal = std::get_if<Refusal>(&result)) {
            throw InputRefused("--hex: " + refusal->message, FailureKind::Refused, "--hex",
                               refusal->code);
          }
          return result;
        }
        if (text)
          return buildSendCustomData(splitLines(edit(*text, "--text", FieldFilter::Any)), false);
        std::error_code ec;
        if (!std::filesystem::exists(*file, ec)) {
          throw InputRefused(plenar::text(TextId::FileMissing) + ": " + *file, FailureKind::File,
                             "--file", "file-missing");
        }
        BuildResult result = buildSendCustomData({}, true);
        try {
          std::get<CommandRequest>(result).dataStream = readUserFile(*file, kMaxUserDataFileBytes);
        } catch (const FileActionRefused& e) {
          throw InputRefused(e.what(), FailureKind::File, "--file", e.code());
        }
        return result;
      }));
}

}  // namespace

void addSettingsCommands(std::vector<CliCommand>& out) {
  addBasicCommands(out);
  addWirelessCommands(out);
  addNetworkCommands(out);
  addDeviceCommands(out);
  addBlackMarkCommands(out);
  addSendCommand(out);
}

}  // namespace plenar::cli
