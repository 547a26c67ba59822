// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/Routines.h"

#include "engine/LinkLayer.h"
#include "engine/LinkTest.h"
#include "engine/TCommThread.h"

namespace plenar {

void registerRoutines(TCommThread& worker, LinkLayer& link) {
  registerLinkTestRoutine(worker, link);
  registerSettingsRoutines(worker, link);
  registerDirectRoutines(worker, link);
  registerFileRoutines(worker, link);
  registerFirmwareRoutines(worker, link);
  worker.setConfirmation(printerConfirms);
  worker.setModelTagSource([&link] { return link.printerModelTag(); });
}

}  // namespace plenar
