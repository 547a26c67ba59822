#include <cstdio>

#include "channels/ParallelPortList.h"
#include "channels/SerialPortList.h"
#include "cli/CliCommands.h"

namespace plenar::cli {

void addPortCommands(std::vector<CliCommand>& out) {
  out.push_back({"list-ports", "list-ports",
                 "list the serial ports with hardware behind them (the connection window's list)",
                 false, [](const CommonOptions&, ArgList& args) {
                   args.expect(0, "list-ports");
                   std::vector<std::string> ports = listSerialPorts();
                   if (ports.empty()) {
                     std::fprintf(stderr,
                                  "no serial hardware found; listing /dev/ttyS0 .. /dev/ttyS29 "
                                  "as the connection window does\n");
                     ports = fallbackSerialPorts();
                   }
                   for (const auto& port : ports) std::printf("%s\n", port.c_str());
                   return static_cast<int>(kExitDone);
                 }});
  out.push_back({"list-lpt", "list-lpt",
                 "list the parallel ports (the connection window's list): name, I/O base, device",
                 false, [](const CommonOptions&, ArgList& args) {
                   args.expect(0, "list-lpt");
                   const auto ports = listParallelPorts();
                   if (ports.empty()) std::fprintf(stderr, "no parallel port found\n");
                   for (const auto& port : ports) {
                     std::printf("%s 0x%03X /dev/lp%d\n", port.name.c_str(), port.ioBase,
                                 port.number - 1);
                   }
                   return static_cast<int>(kExitDone);
                 }});
}

}  // namespace plenar::cli
