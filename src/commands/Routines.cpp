#include "commands/Routines.h"

#include "engine/TCommThread.h"

namespace plenar {

void registerRoutines(TCommThread& worker) {
  (void)worker;  // each command module adds its registrations here
}

}  // namespace plenar
