// Program entry on Linux: builds the X11/FLTK, termios and miniaudio platform
// and hands it to the program. Cannot: run without an X display (it says so
// and ends with code 0). Tests cannot check: X servers other than Xvfb.
#include <cstdio>

#include "core/shell/shell.h"
#include "platform/linux/clock.h"
#include "platform/posix/files.h"
#include "platform/linux/gui.h"
#include "platform/linux/keyboard.h"
#include "platform/linux/quiet_sound_libraries.h"
#include "platform/linux/serial.h"
#include "platform/sound/audio.h"

int main() {
  using namespace morsello::platform::linux_backend;
  // Checked here: the toolkit would end the process with code 1 on its own.
  if (!x_display_available()) {
    std::fputs("morsello: cannot open the X display (is DISPLAY set?)\n", stderr);
    return 0;
  }
  FltkGui gui;
  X11Keyboard keyboard(gui);
  TermiosSerial serial;
  quiet_sound_libraries();
  morsello::platform::sound::MiniaudioAudio audio;
  // Labels changed during blocking work are drawn as the next wait begins.
  const auto repaint = [&gui] { gui.surface_present(); };
  morsello::platform::sound::AudioBeeper beeper(audio, repaint);
  LinuxClock clock;
  clock.set_before_wait(repaint);
  morsello::platform::posix::PosixFiles files;
  morsello::platform::Platform platform{gui, keyboard, serial, audio, clock, beeper, files};
  return morsello::run_program(platform);
}
