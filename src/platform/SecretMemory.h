// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace plenar {

// A process that has read a password keeps it out of core files for the rest of its run, as
// ssh-agent does: it is made not dumpable (prctl PR_SET_DUMPABLE 0, which also keeps other
// processes of the same user from attaching to it or reading its memory) and its core file size
// limit, soft and hard, is set to 0 (a core pattern that pipes to a handler ignores the limit, so
// the flag matters as much). There is no way back within the process: a child it starts inherits
// the limit.
// Threads: any; calling it again does nothing more.
void keepOutOfCoreDumps();

// Whether keepOutOfCoreDumps() took effect on this process (both the flag and the limit).
bool outOfCoreDumps();

// Overwrites the bytes in a way the compiler keeps (explicit_bzero), then empties the string,
// including the room it holds beyond its size.
void wipe(std::string& text);
void wipe(void* bytes, std::size_t size);

}  // namespace plenar
