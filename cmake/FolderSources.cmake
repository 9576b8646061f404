# Adds every source file of the calling folder to the core library. Platform backends carry a
# suffix: *_linux.cpp builds on Linux, *_win32.cpp on Windows.
function(tb_add_folder_sources)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_linux\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  target_sources(tamberlin_core PRIVATE ${sources})
endfunction()
