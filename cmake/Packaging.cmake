# The Debian package: `cpack` (scripts/package.sh) makes plenar_<version>_amd64.deb from what
# PlenarInstall.cmake installs, every component in the one package (the simulator too: it is
# the demo target on a machine without a printer). Each setting answers a check dpkg or lintian
# makes.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plenar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Plenar")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up thermal receipt and label printers")
# The package installs under /usr whatever CMAKE_INSTALL_PREFIX the build was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped binaries (lintian: unstripped-binary-or-object).
set(CPACK_STRIP_FILES ON)

# plenar_<version>_<arch>.deb, the name dpkg-name gives it.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Plenar Setting Tool developers <plenar@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the programs link (Qt 6, libusb, libstdc++ ...), found by
# dpkg-shlibdeps; Qt's platform plugins are loaded at run time, so they are named here
# (without them the window cannot open on a machine installed with --no-install-recommends).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion, hicolor-icon-theme")
# Control files 0644/0755 (lintian: control-file-has-bad-permissions).
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The long description; CPack puts the summary above it and indents it as dpkg wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Plenar Setting Tool connects a thermal receipt or label printer over a
serial port, the network (UDP), USB or the parallel port, checks that it
answers and sets everything the printer stores. It downloads fonts, logos and
firmware and reads printer memory back.

The package holds the desktop application (plenar-setting-tool), the same
engine from the command line (plenar) and a printer simulator
(plenar-printer-sim).")

include(CPack)
