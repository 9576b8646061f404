# The Windows build: cross-compiled with MinGW-w64 against a static Qt, so that each program is
# one executable that needs nothing beside it but its data files.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The program's icon, from the PNGs the Linux package installs.
set(tb_icon ${CMAKE_BINARY_DIR}/generated/tamberlin.ico)
set(tb_icon_pngs)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND tb_icon_pngs ${CMAKE_SOURCE_DIR}/packaging/icons/tamberlin-${size}.png)
endforeach()
add_custom_command(OUTPUT ${tb_icon}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/packaging/windows/make-ico.py ${tb_icon} ${tb_icon_pngs}
  DEPENDS ${tb_icon_pngs} ${CMAKE_SOURCE_DIR}/packaging/windows/make-ico.py
  COMMENT "Writing the program's icon")
add_custom_target(tamberlin_icon DEPENDS ${tb_icon})

# Windows' platform plugins are linked in: the desktop's own, and the invisible ones that tests and
# unattended runs choose with QT_QPA_PLATFORM.
function(tb_windows_plugins target)
  qt_import_plugins(${target} INCLUDE Qt6::QWindowsIntegrationPlugin Qt6::QOffscreenIntegrationPlugin
                    Qt6::QMinimalIntegrationPlugin)
endfunction()

# System DLLs that are not on Windows' KnownDLLs list, which Qt links: Windows would look for them in
# the program's folder first. Linked through delay-import libraries of the same names, they load at
# their first use, after the entry point (packaging/windows/SystemDllsOnly.cpp) has restricted the
# search to the system folder. tests/wine/wine_dll_planting.py fails when a program imports another
# such DLL at its start.
set(tb_delay_loaded_dlls authz d3d9 d3d11 dwmapi dwrite dxgi netapi32 userenv uxtheme version winmm wtsapi32)
set(tb_delay_libs ${CMAKE_BINARY_DIR}/delay-import)
find_program(TB_MINGW_NM NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-nm REQUIRED)
find_program(TB_MINGW_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool REQUIRED)
set(tb_delay_lib_files)
foreach(dll IN LISTS tb_delay_loaded_dlls)
  find_library(TB_IMPORT_LIB_${dll} NAMES ${dll} REQUIRED)
  set(lib ${tb_delay_libs}/lib${dll}.a)
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_SOURCE_DIR}/tools/windows/delay-import-lib.sh ${TB_MINGW_NM} ${TB_MINGW_DLLTOOL}
            ${TB_IMPORT_LIB_${dll}} ${dll}.dll ${lib}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/windows/delay-import-lib.sh ${TB_IMPORT_LIB_${dll}}
    COMMENT "Writing the delay-import library of ${dll}.dll"
    VERBATIM)
  list(APPEND tb_delay_lib_files ${lib})
endforeach()
file(MAKE_DIRECTORY ${tb_delay_libs})
add_custom_target(tamberlin_delay_imports DEPENDS ${tb_delay_lib_files})

# tb_system_dlls_only(<target> GUI|CONSOLE): the program loads the DLLs above from the system folder
# only. Their delay-import libraries come first in the search for -l<name>.
function(tb_system_dlls_only target kind)
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/packaging/windows/SystemDllsOnly.cpp)
  target_link_directories(${target} BEFORE PRIVATE ${tb_delay_libs})
  if(kind STREQUAL "GUI")
    target_link_options(${target} PRIVATE -Wl,--entry=tb_gui_entry)
  else()
    target_link_options(${target} PRIVATE -Wl,--entry=tb_console_entry)
  endif()
  add_dependencies(${target} tamberlin_delay_imports)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${tb_delay_lib_files})
endfunction()

# tb_windows_program(<target> <description> GUI|CONSOLE): the version resource and the icon in the
# executable, DLLs from the system folder only; a GUI program gets no console window and carries the
# platform plugins.
function(tb_windows_program target description kind)
  set(TB_RC_NAME ${target})
  set(TB_RC_FILENAME ${target}.exe)
  set(TB_RC_DESCRIPTION "${description}")
  set(TB_RC_ICON ${tb_icon})
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} tamberlin_icon)
  tb_system_dlls_only(${target} ${kind})
  if(kind STREQUAL "GUI")
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE TRUE)
    tb_windows_plugins(${target})
  endif()
endfunction()

# Tests and the programs run under Wine, in a prefix of this build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/windows/wine-run.sh)
