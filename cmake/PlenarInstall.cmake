# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where. Every file has a COMPONENT, and each component is a Debian
# package (debian/<package>.install lists the same files): "tool" (package plenar) for the
# command line and the files both programs read, "window" (package plenar-setting-tool) for the
# desktop application and its desktop files, "simulator" (package plenar-printer-sim) for the
# printer simulator, a test and demo target that needs umockdev. Folders come from
# GNUInstallDirs. The package test (tests/install/package_test.sh components) keeps the two
# lists equal.
#
# Installed, the programs keep their files as src/platform/ProgramPaths.h describes:
# <prefix>/share/plenar/lang/ for the language files, the user's XDG folders for the rest.

set(PLENAR_APP_ID com.plenar.settingtool)
set(PLENAR_DIST_DIR ${CMAKE_SOURCE_DIR}/dist/linux)

# udev reads /usr/lib/udev/rules.d (what `pkg-config --variable=udevdir udev` names on Debian
# after usrmerge). The default is relative to the prefix: /usr gives that folder, and a
# user-prefix install needs no root.
set(PLENAR_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING
  "Folder of the udev rule 60-plenar.rules, relative to the prefix or absolute")

install(TARGETS plenar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
if(TARGET plenar-setting-tool)
  install(TARGETS plenar-setting-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT window)
endif()
if(TARGET plenar-printer-sim)
  install(TARGETS plenar-printer-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT simulator)
endif()

install(FILES ${PLENAR_LANG_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/plenar/lang
  COMPONENT tool)
# The schema of what --json prints, for scripts that check a result (plenar --help names it).
install(FILES ${CMAKE_SOURCE_DIR}/docs/plenar-result.schema.json
  DESTINATION ${CMAKE_INSTALL_DATADIR}/plenar COMPONENT tool)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/udev/60-plenar.rules
  DESTINATION ${PLENAR_UDEV_RULES_DIR} COMPONENT tool)
# The group the rule gives the USB printers to (the package's postinst makes it where
# systemd-sysusers is missing).
install(FILES ${CMAKE_SOURCE_DIR}/packaging/sysusers/plenar.conf
  DESTINATION lib/sysusers.d COMPONENT tool)

if(TARGET plenar-setting-tool)
  install(FILES ${PLENAR_DIST_DIR}/${PLENAR_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT window)
  install(FILES ${PLENAR_DIST_DIR}/${PLENAR_APP_ID}.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT window)
  configure_file(${PLENAR_DIST_DIR}/${PLENAR_APP_ID}.metainfo.xml
    ${CMAKE_BINARY_DIR}/dist/${PLENAR_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/dist/${PLENAR_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT window)
endif()

install(FILES ${CMAKE_SOURCE_DIR}/dist/linux/completion/plenar
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT tool)
# zsh reads the same words from the program (plenar --complete).
install(FILES ${CMAKE_SOURCE_DIR}/dist/linux/completion/_plenar
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT tool)
# The copyright file and the Debian changelog go to each package's doc folder through debhelper
# (debian/copyright, debian/changelog).

include(ManPages)
