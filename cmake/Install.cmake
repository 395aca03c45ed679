# `cmake --install build --prefix PREFIX` puts the programs, the shipped data and the desktop
# integration in their XDG places under PREFIX. An installed program finds its data in
# PREFIX/share/corvane and seeds the per-user application folder from it on first use.
include(GNUInstallDirs)

install(TARGETS corvane-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
if(TARGET corvane)
    install(TARGETS corvane RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
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
