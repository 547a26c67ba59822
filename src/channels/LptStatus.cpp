// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/LptStatus.h"

#include <fstream>
#include <vector>

namespace plenar {

namespace {
constexpr std::uint16_t kDefaultIoBase = 0x378;
}

LptStatus decodeLptStatus(std::uint8_t reg) {
  LptStatus s;
  s.busy = (reg & 0x80) == 0;
  s.acknowledge = (reg & 0x40) == 0;
  s.paperOut = (reg & 0x20) != 0;
  s.selected = (reg & 0x10) != 0;
  s.fault = (reg & 0x08) == 0;
  return s;
}

std::string describeLptStatus(const LptStatus& status) {
  std::vector<const char*> parts;
  if (status.busy) parts.push_back("busy");
  if (status.paperOut) parts.push_back("paper out");
  if (!status.selected) parts.push_back("offline");
  if (status.fault) parts.push_back("fault");
  if (parts.empty()) return "ready";
  std::string text;
  for (const char* p : parts) {
    if (!text.empty()) text += ", ";
    text += p;
  }
  return text;
}

std::uint16_t readLptIoBase(int parportNumber, const std::string& procRoot) {
  if (parportNumber < 0) return kDefaultIoBase;
  std::ifstream in(procRoot + "/sys/dev/parport/parport" + std::to_string(parportNumber) +
                   "/base-addr");
  long base = 0;
  if (!(in >> base) || base <= 0 || base > 0xFFFF) return kDefaultIoBase;
  return static_cast<std::uint16_t>(base);
}

}  // namespace plenar
