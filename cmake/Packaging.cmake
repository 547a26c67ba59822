# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian packages: one `cpack` run (scripts/package.sh) makes three packages from the install
# components of PlenarInstall.cmake:
#   plenar_<version>-<rev>_<arch>.deb               component "tool": the command line, the
#                                                   language files, the udev rule, the group
#   plenar-setting-tool_<version>-<rev>_<arch>.deb  component "window": the desktop application
#                                                   (Qt), on top of plenar of the same version
#   plenar-printer-sim_<version>-<rev>_<arch>.deb   component "simulator": the printer simulator,
#                                                   which hosts virtual devices through umockdev
# so a shop PC or a server without a display gets neither Qt, X11 and GL nor umockdev and GLib. Each setting answers a check dpkg or
# lintian makes; lintian overrides, if any, live in packaging/lintian/ with their reasons.

if(PLENAR_VERSION_OVERRIDE AND NOT PROJECT_VERSION STREQUAL PLENAR_VERSION_OVERRIDE)
  message(FATAL_ERROR "PLENAR_VERSION_OVERRIDE needs -DCMAKE_PROJECT_PlenarSettingTool_INCLUDE="
                      "${CMAKE_SOURCE_DIR}/cmake/VersionOverride.cmake as well "
                      "(scripts/package.sh --version does both)")
endif()

set(PLENAR_MAINTAINER "Plenar Setting Tool developers <plenar-dev@plenar.org>")
# The Debian revision of this packaging; the package version is <project version>-<revision>.
# Revision 2: the window left plenar for plenar-setting-tool.
set(PLENAR_DEB_REVISION 2)
set(PLENAR_DEB_VERSION ${PROJECT_VERSION}-${PLENAR_DEB_REVISION})
# The first version that came as two packages: before it, plenar held the simulator too.
set(PLENAR_DEB_SPLIT_VERSION 1.0-1)
# The first version whose plenar is the command line alone: before it, plenar held the window.
set(PLENAR_DEB_WINDOW_SPLIT_VERSION 1.0-2)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plenar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Plenar Setting Tool developers")
set(CPACK_PACKAGE_CONTACT ${PLENAR_MAINTAINER})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
# The package installs under /usr whatever CMAKE_INSTALL_PREFIX the build was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped binaries (lintian: unstripped-binary-or-object), without the compiler's notes.
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/cpack/strip-notes.cmake)

# One package per component, named below; only these three components are packaged.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool window simulator)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME plenar)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME plenar-setting-tool)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME plenar-printer-sim)
# <name>_<version>-<revision>_<arch>.deb, the name dpkg-name gives it.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${PLENAR_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PLENAR_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SOURCE plenar)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SECTION devel)
# Control files 0644/0755 (lintian: control-file-has-bad-permissions).
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

# Depends from the libraries each package's programs link, found by dpkg-shlibdeps per package:
# libusb, libudev and nettle for plenar; Qt 6 for the window; umockdev and GLib for the simulator.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS "bash-completion")
set(CPACK_DEBIAN_TOOL_PACKAGE_SUGGESTS "plenar-setting-tool, plenar-printer-sim")
# postinst makes the group plenar (automation users reach the USB printers through it).
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
# The window runs the command line's engine files (language files, udev rule, group) of exactly
# its own version. Qt's platform plugins are loaded at run time, so they are named here (without
# them the window cannot open on a machine installed with --no-install-recommends). The window's
# default language is Chinese: without a CJK font its texts are empty boxes, so a font is a
# Depends (WenQuanYi Micro Hei, about 5 MB, first; Noto CJK's core package where the archive has
# it). The command line needs none.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "plenar (= ${PLENAR_DEB_VERSION}), qt6-qpa-plugins, \
fonts-wqy-microhei | fonts-noto-cjk-core | fonts-noto-cjk")
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "hicolor-icon-theme")
set(CPACK_DEBIAN_WINDOW_PACKAGE_SUGGESTS "plenar-printer-sim")
# The simulator restarts itself under umockdev's preload library (package umockdev) to host the
# virtual USB printer and parallel port; shlibdeps cannot see a preloaded library.
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_DEPENDS "umockdev")
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SUGGESTS "plenar")
# A machine with the single package from before the splits has the simulator's and the window's
# files in plenar: their packages take them over (Replaces), and Breaks makes dpkg upgrade plenar
# in the same run, so that no file has two owners. An upgrade installs plenar-setting-tool with
# plenar where the window should stay (`apt install ./plenar_*.deb ./plenar-setting-tool_*.deb`).
# An earlier version (the upgrade check's build) cannot know of either split.
if(NOT PROJECT_VERSION VERSION_LESS 1.0)
  set(CPACK_DEBIAN_SIMULATOR_PACKAGE_BREAKS "plenar (<< ${PLENAR_DEB_SPLIT_VERSION}~)")
  set(CPACK_DEBIAN_SIMULATOR_PACKAGE_REPLACES "plenar (<< ${PLENAR_DEB_SPLIT_VERSION}~)")
  set(CPACK_DEBIAN_WINDOW_PACKAGE_BREAKS "plenar (<< ${PLENAR_DEB_WINDOW_SPLIT_VERSION}~)")
  set(CPACK_DEBIAN_WINDOW_PACKAGE_REPLACES "plenar (<< ${PLENAR_DEB_WINDOW_SPLIT_VERSION}~)")
