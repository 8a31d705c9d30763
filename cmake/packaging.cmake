# Desktop integration (`cmake --install`) and the Debian package (`cpack` in the build directory).

install(TARGETS tonvela RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TONVELA_SAMPLE_VOICE} RENAME 语音文件.WAV DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/tonvela.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The XPM files stay the source; icon themes get PNG files made from them at build time.
find_package(Qt6 REQUIRED COMPONENTS Gui)
add_executable(tonvela_xpm_to_png ${PROJECT_SOURCE_DIR}/window/qt/xpm_to_png.cpp)
target_link_libraries(tonvela_xpm_to_png PRIVATE Qt6::Gui)
set_target_properties(tonvela_xpm_to_png PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
tonvela_warnings(tonvela_xpm_to_png)

set(tonvela_icon_pngs)
foreach(size 16 32)
  set(xpm ${PROJECT_SOURCE_DIR}/resources/icons/tonvela-${size}.xpm)
  set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/tonvela.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
    # A sanitizer build of the tool must not fail the build over Qt's own leaks at exit.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:tonvela_xpm_to_png> ${xpm} ${png}
    DEPENDS ${xpm} tonvela_xpm_to_png
    COMMENT "Icon ${size}x${size} from its XPM source")
  list(APPEND tonvela_icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(tonvela_icons ALL DEPENDS ${tonvela_icon_pngs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonvela)
set(CPACK_PACKAGE_VENDOR "Tonvela")
set(CPACK_PACKAGE_CONTACT "Tonvela maintainers <tonvela@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop voice reminder at day and night intervals")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Libraries the program links come from dpkg-shlibdeps; what it loads at run time is named here:
# Qt's platform plugins to open a window at all, and a face that has the Chinese glyphs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-arphic-uming | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, pulseaudio | pipewire-pulse")
include(CPack)
