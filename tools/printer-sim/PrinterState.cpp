// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrinterState.h"

namespace plenar::sim {

void PrinterState::addJournal(std::string kind, std::string text) {
  journal.push_back({std::move(kind), std::move(text)});
  while (journal.size() > kJournalLimit) journal.pop_front();
  changed();
}

void PrinterState::restoreDefaults() {
  settings = PrinterSettings{};
  ++defaultsRestored;
  changed();
}

}  // namespace plenar::sim
