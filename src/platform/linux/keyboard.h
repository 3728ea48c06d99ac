// Keyboard polling on X11: the Escape key read from the server's keymap.
// Cannot: tell which window is in front without a window manager other than
// by the input focus (or the pointer, when the focus follows it).
// Tests cannot check: managers that keep no _NET_ACTIVE_WINDOW up to date.
#pragma once

#include <optional>

#include "platform/linux/gui.h"
#include "platform/platform.h"

typedef struct _XDisplay Display;

namespace morsello::platform::linux_backend {

// Snapshots of the Escape key from the X server's keymap, taken only while
// the main window is the foreground window.
class X11Keyboard final : public Keyboard {
 public:
  explicit X11Keyboard(const WindowLookup& windows) : windows_(windows) {}
  ~X11Keyboard() override;
  bool init() override;
  std::optional<bool> escape_down(int main_window) override;

 private:
  bool foreground(unsigned long xid);
  unsigned long toplevel(unsigned long xid);
  unsigned long window_property(unsigned long window, unsigned long atom);

  const WindowLookup& windows_;
  Display* display_ = nullptr;  // a connection of its own: queries only
  unsigned char escape_code_ = 0;
  unsigned long supporting_wm_ = 0, active_window_ = 0;  // atoms
};

}  // namespace morsello::platform::linux_backend
