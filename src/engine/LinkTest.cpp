#include "engine/LinkTest.h"

namespace plenar {

void registerLinkTestRoutine(TCommThread& worker, LinkLayer& link) {
  (void)worker;
  (void)link;
}

}  // namespace plenar
