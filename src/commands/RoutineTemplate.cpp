// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/RoutineTemplate.h"

#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"

namespace plenar {

void runCommonTemplate(TCommThread& worker, LinkLayer& link, const std::function<void()>& exchange,
                       const std::string& successText) {
  worker.runGuarded([&] {
    link.openLink();
    exchange();
    worker.reportProgress(successText);
    link.restoreDeviceRate();
  });
  try {
    link.closeLink();
  } catch (...) {
    // Closing only releases the port or socket; the routine's own outcome stands.
  }
}

}  // namespace plenar
