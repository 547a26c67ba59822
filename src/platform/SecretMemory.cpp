// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SecretMemory.h"

#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace plenar {

void keepOutOfCoreDumps() {
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  const rlimit none{0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
}

bool outOfCoreDumps() {
  rlimit core{};
  return ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 && ::getrlimit(RLIMIT_CORE, &core) == 0 &&
         core.rlim_cur == 0 && core.rlim_max == 0;
}

void wipe(void* bytes, std::size_t size) {
  if (bytes != nullptr && size > 0) ::explicit_bzero(bytes, size);
}

void wipe(std::string& text) {
  text.resize(text.capacity());
  wipe(text.data(), text.size());
  text.clear();
}

}  // namespace plenar
