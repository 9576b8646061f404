# The target windows_package (make windows-package): the setup program tamberlin-<version>-setup.exe
# (NSIS) and the portable tamberlin-<version>-windows-x64.zip in the build folder. Both hold one
# staged folder: the two executables and the data files that lie beside them.
find_program(MAKENSIS_EXECUTABLE makensis)

# The change log beside the program, as on Linux.
set(tb_change_log ${CMAKE_BINARY_DIR}/lastCommits.ini)
add_custom_target(windows_change_log
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${tb_change_log} -DVERSION=${PROJECT_VERSION}
          -P ${CMAKE_SOURCE_DIR}/cmake/ChangeLog.cmake
  BYPRODUCTS ${tb_change_log}
  COMMENT "Writing the change log from the last commits")

# tb_nsis_files(<nsh> <stage> <relative paths>...): the file lists the setup script inserts, so that
# the setup installs and the uninstaller removes exactly the staged files.
function(tb_nsis_files nsh stage)
  set(install "!macro TB_INSTALL_FILES\n")
  set(each "!macro TB_FOR_EACH_FILE action\n")
  set(folders "")
  foreach(file IN LISTS ARGN)
    string(REPLACE / \\ windows ${file})
    get_filename_component(dir ${windows} DIRECTORY)
    if(dir)
      string(APPEND install "  SetOutPath \"$INSTDIR\\${dir}\"\n")
      list(APPEND folders ${dir})
    else()
      string(APPEND install "  SetOutPath \"$INSTDIR\"\n")
    endif()
    string(APPEND install "  File \"${stage}/${file}\"\n")
    string(APPEND each "  !insertmacro \${action} \"${windows}\"\n")
  endforeach()
  # Deepest folders first; a folder that holds files of the user's stays.
  list(REMOVE_DUPLICATES folders)
  list(SORT folders ORDER DESCENDING)
  set(rmdir "!macro TB_REMOVE_FOLDERS\n")
  foreach(dir IN LISTS folders)
    string(APPEND rmdir "  RMDir \"$INSTDIR\\${dir}\"\n")
  endforeach()
  file(WRITE ${nsh} "${install}!macroend\n${each}!macroend\n${rmdir}!macroend\n")
endfunction()

# tb_nsis_setup(<output> <version> <nsh> [DEPENDS ...]): runs makensis on the setup script.
function(tb_nsis_setup output version nsh)
  cmake_parse_arguments(arg "" "" "DEPENDS" ${ARGN})
  if(NOT MAKENSIS_EXECUTABLE)
    message(FATAL_ERROR "makensis not found: install the Debian package nsis (tools/windows/install-deps.sh)")
  endif()
  file(GLOB nsis_sources ${CMAKE_SOURCE_DIR}/packaging/windows/*.ns?)
  add_custom_command(OUTPUT ${output}
    COMMAND ${MAKENSIS_EXECUTABLE} -V2 -DVERSION=${version} -DOUTFILE=${output} -DICON=${tb_icon} -DFILES=${nsh}
            "-DPUBLISHER=Quarnel" "-DCOPYRIGHT=${TAMBERLIN_LEGAL_COPYRIGHT}"
            "-DTRADEMARKS=${TAMBERLIN_LEGAL_TRADEMARKS}" ${CMAKE_SOURCE_DIR}/packaging/windows/tamberlin.nsi
    DEPENDS ${nsis_sources} ${nsh} tamberlin_icon ${tb_icon} ${arg_DEPENDS}
    COMMENT "Writing ${output}"
    VERBATIM)
endfunction()

set(tb_package tamberlin-${PROJECT_VERSION}-windows-x64)
set(tb_stage ${CMAKE_BINARY_DIR}/package/${tb_package})
set(tb_setup ${CMAKE_BINARY_DIR}/tamberlin-${PROJECT_VERSION}-setup.exe)
set(tb_zip ${CMAKE_BINARY_DIR}/${tb_package}.zip)

# What lies in the staged folder, and where it comes from.
file(GLOB_RECURSE tb_data_files RELATIVE ${CMAKE_SOURCE_DIR}/data CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
set(tb_package_files tamberlin.exe tamberlin-cli.exe ${tb_data_files} lastCommits.ini)
set(tb_stage_commands
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${tb_stage}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/data ${tb_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tamberlin> $<TARGET_FILE:tamberlin-cli> ${tb_change_log} ${tb_stage})
list(TRANSFORM tb_data_files PREPEND ${CMAKE_SOURCE_DIR}/data/ OUTPUT_VARIABLE tb_data_sources)
add_custom_command(OUTPUT ${tb_stage}.stamp
  ${tb_stage_commands}
  COMMAND ${CMAKE_COMMAND} -E touch ${tb_stage}.stamp
  DEPENDS tamberlin tamberlin-cli windows_change_log ${tb_change_log} ${tb_data_sources}
  COMMENT "Gathering the files of the Windows package"
  VERBATIM)

tb_nsis_files(${CMAKE_BINARY_DIR}/package/files.nsh ${tb_stage} ${tb_package_files})
tb_nsis_setup(${tb_setup} ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/package/files.nsh DEPENDS ${tb_stage}.stamp)

add_custom_command(OUTPUT ${tb_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${tb_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${tb_zip} --format=zip ${tb_package}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/package
  DEPENDS ${tb_stage}.stamp
  COMMENT "Writing ${tb_zip}")

add_custom_target(windows_package DEPENDS ${tb_setup} ${tb_zip})
