// Windows, controls, fonts and the event queue on USER32/GDI32.
// Cannot: keep Windows from showing its own ghost window over one whose thread
// blocks for seconds, except by DisableProcessWindowsGhosting (main.cpp).
// Tests cannot check under Wine: focus and foreground rules of a real desktop.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace morsello::platform::windows_backend {

class Win32Gui final : public Gui {
 public:
  explicit Win32Gui(HINSTANCE instance) : instance_(instance) {}
  ~Win32Gui() override;
  Win32Gui(const Win32Gui&) = delete;
  Win32Gui& operator=(const Win32Gui&) = delete;

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

  // The handle of one of our windows; null when that window is not open.
  HWND hwnd(int window) const;

 private:
  struct Window {
    Win32Gui* gui = nullptr;
    int number = 0;
    HWND hwnd = nullptr;
    HBRUSH background = nullptr;
    HWND saved_focus = nullptr;  // the control that had the focus when we lost it
  };
  struct Widget {
    HWND hwnd = nullptr;
    int window = 0;
    WidgetKind kind = WidgetKind::Label;
    std::optional<Rgb> text_color;
  };

  static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(Window& w, UINT msg, WPARAM wp, LPARAM lp);
  const Widget* widget_of(int window, HWND control) const;
  LRESULT control_colors(Window& w, UINT msg, WPARAM wp, LPARAM lp);
  void post(const Event& event);
  void dispatch(MSG& msg);
  int window_number(HWND hwnd) const;
  void forget_widgets(int window);
  void destroy(std::unique_ptr<Window> w);
  HFONT font(FontId id) const;

  HINSTANCE instance_;
  bool registered_ = false;
  std::deque<Event> queue_;
  std::map<int, std::unique_ptr<Window>> windows_;
  std::map<int, Widget> widgets_;
  std::vector<HFONT> fonts_;  // index = FontId - 1
};

}  // namespace morsello::platform::windows_backend
