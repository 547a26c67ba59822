#include "commands/Routines.h"

namespace plenar {

void registerSettingsRoutines(TCommThread& worker, LinkLayer& link) {
  (void)worker;
  (void)link;
}

}  // namespace plenar
