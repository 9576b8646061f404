# Install rules: the programs in bin/, their data files in share/tamberlin/ (where the program
# looks for them, as ../share/tamberlin/ from its own folder), the desktop entry, icon, AppStream
# metainfo, manual pages and the copyright note.
include(GNUInstallDirs)
if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin" OR NOT CMAKE_INSTALL_DATADIR STREQUAL "share")
  message(WARNING "The program finds its data files in ../share/tamberlin/ from its own folder; "
                  "with bin=${CMAKE_INSTALL_BINDIR} and share=${CMAKE_INSTALL_DATADIR} it will not.")
endif()

set(TAMBERLIN_APP_ID "com.quarnel.Tamberlin")
set(TAMBERLIN_RELEASE_DATE "2026-12-10" CACHE STRING "Release date of this version (AppStream)")
set(TAMBERLIN_HOMEPAGE "https://quarnel.invalid/tamberlin" CACHE STRING
    "Web address of the project's pages; the AppStream screenshots lie below it in screenshots/")
set(tb_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(tb_datadir ${CMAKE_INSTALL_DATADIR}/tamberlin)

install(TARGETS tamberlin RUNTIME)

# Data files: the language files and the read-me from data/, and the change log the build writes
# from the last commits.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${tb_datadir})
add_custom_target(change_log ALL
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${CMAKE_BINARY_DIR}/lastCommits.ini
          -DVERSION=${PROJECT_VERSION} -P ${CMAKE_SOURCE_DIR}/cmake/ChangeLog.cmake
  BYPRODUCTS ${CMAKE_BINARY_DIR}/lastCommits.ini
  COMMENT "Writing the change log from the last commits")
install(FILES ${CMAKE_BINARY_DIR}/lastCommits.ini DESTINATION ${tb_datadir})

# Desktop integration.
install(FILES ${tb_packaging}/${TAMBERLIN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${tb_packaging}/${TAMBERLIN_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${TAMBERLIN_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${TAMBERLIN_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${tb_packaging}/icons/tamberlin.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${tb_packaging}/icons/tamberlin-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tamberlin.png)
endforeach()

# Manual pages: troff sources with the version filled in, gzipped (-n: no time stamp inside, so
# the package is the same from one build to the next).
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(tb_man_pages)
foreach(page tamberlin tamberlin-cli korvane-sim)
  set(src ${tb_packaging}/man/${page}.1.in)
  set(page_file ${CMAKE_BINARY_DIR}/man/${page}.1)
  configure_file(${src} ${page_file} @ONLY)
  add_custom_command(OUTPUT ${page_file}.gz
    COMMAND ${GZIP_EXECUTABLE} -9 -n -f -k ${page_file}
    DEPENDS ${page_file}
    COMMENT "Compressing the manual page ${page}(1)")
  list(APPEND tb_man_pages ${page_file}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${tb_man_pages})
install(FILES ${tb_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The copyright note, where Debian looks for it.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/copyright
     "Tamberlin ${PROJECT_VERSION}\n${TAMBERLIN_LEGAL_COPYRIGHT}\n${TAMBERLIN_LEGAL_TRADEMARKS}\n")
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tamberlin)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tamberlin)
