# Installation layout and the Debian package.
#
#   <prefix>/bin/scanbridge                      the service (and its SANE worker)
#   <prefix>/share/scanbridge/                   documents, the demo page
#   <prefix>/lib/systemd/user/scanbridge.service the user unit
#
# The service finds share/scanbridge/ relative to its own executable, so any
# prefix works; the unit names the executable by its installed path, which is
# only known at install time (cmake --install --prefix, or CPack's /usr).
include(GNUInstallDirs)

install(TARGETS scanbridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The SANE worker runs next to the service executable.
if(TARGET scanbridge-sane)
    install(TARGETS scanbridge-sane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(SCANBRIDGE_SHARE_DESTINATION ${CMAKE_INSTALL_DATADIR}/scanbridge)
install(FILES README.md DESTINATION ${SCANBRIDGE_SHARE_DESTINATION})
# The demo page and, beside it, the client module it loads.
install(DIRECTORY client/demo/ DESTINATION ${SCANBRIDGE_SHARE_DESTINATION}/demo)
install(FILES client/scanbridge.js client/scanbridge.d.ts DESTINATION ${SCANBRIDGE_SHARE_DESTINATION})
install(FILES docs/protocol.md docs/configuration.md DESTINATION ${SCANBRIDGE_SHARE_DESTINATION})

set(SCANBRIDGE_UNIT_FILE ${CMAKE_BINARY_DIR}/packaging/scanbridge.service)
install(CODE "
    set(SCANBRIDGE_EXECUTABLE \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/scanbridge\")
    set(SCANBRIDGE_SHARE_DIR \"\${CMAKE_INSTALL_PREFIX}/${SCANBRIDGE_SHARE_DESTINATION}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/scanbridge.service.in\"
                   \"${SCANBRIDGE_UNIT_FILE}\" @ONLY)
")
install(FILES ${SCANBRIDGE_UNIT_FILE} DESTINATION lib/systemd/user)

# The package: scripts/package.sh -> build/scanbridge_<version>_<arch>.deb.
# Shared-library dependencies come from dpkg-shlibdeps; the data the service
# loads at run time (OCR languages and orientation model, the CJK font for
# watermarks and searchable documents, the SANE library) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scanbridge)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ScanBridge developers <scanbridge@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "lets web pages in a local browser operate a document scanner")
set(CPACK_PACKAGE_DESCRIPTION
    "A background service (systemd user unit) that serves scanners to web pages over local TCP: WebSocket commands and events, or a REST and Socket.IO interface.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "tesseract-ocr-chi-sim, tesseract-ocr-eng, tesseract-ocr-osd, fonts-noto-cjk, libsane1")
# Network scanners (eSCL/WSD) are reached through sane-airscan.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sane-airscan")
include(CPack)
