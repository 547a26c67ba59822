// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/ParallelPortList.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "channels/LptStatus.h"
#include "channels/UdevPtr.h"

namespace plenar {
namespace {

// "lp3" -> 3, "parport0" -> 0; -1 for any other name.
int numberAfter(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return -1;
  int n = -1;
  const char* first = name.data() + prefix.size();
  const char* last = name.data() + name.size();
  auto [end, ec] = std::from_chars(first, last, n);
  return ec == std::errc() && end == last ? n : -1;
}

int deviceMinor(udev_device* dev) {
  const char* minor = udev_device_get_property_value(dev, "MINOR");
  if (!minor) return -1;
  std::string_view text(minor);
  int n = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  return ec == std::errc() && end == text.data() + text.size() ? n : -1;
}

}  // namespace

std::vector<LptPortEntry> listParallelPorts(const std::string& procRoot) {
  std::vector<LptPortEntry> ports;
  UdevPtr udev(udev_new());
  if (!udev) return ports;
  UdevEnumeratePtr enumerate(udev_enumerate_new(udev.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "printer") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0) {
    return ports;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    UdevDevicePtr dev(udev_device_new_from_syspath(udev.get(), udev_list_entry_get_name(entry)));
    if (!dev) continue;
    const char* sysname = udev_device_get_sysname(dev.get());
    // Only the lp driver's nodes: "printer" also holds other printer-class devices.
    const int lpNumber = sysname ? numberAfter(sysname, "lp") : -1;
    if (lpNumber < 0) continue;
    int minor = deviceMinor(dev.get());
    if (minor < 0) minor = lpNumber;
    // lpN is usually a child of the parport it drives; some kernels hang it under the port's
    // hardware instead, and then lpN drives parportN. The parent is borrowed, not ours to unref.
    udev_device* parport =
        udev_device_get_parent_with_subsystem_devtype(dev.get(), "parport", nullptr);
    const char* parportName = parport ? udev_device_get_sysname(parport) : nullptr;
    const int parportNumber = parportName ? numberAfter(parportName, "parport") : lpNumber;
    LptPortEntry port;
    port.number = minor + 1;
    port.name = "LPT" + std::to_string(port.number);
    port.ioBase = readLptIoBase(parportNumber, procRoot);
    ports.push_back(port);
  }
  std::sort(ports.begin(), ports.end(),
            [](const LptPortEntry& a, const LptPortEntry& b) { return a.number < b.number; });
  return ports;
}

}  // namespace plenar
