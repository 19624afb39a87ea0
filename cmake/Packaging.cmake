# The Debian package: `cpack -G DEB` in a build folder makes
# varnel-configurator_<version>_<arch>.deb from the install() rules (the
# window, varnel-cli, varnel-devsim, the .xls helper, the desktop entry and
# the icon).
#
# Library dependencies are read from the programs by dpkg-shlibdeps. What it
# cannot see is listed by hand: Qt loads its platform plugin (xcb, wayland)
# and the SVG icon plugin at run time, and the window is laid out for the
# Liberation Sans face.

set(CPACK_PACKAGE_NAME "varnel-configurator")
set(CPACK_PACKAGE_VENDOR "Varnel")
set(CPACK_PACKAGE_CONTACT "Varnel Configurator maintainers <support@varnel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Configuration tool for the Varnel GSM relay controller")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "varnel-configurator")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads and writes the controller's basic settings, its list of 3000 authorized\n\
numbers and its history log over the USB-serial adapter, and keeps them as\n\
workbooks (.xlsx) and CSV files. Includes varnel-cli, the same work without a\n\
window, and varnel-devsim, a virtual controller on a pseudo-terminal for\n\
trying the tool without hardware.")

find_program(VARNEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VARNEL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # libxlsxwriter is opened by name when a workbook is saved, which
  # dpkg-shlibdeps cannot see.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, libxlsxwriter4")
else()
  # Without dpkg-shlibdeps (dpkg-dev) the libraries are named by hand.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6, libqt6gui6, libqt6core6, libqt6serialport6, qt6-qpa-plugins, libqt6svg6, \
libxlsxwriter4, libminizip1, libexpat1, libfreexl1, zlib1g, libstdc++6, libc6")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")

include(CPack)
