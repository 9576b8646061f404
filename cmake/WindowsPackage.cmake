# The target windows_package (make windows-package): the setup program tamberlin-<version>-setup.exe
# (NSIS), the Windows Installer package tamberlin-<version>-x64.msi (wixl) and the portable
# tamberlin-<version>-windows-x64.zip in the build folder. All three hold one staged folder: the two
# executables and the data files that lie beside them. With a certificate (tools/windows/sign.sh) the
# programs are signed in the staged folder, the uninstaller before makensis packs it, and the setup
# and the MSI once written.
find_program(MAKENSIS_EXECUTABLE makensis)
find_program(WIXL_EXECUTABLE wixl)

# Signing is decided when the build runs, from the environment; a changed decision stages anew.
set(tb_sign ${CMAKE_SOURCE_DIR}/tools/windows/sign.sh)
set(tb_signing_state ${CMAKE_BINARY_DIR}/package/signing-state)
add_custom_target(windows_signing_state
  COMMAND ${tb_sign} --state ${tb_signing_state}
  BYPRODUCTS ${tb_signing_state}
  VERBATIM)

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
            "-DTRADEMARKS=${TAMBERLIN_LEGAL_TRADEMARKS}" -DSIGN=${tb_sign}
            ${CMAKE_SOURCE_DIR}/packaging/windows/tamberlin.nsi
    COMMAND ${tb_sign} ${output}
    DEPENDS ${nsis_sources} ${nsh} tamberlin_icon ${tb_icon} ${tb_sign} ${tb_signing_state} windows_signing_state
            ${arg_DEPENDS}
    COMMENT "Writing ${output}"
    VERBATIM)
endfunction()

# tb_msi(<output> <version> <stage> FILES <relative paths>... [DEPENDS ...]): runs wixl on the MSI
# script with the staged files. The UpgradeCode stays the same for every version, so that a newer
# MSI replaces an older one; the ProductCode follows from it and the version.
set(tb_msi_upgrade_code 5C3B7E52-1D6A-4F0B-9A63-8E2D40C7F1A9)
function(tb_msi output version stage)
  cmake_parse_arguments(arg "" "" "FILES;DEPENDS" ${ARGN})
  if(NOT WIXL_EXECUTABLE)
    message(FATAL_ERROR "wixl not found: install the Debian package wixl (tools/windows/install-deps.sh)")
  endif()
  get_filename_component(dir ${output} DIRECTORY)
  get_filename_component(name ${output} NAME)
  set(fragment ${dir}/${name}-files.wxs)
  # wixl takes a file's source path relative to the folder it runs in.
  file(RELATIVE_PATH stage_from_dir ${dir} ${stage})
  file(RELATIVE_PATH icon_from_dir ${dir} ${tb_icon})
  string(UUID product_code NAMESPACE ${tb_msi_upgrade_code} NAME "Tamberlin ${version}" TYPE SHA1 UPPER)
  add_custom_command(OUTPUT ${output}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/packaging/windows/make-wxs-files.py ${fragment} ${stage_from_dir}
            ${arg_FILES}
    COMMAND ${WIXL_EXECUTABLE} -a x64 -D Version=${version} -D ProductCode=${product_code}
            -D UpgradeCode=${tb_msi_upgrade_code} -D Icon=${icon_from_dir} -D Publisher=Quarnel -o ${output}
            ${CMAKE_SOURCE_DIR}/packaging/windows/tamberlin.wxs ${fragment}
    COMMAND ${tb_sign} ${output}
    WORKING_DIRECTORY ${dir}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/windows/tamberlin.wxs ${CMAKE_SOURCE_DIR}/packaging/windows/make-wxs-files.py
            tamberlin_icon ${tb_icon} ${tb_sign} ${tb_signing_state} windows_signing_state ${arg_DEPENDS}
    COMMENT "Writing ${output}"
    VERBATIM)
endfunction()

set(tb_package tamberlin-${PROJECT_VERSION}-windows-x64)
set(tb_stage ${CMAKE_BINARY_DIR}/package/${tb_package})
set(tb_setup ${CMAKE_BINARY_DIR}/tamberlin-${PROJECT_VERSION}-setup.exe)
set(tb_msi ${CMAKE_BINARY_DIR}/tamberlin-${PROJECT_VERSION}-x64.msi)
set(tb_zip ${CMAKE_BINARY_DIR}/${tb_package}.zip)

# What lies in the staged folder, and where it comes from.
file(GLOB_RECURSE tb_data_files RELATIVE ${CMAKE_SOURCE_DIR}/data CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
set(tb_package_files tamberlin.exe tamberlin-cli.exe ${tb_data_files} lastCommits.ini)
set(tb_stage_commands
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${tb_stage}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/data ${tb_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tamberlin> $<TARGET_FILE:tamberlin-cli> ${tb_change_log} ${tb_stage}
  COMMAND ${tb_sign} ${tb_stage}/tamberlin.exe ${tb_stage}/tamberlin-cli.exe)
list(TRANSFORM tb_data_files PREPEND ${CMAKE_SOURCE_DIR}/data/ OUTPUT_VARIABLE tb_data_sources)
add_custom_command(OUTPUT ${tb_stage}.stamp
  ${tb_stage_commands}
  COMMAND ${CMAKE_COMMAND} -E touch ${tb_stage}.stamp
  DEPENDS tamberlin tamberlin-cli windows_change_log ${tb_change_log} ${tb_data_sources} ${tb_sign}
          ${tb_signing_state} windows_signing_state
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

tb_msi(${tb_msi} ${PROJECT_VERSION} ${tb_stage} FILES ${tb_package_files} DEPENDS ${tb_stage}.stamp)

add_custom_target(windows_package DEPENDS ${tb_setup} ${tb_msi} ${tb_zip})
