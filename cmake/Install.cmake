# What `cmake --install` puts under the prefix, the checks of those files, and the Debian package
# (scripts/package.sh). The program finds its help book in share/oxbrook/ from bin/.
include(GNUInstallDirs)

set(OXBROOK_ICON_SIZES 16 22 24 32 48 64 128 256)
set(OXBROOK_ICON_DIR ${PROJECT_BINARY_DIR}/icons)
set(OXBROOK_ICONS)
foreach(size ${OXBROOK_ICON_SIZES})
  list(APPEND OXBROOK_ICONS ${OXBROOK_ICON_DIR}/${size}x${size}/oxbrook.png)
endforeach()
add_custom_command(OUTPUT ${OXBROOK_ICONS}
  COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/scripts/draw_icon.py ${OXBROOK_ICON_DIR}
          ${OXBROOK_ICON_SIZES}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/draw_icon.py
  COMMENT "Drawing the program's icons")
add_custom_target(oxbrook_icons ALL DEPENDS ${OXBROOK_ICONS})

install(TARGETS oxbrook RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/Oxbrook.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/oxbrook)
install(FILES ${PROJECT_SOURCE_DIR}/resources/oxbrook.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/com.example.oxbrook.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size ${OXBROOK_ICON_SIZES})
  install(FILES ${OXBROOK_ICON_DIR}/${size}x${size}/oxbrook.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The installed tree itself is checked: the files land where the desktop looks for them, and
# the desktop entry and the AppStream data pass their validators.
add_test(NAME install_tree_validates
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check_install.sh ${PROJECT_BINARY_DIR}
          ${PROJECT_BINARY_DIR}/install-check)
set_tests_properties(install_tree_validates PROPERTIES LABELS "install" TIMEOUT 120)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oxbrook)
set(CPACK_PACKAGE_VENDOR "The Oxbrook developers")
set(CPACK_PACKAGE_CONTACT "The Oxbrook developers <support@oxbrook.example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop FTP client with a transfer queue")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://oxbrook.example.com/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The run-time libraries are read from the program itself, so the list never goes stale.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system plugin at run time, so no library list names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
