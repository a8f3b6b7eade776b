# What an installed Tarvik brings beside its programs and settings: the
# manual pages, the desktop entry, the icon, the AppStream metainfo and the
# licence; and the Debian package made of them (cpack, or scripts/package).

set(TARVIK_APP_ID org.tarvik.Tarvik)
set(TARVIK_RELEASE_DATE 2026-12-09)

# Manual pages. The sources name the settings folder of the package; the
# installed pages name the one of this build. Gzipped as Debian wants them.
set(tarvik_man_pages tarvik-clean)
if(TARVIK_BUILD_UI)
  list(APPEND tarvik_man_pages tarvik)
endif()
find_program(TARVIK_GZIP gzip)
set(tarvik_man_outputs)
foreach(page IN LISTS tarvik_man_pages)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REPLACE "/usr/share/tarvik/settings" "${TARVIK_SETTINGS_INSTALL_DIR}" text "${text}")
  file(WRITE ${CMAKE_BINARY_DIR}/man/${page}.1.new "${text}")
  configure_file(${CMAKE_BINARY_DIR}/man/${page}.1.new ${CMAKE_BINARY_DIR}/man/${page}.1 COPYONLY)
  if(TARVIK_GZIP)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
      COMMAND ${TARVIK_GZIP} -9 -n -f -k ${page}.1
      DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man
      VERBATIM)
    list(APPEND tarvik_man_outputs ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  else()
    list(APPEND tarvik_man_outputs ${CMAKE_BINARY_DIR}/man/${page}.1)
  endif()
endforeach()
add_custom_target(man_pages ALL DEPENDS ${tarvik_man_outputs})
install(FILES ${tarvik_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The window in the desktop's menu.
if(TARVIK_BUILD_UI)
  install(FILES ${PROJECT_SOURCE_DIR}/desktop/${TARVIK_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${PROJECT_SOURCE_DIR}/desktop/${TARVIK_APP_ID}.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/${TARVIK_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${TARVIK_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  set(TARVIK_ICON_SIZES 16 24 32 48 64 128 256)
  foreach(size IN LISTS TARVIK_ICON_SIZES)
    install(FILES ${PROJECT_SOURCE_DIR}/desktop/icons/${TARVIK_APP_ID}-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${TARVIK_APP_ID}.png)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/desktop/icons/${TARVIK_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # The PNGs are committed; after a change to the SVG, `cmake --build build
  # --target icons` draws them again.
  find_program(TARVIK_RSVG_CONVERT rsvg-convert)
  if(TARVIK_RSVG_CONVERT)
    set(commands)
    foreach(size IN LISTS TARVIK_ICON_SIZES)
      list(APPEND commands COMMAND ${TARVIK_RSVG_CONVERT} -w ${size} -h ${size}
           -o ${TARVIK_APP_ID}-${size}.png ${TARVIK_APP_ID}.svg)
    endforeach()
    add_custom_target(icons ${commands}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/desktop/icons
      COMMENT "Drawing desktop/icons/*.png from the SVG"
      VERBATIM)
  endif()
endif()

# The licence, as Debian's copyright file.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(FIND "${licence}" "Permission is hereby granted" start)
string(SUBSTRING "${licence}" ${start} -1 licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " licence "${licence}")
file(WRITE ${CMAKE_BINARY_DIR}/copyright.new
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: Tarvik\n"
  "\n"
  "Files: *\n"
  "Copyright: 2026 The Tarvik developers\n"
  "License: MIT\n"
  " ${licence}\n")
configure_file(${CMAKE_BINARY_DIR}/copyright.new ${CMAKE_BINARY_DIR}/copyright COPYONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvik)

# The Debian package. Its dependencies come from dpkg-shlibdeps.
set(TARVIK_PACKAGE_MAINTAINER "The Tarvik developers <tarvik@example.org>"
    CACHE STRING "Maintainer of the Debian package")

# Debian's changelog of a native package, one entry per release.
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -d "${TARVIK_RELEASE_DATE}" "+%a, %d %b %Y"
  OUTPUT_VARIABLE release_day OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(release_day STREQUAL "")
  set(release_day "${TARVIK_RELEASE_DATE}")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/changelog.new
  "tarvik (${PROJECT_VERSION}) unstable; urgency=medium\n"
  "\n"
  "  * Release ${PROJECT_VERSION}.\n"
  "\n"
  " -- ${TARVIK_PACKAGE_MAINTAINER}  ${release_day} 00:00:00 +0000\n")
configure_file(${CMAKE_BINARY_DIR}/changelog.new ${CMAKE_BINARY_DIR}/changelog COPYONLY)
if(TARVIK_GZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
    COMMAND ${TARVIK_GZIP} -9 -n -f -k changelog
    DEPENDS ${CMAKE_BINARY_DIR}/changelog
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    VERBATIM)
  add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvik)
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VENDOR "The Tarvik developers")
set(CPACK_PACKAGE_CONTACT "${TARVIK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clean a combine's yield-monitor data")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Tarvik reads the yield-monitor export of one harvested field, computes each\n"
  "reading's dry yield and marks every reading that one of twelve removal rules\n"
  "rejects: header up, pass start and end delays, outliers, the crop's yield\n"
  "limits, readings unlike their neighbours, short passes and readings logged\n"
  "twice at one place. It writes a GSLIB data file.\n"
  "\n"
  "This package holds the window (tarvik), the command line (tarvik-clean) and\n"
  "the supplied settings files.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
