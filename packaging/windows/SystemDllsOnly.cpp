// The Windows programs' entry points. Windows looks for a DLL that is not on its KnownDLLs list in
// the program's own folder first, and a browser may have left e.g. a version.dll in the Downloads
// folder where the portable zip is unpacked. Such DLLs are delay-loaded (cmake/Windows.cmake), so
// nothing of them is loaded before this runs, and from here on the process loads DLLs from the
// system folder only. Nothing else runs before it, not even the C runtime's start.
#include <windows.h>

extern "C" {
int mainCRTStartup();
int WinMainCRTStartup();
}

namespace {

void loadDllsFromSystemFolderOnly() {
  // Never run unprotected: every Windows that Qt 6 supports has this call.
  if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
    ExitProcess(ERROR_DLL_INIT_FAILED);
}

} // namespace

extern "C" int tb_console_entry() {
  loadDllsFromSystemFolderOnly();
  return mainCRTStartup();
}

extern "C" int tb_gui_entry() {
  loadDllsFromSystemFolderOnly();
  return WinMainCRTStartup();
}
