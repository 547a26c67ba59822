// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ApplyPlan.h"

#include <algorithm>

#include "profile/Profile.h"

namespace plenar {
namespace {

// The current link's own parameters, in the order they go out.
std::vector<LinkRole> ownRoles(LinkKind link) {
  switch (link) {
    case LinkKind::Serial:
      return {LinkRole::SerialFlow, LinkRole::SerialRate};
    case LinkKind::Network:
      return {LinkRole::EthernetSwitch, LinkRole::NetMask, LinkRole::NetGateway, LinkRole::NetPort,
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
