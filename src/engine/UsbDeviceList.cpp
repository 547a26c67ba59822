// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/UsbDeviceList.h"

#include <algorithm>
#include <cctype>

namespace plenar {
namespace {

constexpr const char* kPrinterProduct = "811E";

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

bool contains(const std::string& text, const std::string& part) {
  return !part.empty() && text.find(part) != std::string::npos;
}

// VID_xxxx&PID_yyyy of an entry: filters look at the codes only, so that a serial number or a
// port path that happens to contain a filter text lists no other product.
std::string codes(const std::string& entry) {
  const std::size_t first = entry.find('&');
  if (first == std::string::npos) return entry;
  return entry.substr(0, entry.find('&', first + 1));
}

}  // namespace

std::vector<std::string> usbDevicesAtStart(const std::vector<std::string>& entries,
                                           const std::vector<std::string>& filters) {
  std::vector<std::string> out;
  for (const auto& entry : entries) {
    const std::string u = upper(codes(entry));
    if (filters.empty()) {
      if (contains(u, kPrinterProduct)) out.push_back(entry);
      continue;
    }
    for (const auto& filter : filters) {
      if (contains(u, filter)) out.push_back(entry);
    }
  }
  return out;
}

std::vector<std::string> usbPrintersForBench(const std::vector<std::string>& entries,
                                             const std::vector<std::string>& filters) {
  std::vector<std::string> out;
  for (auto& entry : usbDevicesAtStart(entries, filters)) {
    // The window lists an entry once per filter it contains; a printer is set up once.
    if (std::find(out.begin(), out.end(), entry) == out.end()) out.push_back(entry);
  }
  return out;
}

std::vector<std::string> usbDevicesAfterChange(const std::vector<std::string>& entries) {
  return usbDevicesAtStart(entries, {});
}

}  // namespace plenar
