// The program's windows, timers, fonts and event queue on X11 through FLTK 1.3.
// Cannot: give the drawing surface a buffer of its own (the window's white,
// double-buffered background is the surface) or use font faces not installed.
// Tests cannot check: how fonts look on displays other than the test server's.
#include "platform/linux/gui.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/linux/gui_widgets.h"
#include "platform/linux/gui_window.h"

// Exported by the toolkit but not declared in its public headers: the handling
// of one X event, as its own event loop does it.
int fl_handle(const XEvent& event);
int fl_send_system_handlers(void* event);

namespace morsello::platform::linux_backend {

struct TimerSlot {
  FltkGui* gui;
  int window;
  int id;
  double period_s;
};

namespace {

void on_timer(void* data) {
  auto* slot = static_cast<TimerSlot*>(data);
  Fl::repeat_timeout(slot->period_s, on_timer, data);
  slot->gui->post({EventKind::Timer, slot->window, slot->id});
}

// A lost X connection ends the program like every other path: exit code 0.
[[noreturn]] void fatal_exit(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("morsello: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
  std::exit(0);
}

}  // namespace

bool x_display_available() {
  Display* display = XOpenDisplay(nullptr);
  if (display) XCloseDisplay(display);
  return display != nullptr;
}

FltkGui::FltkGui() = default;

FltkGui::~FltkGui() { shutdown(); }

bool FltkGui::init_surface_service() {
  if (open_) return true;
  // The toolkit's own opening also sets the locale for keyboard input and its
  // X error handlers; a display that cannot be opened ends in fatal_exit.
  Fl::fatal = fatal_exit;
  fl_open_display();
  FormWindow::install_frame_watch();
  init_widget_kinds();
  open_ = true;
  return true;
}

FontId FltkGui::create_font(const std::string& face, int points, bool bold) {
  double dpi = 96.0;
  if (open_) {
    const int mm = DisplayHeightMM(fl_display, fl_screen);
    if (mm > 0) dpi = DisplayHeight(fl_display, fl_screen) * 25.4 / mm;
  }
  // Xft names begin with a style letter: "B" bold, " " regular.
  const std::string name = (bold ? "B" : " ") + face;
  int slot = -1;
  for (std::size_t i = 0; i < font_names_.size(); ++i) {
    if (font_names_[i] == name) slot = FL_FREE_FONT + 1 + int(i);
  }
  if (slot < 0) {
    font_names_.push_back(name);
    slot = FL_FREE_FONT + int(font_names_.size());  // FL_FREE_FONT is the dialog font
    Fl::set_font(Fl_Font(slot), font_names_.back().c_str());
  }
  fonts_.push_back({slot, int(std::lround(points * dpi / 72.0))});
  return FontId(fonts_.size());
}

FltkFont FltkGui::font(FontId id) const {
  if (id >= 1 && std::size_t(id) <= fonts_.size()) return fonts_[id - 1];
  return dialog_font();
}

void FltkGui::open_window(int number, int width, int height, const std::string& title,
                          Rgb background) {
  if (!open_) return;
  destroy_window(number);
  Fl_Group::current(nullptr);
  auto* window = new FormWindow(*this, number, width, height);
  window->copy_label(title.c_str());
  window->color(fl_rgb_color(background.r, background.g, background.b));
  windows_[number].window = window;
  window->show_centred();
  Fl::flush();
}

void FltkGui::close_window(int number) {
  destroy_window(number);
  Fl::flush();
}

void FltkGui::destroy_window(int number) {
  auto it = windows_.find(number);
  if (it == windows_.end()) return;
  for (auto& timer : it->second.timers) Fl::remove_timeout(on_timer, timer.get());
  for (auto w = widgets_.begin(); w != widgets_.end();) {
    w = w->second.window == number ? widgets_.erase(w) : std::next(w);
  }
  delete it->second.window;  // deletes its widgets too
  windows_.erase(it);
}

void FltkGui::start_timer(int window, int timer_id, int period_ms) {
  auto it = windows_.find(window);
  if (it == windows_.end() || period_ms <= 0) return;
  auto slot = std::make_unique<TimerSlot>(TimerSlot{this, window, timer_id, period_ms / 1000.0});
  Fl::add_timeout(slot->period_s, on_timer, slot.get());
  it->second.timers.push_back(std::move(slot));
}

Event FltkGui::wait_event() {
  if (queue_.empty() && open_) Fl::wait();
  if (queue_.empty()) return {EventKind::Other, 0, 0};
  const Event front = queue_.front();
  queue_.pop_front();
  return front;
}

void FltkGui::pump_one() {
  if (!open_) return;
  if (!queue_.empty()) {
    queue_.pop_front();  // an event already taken from X counts as the one
  } else if (XPending(fl_display) > 0) {
    XEvent event;
    XNextEvent(fl_display, &event);
    if (!fl_send_system_handlers(&event)) fl_handle(event);
    queue_.clear();  // a button press taken here runs nothing
  }
  Fl::flush();
}

void FltkGui::surface_open(int window) {
  auto it = windows_.find(window);
  if (it != windows_.end()) it->second.window->redraw();
}

void FltkGui::surface_present() {
  if (open_) Fl::flush();
}

void FltkGui::shutdown() {
  while (!windows_.empty()) destroy_window(windows_.begin()->first);
  queue_.clear();
  if (open_) {
    Fl::flush();
    XSync(fl_display, False);
  }
  open_ = false;
}

unsigned long FltkGui::xid(int window) const {
  auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.window->shown()) return 0;
  return fl_xid(it->second.window);
}

}  // namespace morsello::platform::linux_backend
