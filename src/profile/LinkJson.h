// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "engine/CommandRequest.h"

namespace plenar {

using Json = nlohmann::ordered_json;

// A JSON integer that a long long holds: nullopt for a fraction, a text, or an integer past it
// (nlohmann's get<> would cut such a value short, or for a fraction past the range do what the
// language leaves undefined).
std::optional<long long> jsonInteger(const Json& json);

// A link as results and apply records write it:
//   {"kind":"serial","port":"/dev/ttyUSB0","device_baud":9600,"transfer_baud":115200}
//   {"kind":"net","address":"192.168.1.87","port":5100}
//   {"kind":"usb","device":"VID_1234&PID_811E"}
//   {"kind":"lpt","number":1}
// A rate box that holds no number is written as its text.
Json linkToJson(const LinkSnapshot& link);
// nullopt for anything that is not such an object.
std::optional<LinkSnapshot> linkFromJson(const Json& json);
// The same printer link: kind and port or address (rates and the UDP port included).
bool sameLink(const LinkSnapshot& a, const LinkSnapshot& b);
// "serial /dev/ttyUSB0 at 9600", "net 192.168.1.87:5100", ... for messages.
std::string describeLink(const LinkSnapshot& link);
const char* linkKindName(LinkKind kind);

}  // namespace plenar
