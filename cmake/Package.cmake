# `make package`: a Debian package of the install tree, built by CPack. Its dependencies are the
# ones dpkg-shlibdeps finds in the programs, plus Qt's platform plugins that Qt loads at run time
# (the X11 one is in libqt6gui6, which the programs link; Wayland's is only suggested: on a minimal
# system recommending it pulled in about a hundred packages (QML, Qt Quick, Mesa, LLVM), and a
# Wayland desktop runs the program through XWayland without it; where that is missing, the program
# names the package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamberlin)
set(CPACK_PACKAGE_VENDOR Quarnel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

# The first line of the description file is the summary, the rest the long description (no
# double quotes or semicolons in it: CPack's list handling mangles them).
file(READ ${CMAKE_SOURCE_DIR}/packaging/debian-description.txt tb_description)
string(FIND "${tb_description}" "\n" tb_first_break)
string(SUBSTRING "${tb_description}" 0 ${tb_first_break} CPACK_PACKAGE_DESCRIPTION_SUMMARY)
math(EXPR tb_first_break "${tb_first_break} + 1")
string(SUBSTRING "${tb_description}" ${tb_first_break} -1 CPACK_PACKAGE_DESCRIPTION)

set(TAMBERLIN_PACKAGE_MAINTAINER "Quarnel <tamberlin@quarnel.invalid>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAMBERLIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TAMBERLIN_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
