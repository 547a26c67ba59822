// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>

#include "requests/BuildResult.h"

namespace plenar {

// Tab 4 "网络设置": the Ethernet interface's address, mask, gateway, MAC and port, sent as
// direct sequences (1F 49 / 53 / 4E / 4D / 50 and the block), and the Ethernet port switch.
//
// The address, mask and MAC sequences carry a fifth data byte after their four; it is always 0.
// The gateway sends its four bytes, the port its two (big-endian).

// Code 41 from edt_NetIPAddress: the checked dotted address (0..255 per part).
BuildResult buildNetworkAddress(const std::string& text);
// Code 37 from edt_Subnetmask.
BuildResult buildNetworkMask(const std::string& text);
// Code 38 from edt_gatewayt.
BuildResult buildNetworkGateway(const std::string& text);
// Code 40 from the four editable MAC boxes, each read as a hexadecimal number.
BuildResult buildNetworkMac(const std::array<std::string, 4>& boxes);
// Code 39 from edt_Netport: a decimal number; only 2..65535 is sent, anything else does nothing.
BuildResult buildNetworkPort(const std::string& text);
// Code 48 with 1 (open the Ethernet port) or 0 (close it).
BuildResult buildEthernetSwitch(bool open);

// The fields whose text is checked when the user leaves them.
enum class AddressField {
  StationIp,       // edt_IPaddress: SIPError
  StationMask,     // edt_Mask: SMaskError
  StationGateway,  // edt_Gateway: sGatewayError
  NetworkIp,       // edt_NetIPAddress: SIPError
  NetworkMask,     // edt_Subnetmask: SMaskError
};
// The message to show when the platform's dotted-address parser rejects the text; nullopt when
// it accepts it. edt_gatewayt has no such check.
std::optional<Refusal> checkAddressField(AddressField field, const std::string& text);

}  // namespace plenar
