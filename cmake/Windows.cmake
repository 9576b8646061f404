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

# tb_windows_program(<target> <description> GUI|CONSOLE): the version resource and the icon in the
# executable; a GUI program gets no console window and carries the platform plugins.
function(tb_windows_program target description kind)
  set(TB_RC_NAME ${target})
  set(TB_RC_FILENAME ${target}.exe)
  set(TB_RC_DESCRIPTION "${description}")
  set(TB_RC_ICON ${tb_icon})
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} tamberlin_icon)
  if(kind STREQUAL "GUI")
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE TRUE)
    tb_windows_plugins(${target})
  endif()
endfunction()

# Tests and the programs run under Wine, in a prefix of this build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/windows/wine-run.sh)
