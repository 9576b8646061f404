// A DLL planted beside a program under the name of a system DLL, as a browser may leave one in a
// Downloads folder. Loaded, it leaves the file <its own path>.loaded with the path of the program
// that loaded it. Test-only, never shipped.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    WCHAR path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      lstrcpyW(path + length, L".loaded");
      HANDLE mark = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
      if (mark != INVALID_HANDLE_VALUE) {
        char program[MAX_PATH];
        DWORD written = 0;
        DWORD size = GetModuleFileNameA(NULL, program, MAX_PATH);
        WriteFile(mark, program, size, &written, NULL);
        CloseHandle(mark);
      }
    }
  }
  return TRUE;
}
