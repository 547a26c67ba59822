#include "commands/Routines.h"

namespace plenar {

void registerFirmwareRoutines(TCommThread& worker, LinkLayer& link) {
  (void)worker;
  (void)link;
}

}  // namespace plenar
