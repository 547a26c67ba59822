# SPDX-License-Identifier: GPL-3.0-or-later
# Man pages. plenar(1) and plenar-profile(5) are written by src/cli/man from the command and
# key tables the program uses, with the hand-written sections of dist/linux/man/plenar.sections
# (files, environment, permissions, examples); for the window and the simulator help2man turns
# their --help into roff, and dist/linux/man/<program>.h2m adds the hand-written sections. Built
# with the programs, so the pages always list the options and keys the programs have. Installed
# compressed (gzip -9n, as Debian policy asks); the plain page stays in the build folder for checks.
find_program(PLENAR_HELP2MAN help2man)
option(PLENAR_MAN_PAGES "Build and install the man pages (help2man for the window's and the simulator's)" ON)
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

if(PLENAR_MAN_PAGES)
  set(sections ${CMAKE_SOURCE_DIR}/dist/linux/man/plenar.sections)
  set(man_dir ${CMAKE_BINARY_DIR}/man)
  add_custom_command(OUTPUT ${man_dir}/plenar.1 ${man_dir}/plenar-profile.5
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND plenar-man-pages ${man_dir} ${CMAKE_SOURCE_DIR}/lang ${sections} ${PROJECT_VERSION}
    COMMAND gzip -9nkf ${man_dir}/plenar.1
    COMMAND gzip -9nkf ${man_dir}/plenar-profile.5
    BYPRODUCTS ${man_dir}/plenar.1.gz ${man_dir}/plenar-profile.5.gz
    DEPENDS plenar-man-pages ${sections} ${PLENAR_LANG_FILES}
    COMMENT "Man pages plenar.1, plenar-profile.5"
    VERBATIM)
  add_custom_target(man_plenar ALL DEPENDS ${man_dir}/plenar.1 ${man_dir}/plenar-profile.5)
  install(FILES ${man_dir}/plenar.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool
    OPTIONAL)
  install(FILES ${man_dir}/plenar-profile.5.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5
    COMPONENT tool OPTIONAL)
endif()
plenar_man_page(plenar-setting-tool "set up thermal receipt and label printers" window)
plenar_man_page(plenar-printer-sim "printer simulator for Plenar Setting Tool" simulator)
