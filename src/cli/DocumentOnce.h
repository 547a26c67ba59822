// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar::cli {

// The one --json document of a run goes out once: from the main thread when the run ends, or,
// when a signal ends the process first (its orderly close ran out of time, or a second signal
// came), from the signal watcher, saying so with the status the process exits with.
// Threads: arm and write on the main thread; the watcher writes through the armed words.

// From here on a signal that ends the process at once leaves a document for `command`.
void armInterruptedDocument(const std::string& command, bool pretty);
// Writes `document` to stdout unless the watcher has written one.
void writeDocumentOnce(const std::string& document);

}  // namespace plenar::cli
