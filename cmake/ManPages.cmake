# SPDX-License-Identifier: GPL-3.0-or-later
# Man pages: help2man turns each program's --help into roff, and dist/linux/man/<program>.h2m adds
# the hand-written sections (files, environment, permissions, examples). Built with the programs,
# so the pages always list the options the programs have. Installed compressed (gzip -9n, as
# Debian policy asks); the plain page stays in the build folder for checks.
find_program(PLENAR_HELP2MAN help2man)
option(PLENAR_MAN_PAGES "Build and install the man pages (needs help2man)" ON)
if(PLENAR_MAN_PAGES AND NOT PLENAR_HELP2MAN)
  message(WARNING "help2man not found: no man pages (scripts/install-deps.sh installs it, "
                  "-DPLENAR_MAN_PAGES=OFF silences this)")
endif()

# plenar_man_page(<target> "<one-line description>")
function(plenar_man_page program summary)
  if(NOT PLENAR_MAN_PAGES OR NOT PLENAR_HELP2MAN OR NOT TARGET ${program})
    return()
  endif()
  set(include ${CMAKE_SOURCE_DIR}/dist/linux/man/${program}.h2m)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${PLENAR_HELP2MAN} --no-info --section=1 --name=${summary}
      "--version-string=${program} (Plenar Setting Tool V1.0) ${PROJECT_VERSION}"
      --include=${include} --output=${page}
      "${CMAKE_SOURCE_DIR}/cmake/help-text.sh $<TARGET_FILE:${program}>"
    COMMAND gzip -9nkf ${page}
    BYPRODUCTS ${page}.gz
    DEPENDS ${program} ${include} ${CMAKE_SOURCE_DIR}/cmake/help-text.sh
    COMMENT "Man page ${program}.1"
    VERBATIM)
  add_custom_target(man_${program} ALL DEPENDS ${page})
  # OPTIONAL: a build of chosen targets only (run.sh, a test run) may not have made the page.
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${ARGN} OPTIONAL)
endfunction()

plenar_man_page(plenar "run Plenar Setting Tool's printer commands from the command line" tool)
plenar_man_page(plenar-setting-tool "set up thermal receipt and label printers" window)
plenar_man_page(plenar-printer-sim "printer simulator for Plenar Setting Tool" simulator)
