// The beep is obtained at run time from kernel32.dll, as the program has
// always done it: LoadLibraryW, GetProcAddress("Beep"), the call (which returns
// when the tone has ended), FreeLibrary. Silent when either is missing; tests
// under Wine can only see that the call returns.
#include "platform/windows/beeper.h"

#include <windows.h>

namespace morsello::platform::windows_backend {

void Kernel32Beeper::beep(int hz, int ms) {
  if (hz <= 0 || ms <= 0) return;
  HMODULE kernel32 = LoadLibraryW(L"kernel32.dll");
  if (!kernel32) return;
  using BeepFn = BOOL(WINAPI*)(DWORD, DWORD);
  // Through void(*)(): GCC's cast check accepts that between function types.
  if (FARPROC proc = GetProcAddress(kernel32, "Beep")) {
    reinterpret_cast<BeepFn>(reinterpret_cast<void (*)()>(proc))(static_cast<DWORD>(hz),
                                                                 static_cast<DWORD>(ms));
  }
  FreeLibrary(kernel32);
}

}  // namespace morsello::platform::windows_backend