endif()

# The first line is the package's summary; CPack indents the rest as dpkg wants.
set(CPACK_DEBIAN_TOOL_DESCRIPTION "set up thermal receipt and label printers
Plenar Setting Tool connects a thermal receipt or label printer over a
serial port, the network (UDP), USB or the parallel port, checks that it
answers and sets everything the printer stores: baud rate, code page,
density, cutter, Bluetooth, Wi-Fi, Ethernet, paper and more. It downloads
fonts, logos and firmware and reads printer memory back.

This package holds the command line (plenar), with the language files, man
pages (plenar(1), plenar-profile(5)), bash and zsh completion and the udev
rule for USB printers. It needs no display: the desktop application comes in
plenar-setting-tool.")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION "set up thermal receipt and label printers (desktop application)
Plenar Setting Tool connects a thermal receipt or label printer over a
serial port, the network (UDP), USB or the parallel port, checks that it
answers and sets everything the printer stores: baud rate, code page,
density, cutter, Bluetooth, Wi-Fi, Ethernet, paper and more. It downloads
fonts, logos and firmware and reads printer memory back.

This package holds the desktop application (plenar-setting-tool, Qt 6), its
desktop entry and icon. The command line is in plenar.")
set(CPACK_DEBIAN_SIMULATOR_DESCRIPTION "printer simulator for Plenar Setting Tool
plenar-printer-sim speaks the printer's side of every link Plenar Setting
Tool uses: serial (a pseudo-terminal pair), UDP, a virtual USB printer and a
virtual parallel port, the last two hosted through umockdev. It keeps the
printer's settings, memory, logos and firmware, records what it received and
can inject faults.

It is the target of the project's tests and a demonstration printer on a
machine without one.")

# The Debian changelog of every package (lintian: no-changelog), gzip -9n as dpkg wants it.
set(PLENAR_DEB_CHANGELOG ${CMAKE_BINARY_DIR}/dist/changelog.Debian)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${PLENAR_DEB_CHANGELOG} @ONLY)
add_custom_command(OUTPUT ${PLENAR_DEB_CHANGELOG}.gz
  COMMAND gzip -9nkf ${PLENAR_DEB_CHANGELOG}
  DEPENDS ${PLENAR_DEB_CHANGELOG}
  COMMENT "changelog.Debian.gz"
  VERBATIM)
add_custom_target(deb_changelog ALL DEPENDS ${PLENAR_DEB_CHANGELOG}.gz)
foreach(component_package tool:plenar window:plenar-setting-tool simulator:plenar-printer-sim)
  string(REPLACE ":" ";" pair ${component_package})
  list(GET pair 0 component)
  list(GET pair 1 package)
  if(component STREQUAL "window" AND NOT TARGET plenar-setting-tool)
    continue()  # a build without the window
  endif()
  install(FILES ${PLENAR_DIST_DIR}/copyright ${PLENAR_DEB_CHANGELOG}.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  # Overrides of lintian tags, each with its reason, where a package needs one.
  if(EXISTS ${CMAKE_SOURCE_DIR}/packaging/lintian/${package})
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian/${package}
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${component})
  endif()
endforeach()

include(CPack)
