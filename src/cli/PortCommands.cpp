// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "app/MainDefault.h"
#include "channels/ParallelPortList.h"
#include "channels/SerialPortList.h"
#include "channels/UsbDeviceSet.h"
#include "cli/CliCommands.h"
#include "cli/CliTexts.h"
#include "cli/RunReport.h"
#include "cli/StderrLines.h"
#include "engine/UsbDeviceList.h"
#include "platform/IniFile.h"
#include "shared/Errors.h"

namespace plenar::cli {

void addPortCommands(std::vector<CliCommand>& out) {
  out.push_back({"list-ports",
                 "list-ports",
                 {"list the serial ports with hardware behind them (the connection window's list)",
                  "列出有硬件的串口（连接窗口中的列表）"},
                 false,
                 [](const CommonOptions& o, ArgList& args) {
                   args.expect(0, "list-ports");
                   std::vector<std::string> ports = listSerialPorts();
                   const bool fallback = ports.empty();
                   if (fallback) {
                     printLine(LineLevel::Note,
                               say("no serial hardware found; listing /dev/ttyS0 .. /dev/ttyS29 "
                                   "as the connection window does",
                                   "未找到串口硬件；同连接窗口一样列出 /dev/ttyS0 .. /dev/ttyS29"));
                     ports = fallbackSerialPorts();
                   }
                   o.report->result() = {{"ports", ports}, {"fallback", fallback}};
                   if (!o.json) {
                     for (const auto& port : ports) std::printf("%s\n", port.c_str());
                   }
                   return static_cast<int>(kExitDone);
                 }});
  out.push_back({"list-lpt",
                 "list-lpt",
                 {"list the parallel ports (the connection window's list): name, I/O base, device",
                  "列出并口（连接窗口中的列表）：名称、I/O 基址、设备"},
                 false,
                 [](const CommonOptions& o, ArgList& args) {
                   args.expect(0, "list-lpt");
                   const auto ports = listParallelPorts();
                   if (ports.empty())
                     printLine(LineLevel::Note, say("no parallel port found", "未找到并口"));
                   Json list = Json::array();
                   for (const auto& port : ports) {
                     const std::string device = "/dev/lp" + std::to_string(port.number - 1);
                     list.push_back({{"name", port.name},
                                     {"number", port.number},
                                     {"io_base", port.ioBase},
                                     {"device", device}});
                     if (!o.json) {
                       std::printf("%s 0x%03X %s\n", port.name.c_str(), port.ioBase,
                                   device.c_str());
                     }
                   }
                   o.report->result()["ports"] = std::move(list);
                   return static_cast<int>(kExitDone);
                 }});
  out.push_back(
      {"list-usb",
       "list-usb",
       {"list the USB printers the connection window lists (VID_xxxx&PID_yyyy&SN_<serial number>, "
        "or &PORT_<bus-port> without one; with the USB filter texts of sysconfig.ini, else those "
        "with 811E)",
        "列出连接窗口所列的 USB 打印机（VID_xxxx&PID_yyyy&SN_<序列号>，无序列号时为 "
        "&PORT_<总线-端口>；按 sysconfig.ini 中的 USB 过滤文字，否则为含 811E 者）"},
       false,
       [](const CommonOptions& options, ArgList& args) {
         args.expect(0, "list-usb");
         const auto filters = readMainDefault(IniFile(options.paths.settingsFile())).usbFilterList;
         try {
           const auto entries = usbDevicesAtStart(presentUsbDevices(), filters);
           if (entries.empty())
             printLine(LineLevel::Note, say("no USB printer found", "未找到 USB 打印机"));
           options.report->result()["devices"] = entries;
           if (!options.json) {
             for (const auto& e : entries) std::printf("%s\n", e.c_str());
           }
         } catch (const ECommsError& e) {
           printLine(LineLevel::Error, e.what());
           options.report->setError(FailureKind::Link, e.what(), e.reason());
           return static_cast<int>(kExitFailed);
         }
         return static_cast<int>(kExitDone);
       }});
}

}  // namespace plenar::cli
