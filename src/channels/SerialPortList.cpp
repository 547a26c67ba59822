// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/SerialPortList.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <tuple>

namespace plenar {
namespace {

namespace fs = std::filesystem;

// The kinds of serial device we list, in the order they are shown.
constexpr std::array<std::string_view, 4> kKinds{"ttyS", "ttyUSB", "ttyACM", "rfcomm"};

// "ttyUSB12" -> kind 1, number 12; false when the name is not one of our kinds plus a number.
bool parseTtyName(std::string_view name, std::size_t& kind, unsigned& number) {
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    const auto prefix = kKinds[k];
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    const auto digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
      continue;  // "ttyS" must not claim "ttySAC0"-like names, nor "ttyUSB" names
    }
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size()) return false;
    kind = k;
    return true;
  }
  return false;
}

bool hasUart(const fs::path& ttyDir) {
  std::error_code ec;
  if (!fs::exists(ttyDir / "device", ec)) return false;
  std::ifstream typeFile(ttyDir / "type");
  long type = 0;
  return typeFile >> type && type != 0;
}

}  // namespace

std::vector<std::string> listSerialPorts(const std::string& sysRoot) {
  struct Found {
    std::size_t kind;
    unsigned number;
    std::string name;
  };
  std::vector<Found> found;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(sysRoot) / "class" / "tty", ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    Found f{0, 0, name};
    if (!parseTtyName(name, f.kind, f.number)) continue;
    if (kKinds[f.kind] == "ttyS" && !hasUart(it->path())) continue;
    found.push_back(std::move(f));
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return std::tie(a.kind, a.number) < std::tie(b.kind, b.number);
  });
  std::vector<std::string> ports;
  ports.reserve(found.size());
  for (const auto& f : found) ports.push_back("/dev/" + f.name);
  return ports;
}

std::vector<std::string> fallbackSerialPorts() {
  std::vector<std::string> ports;
  for (int n = 0; n < 30; ++n) ports.push_back("/dev/ttyS" + std::to_string(n));
  return ports;
}

std::string resolveSerialPortName(const std::string& name) {
  if (name.size() < 4) return name;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return name;
  }
  unsigned number = 0;
  const char* first = name.data() + 3;
  const char* last = name.data() + name.size();
  const auto [end, ec] = std::from_chars(first, last, number);
  if (ec != std::errc() || end != last || number == 0) return name;
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace plenar
