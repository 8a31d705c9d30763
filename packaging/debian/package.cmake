# Desktop integration (`cmake --install`) and the Debian package (`cpack` in the build directory).
# Only the program goes to bin/; its data goes where the freedesktop data lookup finds it.

find_program(TONVELA_GZIP gzip REQUIRED)
find_program(TONVELA_RSVG_CONVERT rsvg-convert REQUIRED)

set(tonvela_resources ${PROJECT_SOURCE_DIR}/resources)
set(tonvela_debian ${PROJECT_SOURCE_DIR}/packaging/debian)
set(tonvela_staging ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS tonvela RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The system-wide fallback of the voice lookup ($XDG_DATA_DIRS/tonvela/); a user's own recording
# in ~/.local/share/tonvela/ comes first.
install(FILES ${TONVELA_SAMPLE_VOICE}
        RENAME 语音文件.WAV DESTINATION ${CMAKE_INSTALL_DATADIR}/tonvela)
install(FILES ${tonvela_resources}/org.tonvela.Tonvela.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${tonvela_resources}/org.tonvela.Tonvela.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${tonvela_debian}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Lintian reads a package's overrides from the package itself; an override file with no tags in
# it is left out.
file(STRINGS ${tonvela_debian}/lintian-overrides tonvela_lintian_overrides REGEX "^[^#]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tonvela_debian}/lintian-overrides)
if(tonvela_lintian_overrides)
  install(FILES ${tonvela_debian}/lintian-overrides
          RENAME tonvela DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides)
endif()

# Debian wants documentation gzipped at maximum compression and without a time stamp (-n), so
# two builds of the same sources give the same package.
set(tonvela_gzipped)
function(tonvela_install_gzipped source name destination)
  set(plain ${tonvela_staging}/gz/${name})
  add_custom_command(
    OUTPUT ${plain}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tonvela_staging}/gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
    COMMAND ${TONVELA_GZIP} -9nf ${plain}
    DEPENDS ${source}
    COMMENT "Compressing ${name}")
  install(FILES ${plain}.gz DESTINATION ${destination})
  set(tonvela_gzipped ${tonvela_gzipped} ${plain}.gz PARENT_SCOPE)
endfunction()
tonvela_install_gzipped(${PROJECT_SOURCE_DIR}/docs/tonvela.1 tonvela.1
                        ${CMAKE_INSTALL_MANDIR}/man1)
# A native package (no Debian revision in its version) carries changelog.gz.
tonvela_install_gzipped(${tonvela_debian}/changelog changelog ${CMAKE_INSTALL_DOCDIR})

# Icons under the name the desktop entry's Icon= asks for. The XPM files stay the source of the
# small sizes, drawn pixel by pixel; the larger ones are rendered from the SVG drawing.
set(tonvela_icon_name tonvela)
set(tonvela_icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
set(tonvela_icon_pngs)
foreach(size 16 32)
  set(xpm ${tonvela_resources}/icons/tonvela-${size}.xpm)
  set(png ${tonvela_staging}/icons/${size}x${size}/${tonvela_icon_name}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tonvela_staging}/icons/${size}x${size}
    # A sanitizer build of the tool must not fail the build over Qt's own leaks at exit.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:tonvela_xpm_to_png> ${xpm} ${png}
    DEPENDS ${xpm} tonvela_xpm_to_png
    COMMENT "Icon ${size}x${size} from its XPM source")
  list(APPEND tonvela_icon_pngs ${png})
  install(FILES ${png} DESTINATION ${tonvela_icon_dir}/${size}x${size}/apps)
endforeach()

set(svg ${tonvela_resources}/icons/tonvela.svg)
foreach(size 48 64 128 256)
  set(png ${tonvela_staging}/icons/${size}x${size}/${tonvela_icon_name}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tonvela_staging}/icons/${size}x${size}
    COMMAND ${TONVELA_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${svg}
    DEPENDS ${svg}
    COMMENT "Icon ${size}x${size} from the SVG drawing")
  list(APPEND tonvela_icon_pngs ${png})
  install(FILES ${png} DESTINATION ${tonvela_icon_dir}/${size}x${size}/apps)
endforeach()
install(FILES ${svg} RENAME ${tonvela_icon_name}.svg DESTINATION ${tonvela_icon_dir}/scalable/apps)
add_custom_target(tonvela_package_files ALL DEPENDS ${tonvela_icon_pngs} ${tonvela_gzipped})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonvela)
set(CPACK_PACKAGE_VENDOR "The Tonvela authors")
set(CPACK_PACKAGE_CONTACT "Tonvela maintainers <maintainers@tonvela.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tonvela.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop voice reminder at day and night intervals")
set(CPACK_PACKAGE_DESCRIPTION [=[
Tonvela shows one small window with two boxes, a day interval and a night
interval in minutes. Every minute it counts one; when the count reaches the
interval in force (day from 08:00 to 17:59, night otherwise) it plays a voice
recording once and counts from zero again.

Put your own recording in ~/.local/share/tonvela/; a short spoken sample is
installed for everyone. Nothing is saved between starts.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Libraries the program links come from dpkg-shlibdeps; what it loads at run time is named here:
# Qt's platform plugins to open a window on X11 (qt6-qpa-plugins) and on a Wayland session
# without Xwayland (qt6-wayland), and a face that has the Chinese glyphs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-wayland, fonts-arphic-uming | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, pulseaudio | pipewire-pulse")
include(CPack)
