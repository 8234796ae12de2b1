/* A Windows Res.dll: its texts and its picture are resources (Res.rc, made
   at build time); the library's one piece of code is the entry point the
   system calls as it loads it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
