// Windows, widgets, fonts and the event queue on X11 through FLTK 1.3.
// Cannot: take the outer frame size into account before the window manager
// has framed the first window, nor forbid resizing where no manager enforces it.
// Tests cannot check: the look of the frame under other window managers.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

class Fl_Widget;

namespace morsello::platform::linux_backend {

class FormWindow;  // gui_window.h
struct TimerSlot;  // gui.cpp

// A toolkit font: face number (Fl_Font) and size in pixels.
struct FltkFont {
  int face = 0;
  int size = 0;
};

// Whether the X display named by $DISPLAY can be opened.
bool x_display_available();

// The X11 window id of one of our windows, for the keyboard polling; 0 when
// that window is not open.
class WindowLookup {
 public:
  virtual ~WindowLookup() = default;
  virtual unsigned long xid(int window) const = 0;
};

class FltkGui final : public Gui, public WindowLookup {
 public:
  FltkGui();
  ~FltkGui() override;

  bool init_surface_service() override;
  FontId create_font(const std::string& face, int points, bool bold) override;
  void open_window(int number, int width, int height, const std::string& title,
                   Rgb background) override;
  void close_window(int number) override;
  void start_timer(int window, int timer_id, int period_ms) override;
  void create_widget(const WidgetSpec& spec) override;
  std::string field_text(int number) override;
  Event wait_event() override;
  void pump_one() override;
  void surface_open(int window) override;
  void surface_present() override;
  void message_box(const std::string& title, const std::string& text) override;
  void shutdown() override;

  unsigned long xid(int window) const override;

  // Called by widgets and windows from inside the toolkit's event handling.
  void post(const Event& event) { queue_.push_back(event); }

 private:
  struct Window {
    FormWindow* window = nullptr;  // owned; deleted with its widgets
    std::vector<std::unique_ptr<TimerSlot>> timers;
  };
  struct Widget {
    Fl_Widget* widget = nullptr;  // owned by its window
    int window = 0;
  };

  void destroy_window(int number);
  FltkFont font(FontId id) const;

  bool open_ = false;
  std::deque<Event> queue_;
  std::map<int, Window> windows_;
  std::map<int, Widget> widgets_;
  std::vector<FltkFont> fonts_;         // index = FontId - 1
  std::deque<std::string> font_names_;  // the toolkit keeps pointers to these
};

}  // namespace morsello::platform::linux_backend
