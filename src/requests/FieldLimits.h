// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace plenar {

// The parameter window's edit limits, applied to the values that stand for those edits outside
// the window (plenar's arguments, profile values): what a key filter would have dropped, or text
// longer than the edit holds, is refused before anything is built or sent. Without them
// `--port -1` went out as 65535 and a MAC box "abc" as 0xBC.
enum class FieldFilter {
  Any,     // every character
  Digits,  // "0" to "9"
  Dotted,  // "0" to "9" and "." (the address edits)
};

struct FieldLimit {
  const char* name;  // the argument or key as the user wrote it, for the message
  FieldFilter filter;
  // 0: no limit of its own. Characters for digits and addresses; for text (FieldFilter::Any)
  // GBK bytes, as the printer stores it: a Chinese character takes two.
  std::size_t maxChars;
  bool secret = false;   // a password: a refusal does not repeat it
};

// The window's edits by what they hold.
namespace field {
inline constexpr std::size_t kNameChars = 20;  // device and Bluetooth names, serial number
inline constexpr std::size_t kBluetoothPswChars = 13;
inline constexpr std::size_t kWifiChars = 32;     // broadcast name, SSID, both passwords
inline constexpr std::size_t kAddressChars = 15;  // dotted IPv4 text
inline constexpr std::size_t kNetPortChars = 5;
inline constexpr std::size_t kMacBoxChars = 2;
inline constexpr std::size_t kMarkDistanceChars = 4;  // black-mark search distance, cutter feed
inline constexpr std::size_t kMarkWidthChars = 3;
inline constexpr std::size_t kPrintFeedChars = 3;  // the feed before printing (sent nowhere)
}  // namespace field

// "<name>: '<value>' is refused (...)" when `value` breaks `limit`; nullopt when it keeps it.
std::optional<std::string> fieldLimitRefusal(const std::string& value, const FieldLimit& limit);

}  // namespace plenar
