#include "commands/Routines.h"

namespace plenar {

void registerDirectRoutines(TCommThread& worker, LinkLayer& link) {
  (void)worker;
  (void)link;
}

}  // namespace plenar
