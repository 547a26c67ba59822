// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <vector>

#include "engine/CommandRequest.h"
#include "profile/ProfileGroups.h"

namespace plenar {

// The order an apply sends its groups in, for the link it runs over: firmware, then fonts and
// logos, then the settings that leave the link alone, then those that change a link, the current
// link's own parameters last (serial: flow control, then the rate; network: the Ethernet switch,
// mask, gateway, port, then the address; USB: the device type), so that nothing is sent over a
// link the printer has already left.
//
// Throws ProfileError for what cannot be done over this link: switching the Ethernet port off
// while talking over it.
std::vector<ProfileGroup> orderForLink(std::vector<ProfileGroup> groups, LinkKind link);

// True when `role` is a parameter of `link` itself.
bool changesLink(LinkRole role, LinkKind link);

// The link parameter a settings request changes, as its group's role (the window's single
// "set" buttons post the same requests): code 8 the rate, 42/43 the flow control, 37/38/39/41
// the Ethernet mask, gateway, port and address, 48 the Ethernet switch, 23 with Value1 0 the USB
// device type; None for the others.
LinkRole linkRoleOfRequest(const CommandRequest& request);

// Where the printer answers once `request` (a group of `role`) has taken effect on `link`: the
// new device rate or address. nullopt when it leaves the link: a USB printer made a USB virtual
// serial port shows up as a serial port instead. A request that leaves `link` alone gives it
// back unchanged.
std::optional<LinkSnapshot> linkAfterRequest(LinkRole role, const CommandRequest& request,
                                             LinkSnapshot link);

}  // namespace plenar
