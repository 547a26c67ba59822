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
#include "cli/FieldLimits.h"
#include "cli/PasswordInput.h"
#include "cli/RunReport.h"
#include "commands/RequestBytes.h"
#include "commands/Routines.h"
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

using Keywords = ChoiceKeywords;

// A list field: a keyword of the command, the item's text (letter case ignored, as the window
// matches stored texts) or the item's index.
int chooseItem(const std::string& value, const std::string& what,
               const std::vector<std::string>& items, const Keywords& keywords = {},
               bool indexAllowed = true) {
  const ChoiceList list = choicesOf(items, keywords, indexAllowed);
  if (auto item = matchChoice(value, list)) return *item;
  throw UsageError(what + ": '" + value + "' is not one of " + describeChoices(list),
                   "option-value");
}

template <std::size_t N>
std::vector<std::string> itemsOf(const std::array<std::string_view, N>& list) {
  return {list.begin(), list.end()};
}

// The texts of a list that the language file may replace, in the language in force.
std::vector<std::string> itemsOf(OptionList list) {
  std::vector<std::string> out;
  for (int i = 0; i < optionCount(list); ++i) out.push_back(optionEntry(list, i));
  return out;
}

bool onOff(const std::string& value, const std::string& what) {
  return chooseItem(value, what, {}, {{"on", 1}, {"off", 0}}, false) == 1;
}

// A spin edit's value: the box only ever holds a number within its range.
std::string spinValue(const std::string& text, const std::string& what, long long min,
                      long long max) {
  return std::to_string(parseInteger(text, what, min, max));
}

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
std::optional<std::string> edit(const std::optional<std::string>& value, const char* name,
                                FieldFilter filter, std::size_t maxChars = 0) {
  if (value) checkFieldLimit(*value, {name, filter, maxChars, isPassword(name)});
  return value;
}

