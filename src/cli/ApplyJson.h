// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profile/ApplyRun.h"
#include "profile/LinkJson.h"

namespace plenar::cli {

// The result of `plenar apply` as its JSON document holds it (docs/plenar-result.schema.json):
// changed, state_known, profile, record, link_used, link_after, steps, ignored, notes.
Json applyResultJson(const ApplyRun& run);
// --plan (without the record) and --check (with it): every step with its request bytes and, for
// --check, whether it would change.
Json applyPlanJson(const ApplyRun& run, bool withRecord);

}  // namespace plenar::cli
