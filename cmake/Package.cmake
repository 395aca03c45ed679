# `make package` (cpack -G DEB in the build folder): corvane_VERSION_amd64.deb with everything
# `cmake --install` puts under /usr. Its version, maintainer and homepage are the project version
# and the branding values (cmake/Branding.cmake). Its Depends are what dpkg-shlibdeps finds in the
# two programs, plus what they load at run time without linking it.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "corvane")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "${CORVANE_OWNER_NAME}")
set(CPACK_PACKAGE_CONTACT "${CORVANE_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${CORVANE_WEBSITE_URL}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reciprocal link checker for webmasters")
# The long description as the control file shows it: lines under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "${CORVANE_PRODUCT_NAME} keeps track of link exchanges: a project holds your own"
    "sites and, for each, the partner sites that promised a link back. A scan"
    "crawls every partner site and tells, partner by partner, whether the link is"
    "still there, how many expected links are missing, or why none was found."
    "Results become an HTML report, a tab-separated export, JSON and the HTML of"
    "your own links page."
    ""
    "The package holds the desktop program (corvane) and the command line program"
    "(corvane-cli), which needs no display and suits scheduled scans.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "web")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, never linked: Qt SQL's SQLite driver (the scan history), and the system's
# certificate authorities, which every https partner's certificate is checked against. Qt's TLS
# backend and the image and platform plugins the window uses come with libqt6network6 and
# libqt6gui6, which the programs link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, ca-certificates")
# Help and a double-clicked error page open in the desktop's own browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

# Debian's policy for every package: the copyright and a changelog (for a native version:
# changelog.gz) in /usr/share/doc/corvane.
set(CORVANE_PACKAGE_DIR "${CMAKE_BINARY_DIR}/packaging")
string(SUBSTRING "${CORVANE_RELEASE_DATE}" 0 4 CORVANE_RELEASE_YEAR)
execute_process(COMMAND date -u -R -d "${CORVANE_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE CORVANE_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
configure_file("${CMAKE_SOURCE_DIR}/packaging/copyright.in" "${CORVANE_PACKAGE_DIR}/copyright" @ONLY)
configure_file("${CMAKE_SOURCE_DIR}/packaging/changelog.in" "${CORVANE_PACKAGE_DIR}/changelog" @ONLY)
install(FILES "${CORVANE_PACKAGE_DIR}/copyright" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/corvane")
corvane_install_gzipped("${CORVANE_PACKAGE_DIR}/changelog" "${CMAKE_INSTALL_DATADIR}/doc/corvane")

include(CPack)
