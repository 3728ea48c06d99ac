// Program entry on Windows: builds the Win32 platform and hands it to the
// program. Cannot: report anything before a window exists other than by a
// message box (a -mwindows program has no console). Tests cannot check under
// Wine: how Windows places the first window of a process started from Explorer.
#include <windows.h>

#include "core/shell/shell.h"
#include "platform/windows/audio.h"
#include "platform/windows/beeper.h"
#include "platform/windows/clock.h"
#include "platform/windows/files.h"
#include "platform/windows/gui.h"
#include "platform/windows/keyboard.h"
#include "platform/windows/serial.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace morsello::platform::windows_backend;
  // The program blocks its one thread for whole transmissions. A ghost window
  // that Windows would put over ours after 5 s would take the foreground, and
  // with it the Escape key, from our main window.
  DisableProcessWindowsGhosting();
  WindowsAudio audio;
  audio.start_early();
  Win32Gui gui(instance);
  Win32Keyboard keyboard(gui);
  Win32Serial serial;
  Kernel32Beeper beeper;
  Win32Clock clock;
  Win32Files files;
  morsello::platform::Platform platform{gui, keyboard, serial, audio, clock, beeper, files};
  morsello::run_program(platform);
  return 0;
}