// Runs a built request, or stops with the window's message.
int perform(CliSession& session, BuildResult result) {
  if (auto* refusal = std::get_if<Refusal>(&result)) {
    throw InputRefused(refusal->message, FailureKind::Refused, {}, refusal->code);
  }
  if (auto* none = std::get_if<NoAction>(&result)) {
    throw InputRefused("Nothing to do: " + none->reason, FailureKind::Refused, {}, "nothing-to-do");
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

CliCommand command(std::string name, std::string usage, std::string summary, Builder build) {
  return {std::move(name), std::move(usage), std::move(summary), true,
          [build = std::move(build)](const CommonOptions& o, ArgList& args) {
            CliSession session(o);
            BuildResult result = build(args);
            return perform(session, std::move(result));
          }};
}

std::string one(ArgList& args, const std::string& usage) {
  return args.expect(1, usage)[0];
}

SwitchFields takeSwitches(ArgList& args) {
  SwitchFields f;
  if (auto v = args.takeOption("--density")) {
    f.densityItem = chooseItem(*v, "--density", itemsOf(OptionList::DarkDescription),
                               {{"light", 0}, {"normal", 1}, {"dark", 2}, {"extra-dark", 3}});
  }
  if (auto v = args.takeOption("--font"))
    f.fontItem = chooseItem(*v, "--font", itemsOf(kFontItems));
  if (auto v = args.takeOption("--cutter")) f.cutter = onOff(*v, "--cutter");
  if (auto v = args.takeOption("--buzzer")) f.buzzer = onOff(*v, "--buzzer");
  if (auto v = args.takeOption("--feed")) {
    f.feedItem =
        chooseItem(*v, "--feed", itemsOf(kFeedItems), {{"LF", 0}, {"CR", 1}, {"0A", 0}, {"0D", 1}});
  }
  return f;
}

constexpr const char* kSwitchOptions =
    "[--density light|normal|dark|extra-dark] [--font 9x17|12x24|9x24|16x18] [--cutter on|off] "
    "[--buzzer on|off] [--feed LF|CR]";

int baudItem(const std::string& v) {
  return chooseItem(v, "rate", itemsOf(kBaudRateItems));
}
int codePageItem(const std::string& v) {
  const ChoiceList list = codePageChoices();
  if (auto item = matchChoice(v, list)) return *item;
  throw UsageError("code page: '" + v + "' is not one of " + describeChoices(list), "option-value");
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
  out.push_back(
      command("set-baud", "set-baud RATE", "set the printer's serial rate",
              [](ArgList& a) { return buildSetBaudRate(baudItem(one(a, "set-baud RATE"))); }));
  out.push_back(command(
      "set-flow", "set-flow soft|hard", "set software or hardware flow control", [](ArgList& a) {
        return buildSetFlowControl(chooseItem(
            one(a, "set-flow soft|hard"), "flow control", itemsOf(OptionList::FlowControl),
            {{"soft", 0}, {"hard", 1}, {"software", 0}, {"hardware", 1}}));
      }));
  out.push_back(command(
      "set-codepage", "set-codepage ITEM", "set the code page: index 0..52 or the list text",
      [](ArgList& a) { return buildSetCodePage(codePageItem(one(a, "set-codepage ITEM"))); }));
  out.push_back(command(
      "set-switches", "set-switches [SWITCHES]",
      std::string("set density, font, cutter, buzzer and line feed; SWITCHES: ") + kSwitchOptions,
      [](ArgList& a) {
        SwitchFields f = takeSwitches(a);
        a.expect(0, std::string("set-switches ") + kSwitchOptions);
        return buildSetSwitches(f);
      }));
  out.push_back(command("set-times", "set-times SLEEP POWEROFF",
                        "set sleep and power-off times in seconds", [](ArgList& a) {
                          auto p = a.expect(2, "set-times SLEEP POWEROFF");
                          return buildSetTimes(spinValue(p[0], "SLEEP", 1, 999999999),
                                               spinValue(p[1], "POWEROFF", 1, 999999999));
                        }));
  out.push_back(command("set-all",
                        "set-all [SWITCHES] [--codepage ITEM] [--baud RATE] [--sleep S] "
                        "[--poweroff S]",
                        "set all basic parameters at once; defaults CP437, 9600, 60 s, 7200 s "
                        "and those of set-switches",
                        [](ArgList& a) {
                          SwitchFields f = takeSwitches(a);
                          int codePage = kDefaultCodePageItem;
                          int baud = 3;
                          std::string sleep = "60", powerOff = "7200";
                          if (auto v = a.takeOption("--codepage")) codePage = codePageItem(*v);
                          if (auto v = a.takeOption("--baud")) baud = baudItem(*v);
                          if (auto v = a.takeOption("--sleep"))
                            sleep = spinValue(*v, "--sleep", 1, 999999999);
                          if (auto v = a.takeOption("--poweroff")) {
                            powerOff = spinValue(*v, "--poweroff", 1, 999999999);
                          }
                          a.expect(0, "set-all [options]");
                          return buildSetAllParameters(codePage, baud, f, sleep, powerOff);
                        }));
  out.push_back(
      command("reset-defaults", "reset-defaults", "restore the default parameters", [](ArgList& a) {
        a.expect(0, "reset-defaults");
        return buildRestoreDefaults();
      }));
}

BuildResult bluetoothRequest(ArgList& a) {
  BluetoothFields f;
  using F = FieldFilter;
  f.name = edit(a.takeOption("--name"), "--name", F::Any, field::kNameChars).value_or("");
  f.dualName =
      edit(a.takeOption("--dual-name"), "--dual-name", F::Any, field::kNameChars).value_or("");
  f.password = edit(takePassword(a), "--password", F::Any, field::kBluetoothPswChars).value_or("");
  if (auto v = edit(a.takeOption("--model"), "--model", F::Digits)) f.model = *v;
  if (auto v = a.takeOption("--mode")) {
    f.modeItem = chooseItem(*v, "--mode", itemsOf(OptionList::BluetoothMode),
                            {{"none", 0}, {"single", 1}, {"dual", 2}});
  }
  if (auto v = a.takeOption("--auth")) {
    f.authItem = chooseItem(*v, "--auth", itemsOf(OptionList::BluetoothPswCheck));
  }
  a.expect(0, "bluetooth [options]");
  return buildSetBluetooth(f);
}

BuildResult stationRequest(ArgList& a) {
  StationFields f;
  using F = FieldFilter;
  f.ssid = edit(a.takeOption("--ssid"), "--ssid", F::Any, field::kWifiChars).value_or("");
  f.password = edit(takePassword(a), "--password", F::Any, field::kWifiChars).value_or("");
  bool dhcp = a.takeFlag("--dhcp");
  auto ip = a.takeOption("--ip");
  auto mask = a.takeOption("--mask");
  auto gateway = a.takeOption("--gateway");
  if (dhcp && (ip || mask || gateway)) {
    throw UsageError("wifi-sta: --dhcp takes no --ip, --mask or --gateway", "conflicting-options");
  }
  if (auto v = edit(a.takeOption("--port"), "--port", F::Digits)) f.port = *v;
  a.expect(0, "wifi-sta [options]");
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
    edit(f.ip, "--ip", F::Dotted, field::kAddressChars);
    edit(f.mask, "--mask", F::Dotted, field::kAddressChars);
    edit(f.gateway, "--gateway", F::Dotted, field::kAddressChars);
    checkFourParts(f.ip, TextId::SIPError, "ip-invalid");
    checkFourParts(f.mask, TextId::SMaskError, "mask-invalid");
    checkFourParts(f.gateway, TextId::sGatewayError, "gateway-invalid");
  }
  return buildWifiStation(f);
}

void addWirelessCommands(std::vector<CliCommand>& out) {
  out.push_back(command(
      "bluetooth",
      "bluetooth [--name N] [--dual-name N] [--password-file FILE | --password -] [--model N] "
      "[--mode none|single|dual] [--auth 0..2]",
      "set the Bluetooth name, password, model, mode and authentication", bluetoothRequest));
  out.push_back(command("bt-workmode", "bt-workmode high|normal",
                        "Bluetooth module high-speed or normal mode", [](ArgList& a) {
                          return buildBluetoothWorkMode(
                              chooseItem(one(a, "bt-workmode high|normal"), "work mode",
                                         itemsOf(OptionList::BluetoothWorkMode),
                                         {{"high", 0}, {"normal", 1}}));
                        }));
  out.push_back(command("bt-commands", "bt-commands LINE...", "send Bluetooth module command lines",
                        [](ArgList& a) { return buildBluetoothCommands(a.positionals()); }));
  out.push_back(
      command("wifi-ap", "wifi-ap NAME (--password-file FILE | -)",
              "Wi-Fi access-point mode: broadcast name and password (PASSWORD as an argument still "
              "works, but others can read it while it runs)",
              [](ArgList& a) {
                const std::string usage = "wifi-ap NAME (--password-file FILE | - | PASSWORD)";
                const auto file = a.takeOption("--password-file");
                const auto p = a.expect(file ? 1 : 2, usage);
                const std::string password = file ? readPassword(*file, "--password-file")
                                                  : passwordArgument(p[1], "PASSWORD");
                return buildWifiAccessPoint(
                    edit(p[0], "NAME", FieldFilter::Any, field::kWifiChars),
                    edit(password, "PASSWORD", FieldFilter::Any, field::kWifiChars));
              }));
  out.push_back(command("wifi-off", "wifi-off", "switch Wi-Fi off", [](ArgList& a) {
    a.expect(0, "wifi-off");
    return buildWifiOff();
  }));
  out.push_back(command(
      "wifi-sta",
      "wifi-sta --ssid S [--password-file FILE | --password -] (--dhcp | [--ip A] [--mask M] "
      "[--gateway G]) [--port N]",
      "Wi-Fi station mode with a dynamic or static address", stationRequest));
}

void addNetworkCommands(std::vector<CliCommand>& out) {
  out.push_back(command("net-ip", "net-ip ADDR", "set the Ethernet IP address", [](ArgList& a) {
    std::string address =
        edit(one(a, "net-ip ADDR"), "ADDR", FieldFilter::Dotted, field::kAddressChars);
    checkField(AddressField::NetworkIp, address);
    checkFourParts(address, TextId::SIPError, "ip-invalid");
    return buildNetworkAddress(address);
  }));
  out.push_back(
      command("net-mask", "net-mask ADDR", "set the Ethernet subnet mask", [](ArgList& a) {
        std::string mask =
            edit(one(a, "net-mask ADDR"), "ADDR", FieldFilter::Dotted, field::kAddressChars);
        checkField(AddressField::NetworkMask, mask);
        checkFourParts(mask, TextId::SMaskError, "mask-invalid");
        return buildNetworkMask(mask);
      }));
  out.push_back(
      command("net-gateway", "net-gateway ADDR", "set the Ethernet gateway", [](ArgList& a) {
        std::string gateway =
            edit(one(a, "net-gateway ADDR"), "ADDR", FieldFilter::Dotted, field::kAddressChars);
        checkFourParts(gateway, TextId::sGatewayError, "gateway-invalid");
        return buildNetworkGateway(gateway);
      }));
  out.push_back(
      command("net-port", "net-port N", "set the Ethernet port (2..65535)", [](ArgList& a) {
        // A number outside its range is a wrong value on the command line, as for every
        // other number a settings command takes.
        return buildNetworkPort(
            spinValue(edit(one(a, "net-port N"), "N", FieldFilter::Digits, field::kNetPortChars),
                      "N", 2, 65535));
      }));
  out.push_back(command("net-mac", "net-mac XX XX XX XX",
                        "set the last four bytes of the Ethernet MAC address", [](ArgList& a) {
                          auto p = a.expect(4, "net-mac XX XX XX XX");
                          for (const auto& box : p) {
                            edit(box, "XX", FieldFilter::Any, field::kMacBoxChars);
                            if (box.empty() || box.find_first_not_of("0123456789abcdefABCDEF") !=
                                                   std::string::npos) {
                              throw InputRefused("XX: '" + box + "' is not a hexadecimal byte",
                                                 FailureKind::Refused, "XX", "hex-invalid");
                            }
                          }
                          return buildNetworkMac({p[0], p[1], p[2], p[3]});
                        }));
  out.push_back(
      command("ethernet", "ethernet on|off", "switch the Ethernet port on or off", [](ArgList& a) {
        return buildEthernetSwitch(onOff(one(a, "ethernet on|off"), "ethernet"));
      }));
}

void addDeviceCommands(std::vector<CliCommand>& out) {
  out.push_back(command("infrared", "infrared on|off [--baud RATE] [--protocol raw|irda]",
                        "set the infrared port", [](ArgList& a) {
                          int baud = 0, protocol = 0;
                          if (auto v = a.takeOption("--baud")) {
                            baud = chooseItem(*v, "--baud", itemsOf(kInfraredBaudItems));
                          }
                          if (auto v = a.takeOption("--protocol")) {
                            protocol =
                                chooseItem(*v, "--protocol", itemsOf(OptionList::IrdaProtocol),
                                           {{"raw", 0}, {"irda", 1}});
                          }
                          bool on = onOff(one(a, "infrared on|off [options]"), "infrared");
                          return buildSetInfrared(baud, on, protocol);
                        }));
  out.push_back(command(
      "device", "device NAME SERIAL", "set the device name and serial number", [](ArgList& a) {
        auto p = a.expect(2, "device NAME SERIAL");
        return buildSetDevice(edit(p[0], "NAME", FieldFilter::Any, field::kNameChars),
                              edit(p[1], "SERIAL", FieldFilter::Digits, field::kNameChars));
      }));
  out.push_back(command("usb-type", "usb-type vcom|printer",
                        "USB virtual serial port or USB printer port", [](ArgList& a) {
                          return buildSetDeviceOption(
                              DeviceOption::UsbType,
                              chooseItem(one(a, "usb-type vcom|printer"), "USB type",
                                         itemsOf(OptionList::UsbDeviceType),
                                         {{"vcom", 0}, {"printer", 1}, {"virtual-serial", 0}}));
                        }));
  out.push_back(command("paper-type", "paper-type receipt|label",
                        "thermal receipt or thermal label paper", [](ArgList& a) {
                          return buildSetDeviceOption(
                              DeviceOption::PaperType,
                              chooseItem(one(a, "paper-type receipt|label"), "paper type",
                                         itemsOf(OptionList::PaperType),
                                         {{"receipt", 0}, {"label", 1}}));
                        }));
  out.push_back(command("print-order", "print-order reverse|normal",
                        "print in reverse or normal order", [](ArgList& a) {
                          return buildSetDeviceOption(
                              DeviceOption::PrintOrder,
                              chooseItem(one(a, "print-order reverse|normal"), "print order",
                                         itemsOf(OptionList::PrinterOrder),
                                         {{"reverse", 0}, {"normal", 1}}));
                        }));
  out.push_back(command("retract-time", "retract-time N",
                        "receipt retraction time in seconds (1..255)", [](ArgList& a) {
                          return buildSetRetractionTime(
                              spinValue(one(a, "retract-time N"), "N", 1, 255));
                        }));
  out.push_back(
      command("paper-size", "paper-size 2|3|4", "switch the print size in inches", [](ArgList& a) {
        return buildSetPaperSize(chooseItem(one(a, "paper-size 2|3|4"), "paper size",
                                            itemsOf(OptionList::PaperSizeType),
                                            {{"2", 0}, {"3", 1}, {"4", 2}}, false));
      }));
  out.push_back(
      command("bt-hide", "bt-hide on|off", "turn Bluetooth hiding on or off", [](ArgList& a) {
        bool on = onOff(one(a, "bt-hide on|off"), "bt-hide");
        return buildBluetoothHiding(on ? 0 : 1);
      }));
}

void addBlackMarkCommands(std::vector<CliCommand>& out) {
  out.push_back(
      command("black-mark", "black-mark on|off", "black-mark mode on or off", [](ArgList& a) {
        return buildBlackMarkMode(onOff(one(a, "black-mark on|off"), "black-mark"));
      }));
  out.push_back(command("black-mark-distance", "black-mark-distance N",
                        "black-mark search distance in mm (400..4000)", [](ArgList& a) {
                          return buildBlackMarkDistance(
                              spinValue(edit(one(a, "black-mark-distance N"), "N",
                                             FieldFilter::Digits, field::kMarkDistanceChars),
                                        "N", 0, 65535));
                        }));
  out.push_back(command(
      "black-mark-width", "black-mark-width N", "black-mark width in mm (40..120)", [](ArgList& a) {
        return buildBlackMarkWidth(spinValue(
            edit(one(a, "black-mark-width N"), "N", FieldFilter::Digits, field::kMarkWidthChars),
            "N", 0, 65535));
      }));
  out.push_back(command(
      "cutter-feed", "cutter-feed N", "feed before the cut after the black mark, mm (0..1700)",
      [](ArgList& a) {
        return buildCutterFeed(spinValue(
            edit(one(a, "cutter-feed N"), "N", FieldFilter::Digits, field::kMarkDistanceChars), "N",
            0, 65535));
      }));
  out.push_back(command("find-mark", "find-mark", "feed to the next black mark", [](ArgList& a) {
    a.expect(0, "find-mark");
    return buildFindBlackMark(false);
  }));
  out.push_back(command("find-mark-cut", "find-mark-cut", "feed to the next black mark and cut",
                        [](ArgList& a) {
                          a.expect(0, "find-mark-cut");
                          return buildFindBlackMark(true);
                        }));
  out.push_back(command("test-page", "test-page", "print the black-mark test page", [](ArgList& a) {
    a.expect(0, "test-page");
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
      "send", "send --hex TEXT | --text TEXT | --file PATH",
      "send your own data (hex pairs, text as GBK, or a file's bytes unchanged)", [](ArgList& a) {
        auto hex = a.takeOption("--hex");
        auto text = a.takeOption("--text");
        auto file = a.takeOption("--file");
        a.expect(0, "send --hex TEXT | --text TEXT | --file PATH");
        if ((hex ? 1 : 0) + (text ? 1 : 0) + (file ? 1 : 0) != 1) {
          throw UsageError("send takes one of --hex, --text or --file", "conflicting-options");
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
          throw InputRefused(plenar::text(TextId::sMsg24) + ": " + *file, FailureKind::File,
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
