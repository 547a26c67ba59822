// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/LinkJson.h"

#include <cstdint>
#include <limits>

#include "engine/TCommThread.h"

namespace plenar {
namespace {

Json rate(const std::string& text) {
  if (auto n = parseRateText(text)) return *n;
  return text;
}

std::optional<std::string> rateText(const Json& j) {
  if (auto n = jsonInteger(j)) return std::to_string(*n);
  if (j.is_string()) return j.get<std::string>();
  return std::nullopt;
}

}  // namespace

std::optional<long long> jsonInteger(const Json& json) {
  if (json.is_number_unsigned()) {
    const auto u = json.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) return std::nullopt;
    return static_cast<long long>(u);
  }
  if (json.is_number_integer()) return json.get<long long>();
  return std::nullopt;
}

const char* linkKindName(LinkKind kind) {
  switch (kind) {
    case LinkKind::Serial:
      return "serial";
    case LinkKind::Network:
      return "net";
    case LinkKind::Usb:
      return "usb";
    case LinkKind::Parallel:
      return "lpt";
  }
  return "";
}

Json linkToJson(const LinkSnapshot& link) {
  Json j;
  j["kind"] = linkKindName(link.kind);
  switch (link.kind) {
    case LinkKind::Serial:
      j["port"] = link.serialPort;
      j["device_baud"] = rate(link.deviceBaudText);
      j["transfer_baud"] = rate(link.transferBaudText);
      break;
    case LinkKind::Network:
      j["address"] = link.ipAddress;
      j["port"] = link.udpPort;
      break;
    case LinkKind::Usb:
      j["device"] = link.usbDevice;
      break;
    case LinkKind::Parallel:
      j["number"] = link.lptNumber;
      break;
  }
  return j;
}

std::optional<LinkSnapshot> linkFromJson(const Json& j) {
  if (!j.is_object() || !j.contains("kind") || !j["kind"].is_string()) return std::nullopt;
  const std::string kind = j["kind"].get<std::string>();
  LinkSnapshot link;
  auto str = [&](const char* key) -> std::optional<std::string> {
    if (j.contains(key) && j[key].is_string()) return j[key].get<std::string>();
    return std::nullopt;
  };
  auto num = [&](const char* key) -> std::optional<int> {
    const auto n = j.contains(key) ? jsonInteger(j[key]) : std::nullopt;
    if (n && *n >= std::numeric_limits<int>::min() && *n <= std::numeric_limits<int>::max()) {
      return static_cast<int>(*n);
    }
    return std::nullopt;
  };
  if (kind == "serial") {
    auto port = str("port");
    auto device = j.contains("device_baud") ? rateText(j["device_baud"]) : std::nullopt;
    auto transfer = j.contains("transfer_baud") ? rateText(j["transfer_baud"]) : std::nullopt;
    if (!port || !device || !transfer) return std::nullopt;
    link.kind = LinkKind::Serial;
    link.serialPort = *port;
    link.deviceBaudText = *device;
    link.transferBaudText = *transfer;
  } else if (kind == "net") {
    auto address = str("address");
    auto port = num("port");
    if (!address || !port) return std::nullopt;
    link.kind = LinkKind::Network;
    link.ipAddress = *address;
    link.udpPort = *port;
  } else if (kind == "usb") {
    auto device = str("device");
    if (!device) return std::nullopt;
    link.kind = LinkKind::Usb;
    link.usbDevice = *device;
  } else if (kind == "lpt") {
    auto number = num("number");
    if (!number) return std::nullopt;
    link.kind = LinkKind::Parallel;
    link.lptNumber = *number;
  } else {
    return std::nullopt;
  }
  return link;
}

bool sameLink(const LinkSnapshot& a, const LinkSnapshot& b) {
  return linkToJson(a) == linkToJson(b);
}

std::string describeLink(const LinkSnapshot& link) {
  switch (link.kind) {
    case LinkKind::Serial:
      return "serial " + link.serialPort + " at " + link.deviceBaudText;
    case LinkKind::Network:
      return "net " + link.ipAddress + ":" + std::to_string(link.udpPort);
    case LinkKind::Usb:
      return "usb " + link.usbDevice;
    case LinkKind::Parallel:
      return "lpt " + std::to_string(link.lptNumber);
  }
  return "";
}

}  // namespace plenar
