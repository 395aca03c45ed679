# `cmake --install build --prefix PREFIX` puts the programs, the shipped data and the desktop
# integration in their XDG places under PREFIX. An installed program finds its data in
# PREFIX/share/corvane and seeds the per-user application folder from it on first use.
include(GNUInstallDirs)

# corvane_install_gzipped(FILE DESTINATION): installs FILE.gz, compressed at configure time as
# Debian wants manual pages and changelogs (gzip -9n: no name, no time stamp, the same bytes at
# every build). A change to FILE configures again.
function(corvane_install_gzipped file destination)
    get_filename_component(name "${file}" NAME)
    set(gzipped "${CMAKE_BINARY_DIR}/gzipped/${name}.gz")
    file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/gzipped")
    execute_process(COMMAND gzip -9 -n -c "${file}" OUTPUT_FILE "${gzipped}"
        COMMAND_ERROR_IS_FATAL ANY)
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    install(FILES "${gzipped}" DESTINATION "${destination}")
endfunction()

install(TARGETS corvane-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
corvane_install_gzipped("${CMAKE_SOURCE_DIR}/docs/man/corvane-cli.1" "${CMAKE_INSTALL_MANDIR}/man1")
if(TARGET corvane)
    install(TARGETS corvane RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    corvane_install_gzipped("${CMAKE_SOURCE_DIR}/docs/man/corvane.1" "${CMAKE_INSTALL_MANDIR}/man1")
endif()

install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/" DESTINATION "${CORVANE_INSTALL_DATA_DIR}"
    PATTERN "*.qrc" EXCLUDE PATTERN "*.py" EXCLUDE)

set(CORVANE_DESKTOP_DIR "${CMAKE_SOURCE_DIR}/desktop")
configure_file("${CORVANE_DESKTOP_DIR}/corvane.desktop.in"
    "${CMAKE_BINARY_DIR}/desktop/${CORVANE_APP_ID}.desktop" @ONLY)
configure_file("${CORVANE_DESKTOP_DIR}/corvane.metainfo.xml.in"
    "${CMAKE_BINARY_DIR}/desktop/${CORVANE_APP_ID}.metainfo.xml" @ONLY)

install(FILES "${CMAKE_BINARY_DIR}/desktop/${CORVANE_APP_ID}.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_BINARY_DIR}/desktop/${CORVANE_APP_ID}.metainfo.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${CORVANE_DESKTOP_DIR}/corvane-mime.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages" RENAME "${CORVANE_APP_ID}.xml")
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES "${CORVANE_DESKTOP_DIR}/artwork/corvane-${size}.png"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
        RENAME "${CORVANE_APP_ID}.png")
endforeach()
install(FILES "${CORVANE_DESKTOP_DIR}/artwork/corvane.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps" RENAME "${CORVANE_APP_ID}.svg")
