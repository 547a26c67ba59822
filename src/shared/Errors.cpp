// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/Errors.h"

namespace plenar {

std::string messageWithCause(const std::exception& e) {
  std::string text = e.what();
  if (const auto* printer = dynamic_cast<const EPrinterError*>(&e)) {
    if (!printer->cause().empty()) text += ": " + printer->cause();
  }
  return text;
}

std::string currentFailure() {
  try {
    throw;
  } catch (const std::exception& e) {
    return messageWithCause(e);
  } catch (...) {
    return "an exception without a message";
  }
}

}  // namespace plenar
