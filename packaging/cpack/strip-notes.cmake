# SPDX-License-Identifier: GPL-3.0-or-later
# CPack runs this after staging the packages' files and before building the packages: the
# programs lose the compiler's .comment and .note sections as dh_strip takes them from Debian's
# own packages (lintian: binary-has-unneeded-section). CPACK_STRIP_FILES has stripped symbols.
# <staging>/<component>/usr/bin/<program>
file(GLOB programs LIST_DIRECTORIES false
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${program}
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip failed on ${program}")
  endif()
endforeach()
if(NOT programs)
  message(FATAL_ERROR "no programs in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
