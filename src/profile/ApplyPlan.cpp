// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ApplyPlan.h"

#include <algorithm>

#include "profile/Profile.h"
#include "shared/RateCodes.h"

namespace plenar {
namespace {

// The current link's own parameters, in the order they go out.
std::vector<LinkRole> ownRoles(LinkKind link) {
  switch (link) {
    case LinkKind::Serial:
      return {LinkRole::SerialFlow, LinkRole::SerialRate};
    case LinkKind::Network:
      // The print port (net-port) is not among them: the printer takes print jobs there, and
      // the UDP link stays where it is.
      return {LinkRole::EthernetSwitch, LinkRole::NetMask, LinkRole::NetGateway,
              LinkRole::NetAddress};
    case LinkKind::Usb:
      return {LinkRole::UsbType};
    case LinkKind::Parallel:
      return {};
  }
  return {};
}

int stageRank(GroupStage stage) {
  return static_cast<int>(stage);
}

}  // namespace

bool changesLink(LinkRole role, LinkKind link) {
  const auto own = ownRoles(link);
  return role != LinkRole::None && std::find(own.begin(), own.end(), role) != own.end();
}

LinkRole linkRoleOfRequest(const CommandRequest& request) {
  switch (request.code) {
    case 8:
      return LinkRole::SerialRate;
    case 42:
    case 43:
      return LinkRole::SerialFlow;
    case 37:
      return LinkRole::NetMask;
    case 38:
      return LinkRole::NetGateway;
    case 39:
      return LinkRole::NetPort;
    case 41:
      return LinkRole::NetAddress;
    case 48:
      return LinkRole::EthernetSwitch;
    case 23:
      return request.value1 == 0 ? LinkRole::UsbType : LinkRole::None;
    default:
      return LinkRole::None;
  }
}

std::optional<LinkSnapshot> linkAfterRequest(LinkRole role, const CommandRequest& request,
                                             LinkSnapshot link) {
  if (!changesLink(role, link.kind)) return link;
  if (role == LinkRole::SerialRate) {
    if (auto rate = codeToRate(request.value1)) link.deviceBaudText = std::to_string(*rate);
  } else if (role == LinkRole::NetAddress && request.paraBuf.size() >= 4) {
    const auto& b = request.paraBuf;
    link.ipAddress = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." +
                     std::to_string(b[2]) + "." + std::to_string(b[3]);
  } else if (role == LinkRole::UsbType && request.value2 == 0) {
    return std::nullopt;
  }
  return link;
}

std::vector<ProfileGroup> orderForLink(std::vector<ProfileGroup> groups, LinkKind link) {
  const auto own = ownRoles(link);
  auto rank = [&](const ProfileGroup& g) {
    auto it = std::find(own.begin(), own.end(), g.role);
    const int ownRank =
        g.role == LinkRole::None || it == own.end() ? 0 : 1 + static_cast<int>(it - own.begin());
    return std::make_pair(stageRank(g.stage), ownRank);
  };
  // Stable: within a rank the window's tab order stays.
  std::stable_sort(groups.begin(), groups.end(),
                   [&](const ProfileGroup& a, const ProfileGroup& b) { return rank(a) < rank(b); });
  for (const ProfileGroup& g : groups) {
    if (link == LinkKind::Network && g.name == "ethernet" && g.request &&
        !g.request->paraBuf.empty() && g.request->paraBuf[0] == 0) {
      throw ProfileError("Ethernet", g.line,
                         "switching the Ethernet port off over the network link would cut the "
                         "link; apply it over another link");
    }
  }
  return groups;
}

}  // namespace plenar
