# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian packages are built from the source package in debian/ (scripts/package.sh runs
# dpkg-buildpackage on a clean copy of the tree): plenar (component "tool"), plenar-setting-tool
# ("window") and plenar-printer-sim ("simulator") of PlenarInstall.cmake, each with its -dbgsym.
# The package version is debian/changelog's; debian/rules hands its upstream part to the build as
# PLENAR_VERSION_OVERRIDE, which needs VersionOverride.cmake read by project().

if(PLENAR_VERSION_OVERRIDE AND NOT PROJECT_VERSION STREQUAL PLENAR_VERSION_OVERRIDE)
  message(FATAL_ERROR "PLENAR_VERSION_OVERRIDE needs -DCMAKE_PROJECT_PlenarSettingTool_INCLUDE="
                      "${CMAKE_SOURCE_DIR}/cmake/VersionOverride.cmake as well "
                      "(debian/rules passes both)")
endif()
