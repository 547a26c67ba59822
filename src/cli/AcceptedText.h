// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "profile/KeyValues.h"

namespace plenar::cli {

// What a key's row accepts, one line for people in the chosen language (acceptedText is the
// English one).
std::string acceptedSaid(const KeyValues& row);

}  // namespace plenar::cli
