// Escape through GetAsyncKeyState, counted only while our main window is the
// foreground window. Cannot: use the low bit ("pressed since the last call"),
// which other programs share. Tests cannot check under Wine: another program
// in front (there is no other window under the test's X server).
#include "platform/windows/keyboard.h"

#include <windows.h>

namespace morsello::platform::windows_backend {

std::optional<bool> Win32Keyboard::escape_down(int main_window) {
  HWND main = gui_.hwnd(main_window);
  if (!main || GetForegroundWindow() != main) return std::nullopt;
  return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
}

}  // namespace morsello::platform::windows_backend
