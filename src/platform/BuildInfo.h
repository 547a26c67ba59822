// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace plenar {

// The name the windows and `plenar --version` show; "V1.0" stays whatever the build is.
inline constexpr char kProductName[] = "Plenar Setting Tool V1.0";

// The version of this build (the project's version in CMake), for --version and the package.
const char* buildVersion();

}  // namespace plenar
