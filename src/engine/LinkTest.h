// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace plenar {

class TCommThread;
class LinkLayer;

// Command 1: checks that the printer answers on the chosen link.
void registerLinkTestRoutine(TCommThread& worker, LinkLayer& link);

}  // namespace plenar
