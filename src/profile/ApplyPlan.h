// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

}  // namespace plenar
