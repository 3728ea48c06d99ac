// The top-level window of the FLTK backend: fixed size, centred with its frame;
// close box and Escape never hide it. Tab order is the toolkit's: child order.
// Cannot: know the frame size before the window manager has framed one window.
// Tests cannot check: the frame decorations that other window managers draw.
#pragma once

#include <FL/Fl_Double_Window.H>

#include "platform/linux/gui.h"

namespace morsello::platform::linux_backend {

class FormWindow final : public Fl_Double_Window {
 public:
  FormWindow(FltkGui& gui, int number, int width, int height);

  int number() const { return number_; }
  FltkGui& gui() { return gui_; }

  // Shows the window centred on the primary screen, outer frame included as
  // far as the frame is known, and tells the window manager it has a fixed size.
  void show_centred();

  // Registers the watch for frame sizes that the window manager reports.
  static void install_frame_watch();

 private:
  struct Frame {
    int left = 0, right = 0, top = 0, bottom = 0;
    friend bool operator==(const Frame&, const Frame&) = default;
  };

  void move_centred(const Frame& frame);
  void set_frame_hints();
  static int on_system_event(void* xevent, void* data);
  static void on_close(Fl_Widget* window, void* data);

  static Frame known_frame_;  // the last frame any of our windows got
  FltkGui& gui_;
  int number_;
  Frame placed_with_;     // the frame assumed at the last placement
  bool settled_ = false;  // placed once with the frame the manager reported
};

}  // namespace morsello::platform::linux_backend
