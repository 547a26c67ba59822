#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "channels/UdevPtr.h"
#include "channels/UniqueFd.h"

namespace plenar {

class OwnerDispatcher;

// One parallel port as the connection window lists it.
struct LptPortEntry {
  std::string name;          // "LPT1"
  int number = 0;            // n of LPTn: the lp device's minor + 1
  std::uint16_t ioBase = 0;  // from the parport the lp device sits on; 0x378 when unknown
};

// The parallel ports present: every lpN node of the udev subsystem "printer", in number order.
// The I/O base comes from the parport device above the lp device (its /proc base-addr, read
// below `procRoot`); 0x378 when there is none or it cannot be read.
std::vector<LptPortEntry> listParallelPorts(const std::string& procRoot = "/proc");

// Watches udev for parallel ports that appear or disappear (subsystems "printer" and "parport")
// and posts `changed` to the owner thread once per event.
// Threads: construct and destroy on the owner thread; `changed` runs there too, never after the
// destructor (a notice still queued then finds the object gone and does nothing). Create the
// monitor before listing the ports, so that no port falls between the list and the watch.
class ParallelPortMonitor {
 public:
  // Starts watching; without udev (no netlink socket, e.g. in a container) it watches nothing.
  ParallelPortMonitor(OwnerDispatcher& owner, std::function<void()> changed);
  ~ParallelPortMonitor();
  ParallelPortMonitor(const ParallelPortMonitor&) = delete;
  ParallelPortMonitor& operator=(const ParallelPortMonitor&) = delete;

  bool watching() const { return thread_.joinable(); }

 private:
  void run();

  OwnerDispatcher& owner_;
  std::function<void()> changed_;
  UdevPtr udev_;
  UdevMonitorPtr monitor_;
  UniqueFd stopEvent_;  // eventfd: wakes the watch thread's poll() to end it
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // owner thread only
  std::thread thread_;
};

}  // namespace plenar
