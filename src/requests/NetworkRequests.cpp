// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/NetworkRequests.h"

#include "requests/FieldParsing.h"
#include "requests/RequestBlock.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

BuildResult addressRequest(int code, const std::string& text, bool fifthByte, const char* field) {
  AddressResult a = parseCheckedAddress(text);
  if (auto* refusal = std::get_if<Refusal>(&a)) return refusalOf(*refusal, field);
  const AddressBytes& b = std::get<AddressBytes>(a);
  CommandRequest r = makeRequest(code);
  appendBytes(r, {b[0], b[1], b[2], b[3]});
  if (fifthByte) appendBytes(r, {0});
  return r;
}

}  // namespace

BuildResult buildNetworkAddress(const std::string& text) {
  return addressRequest(kNetAddressCode, text, true, "edt_NetIPAddress");
}

BuildResult buildNetworkMask(const std::string& text) {
  return addressRequest(kNetMaskCode, text, true, "edt_Subnetmask");
}

BuildResult buildNetworkGateway(const std::string& text) {
  return addressRequest(kNetGatewayCode, text, false, "edt_gatewayt");
}

BuildResult buildNetworkMac(const std::array<std::string, 4>& boxes) {
  static constexpr const char* kBoxes[4] = {"edt_macaddo", "edt_macaddt", "edt_macaddfr",
                                            "edt_macaddfor"};
  CommandRequest r = makeRequest(kNetMacCode);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const std::string& box = boxes[i];
    auto value = parseHex(box);
    if (!value) return refusalOf(conversionError(box), kBoxes[i]);
    appendBytes(r, {static_cast<std::uint8_t>(*value & 0xFF)});
  }
  appendBytes(r, {0});
  return r;
}

BuildResult buildNetworkPort(const std::string& text) {
  auto port = parseDecimal(text);
  if (!port) return refusalOf(conversionError(text), "edt_Netport");
  if (*port <= 1 || *port >= 65536) return NoAction{"the port must lie within 2..65535"};
  CommandRequest r = makeRequest(kNetPortCode);
  appendBytes(r, {static_cast<std::uint8_t>(*port >> 8), static_cast<std::uint8_t>(*port)});
  return r;
}

BuildResult buildEthernetSwitch(bool open) {
  CommandRequest r = makeRequest(kEthernetCode);
  appendBytes(r, {static_cast<std::uint8_t>(open ? 1 : 0)});
  return r;
}

std::optional<Refusal> checkAddressField(AddressField field, const std::string& text) {
  if (dottedAddressAccepted(text)) return std::nullopt;
  switch (field) {
    case AddressField::StationIp:
      return Refusal{plenar::text(TextId::IpInvalid), "edt_IPaddress", "ip-invalid"};
    case AddressField::NetworkIp:
      return Refusal{plenar::text(TextId::IpInvalid), "edt_NetIPAddress", "ip-invalid"};
    case AddressField::StationMask:
      return Refusal{plenar::text(TextId::MaskInvalid), "edt_Mask", "mask-invalid"};
    case AddressField::NetworkMask:
      return Refusal{plenar::text(TextId::MaskInvalid), "edt_Subnetmask", "mask-invalid"};
    case AddressField::StationGateway:
      return Refusal{plenar::text(TextId::GatewayInvalid), "edt_Gateway", "gateway-invalid"};
  }
  return std::nullopt;
}

}  // namespace plenar
