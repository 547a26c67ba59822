# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the same source under another version number: the package upgrade check
# (scripts/package-check.sh) installs a build of an earlier number, then the current one.
# project() reads this file as its last step when the build is configured with
#   -DCMAKE_PROJECT_PlenarSettingTool_INCLUDE=<source>/cmake/VersionOverride.cmake
#   -DPLENAR_VERSION_OVERRIDE=0.9
# (scripts/package.sh --version 0.9 passes both). Every PROJECT_VERSION user (the programs'
# --version, the man pages, the package) then sees the override.
if(PLENAR_VERSION_OVERRIDE)
  if(NOT PLENAR_VERSION_OVERRIDE MATCHES "^([0-9]+)\\.([0-9]+)(\\.([0-9]+))?$")
    message(FATAL_ERROR "PLENAR_VERSION_OVERRIDE=${PLENAR_VERSION_OVERRIDE}: "
                        "not a version of the form MAJOR.MINOR or MAJOR.MINOR.PATCH")
  endif()
  foreach(prefix PROJECT PlenarSettingTool CMAKE_PROJECT)
    set(${prefix}_VERSION ${PLENAR_VERSION_OVERRIDE})
    set(${prefix}_VERSION_MAJOR ${CMAKE_MATCH_1})
    set(${prefix}_VERSION_MINOR ${CMAKE_MATCH_2})
    set(${prefix}_VERSION_PATCH ${CMAKE_MATCH_4})
  endforeach()
  message(STATUS "Version overridden: ${PROJECT_VERSION}")
endif()
