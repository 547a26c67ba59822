#include "commands/Routines.h"

namespace plenar {

void registerFileRoutines(TCommThread& worker, LinkLayer& link) {
  (void)worker;
  (void)link;
}

}  // namespace plenar
