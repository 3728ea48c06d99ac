// The modal message box of the FLTK backend: a title, the text and one OK
// button, no icon. Cannot: stop a window manager from letting the operator
// raise another window above it. Tests cannot check sound or icon themes;
// without a display the text goes to standard error instead.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>

#include <algorithm>
#include <cstdio>

#include "platform/linux/gui.h"
#include "platform/linux/gui_widgets.h"

namespace morsello::platform::linux_backend {

void FltkGui::message_box(const std::string& title, const std::string& text) {
  if (!open_) {
    std::fprintf(stderr, "morsello: %s: %s\n", title.c_str(), text.c_str());
    return;
  }
  const FltkFont dialog = dialog_font();
  int text_w = 0, text_h = 0;
  measure_text(text, dialog, text_w, text_h);
  constexpr int kMargin = 20, kButtonW = 80, kButtonH = 24;
  const int w = std::max(text_w + 2 * kMargin, kButtonW + 2 * kMargin + 100);
  const int h = kMargin + text_h + kMargin + kButtonH + kMargin / 2;

  Fl_Group::current(nullptr);
  Fl_Double_Window box(w, h);
  box.copy_label(title.c_str());
  box.size_range(w, h, w, h);
  box.set_modal();
  // The close box, Escape and the button all just close it.
  box.callback([](Fl_Widget* window, void*) { window->hide(); });
  auto* message = new Fl_Box(kMargin, kMargin, w - 2 * kMargin, text_h);
  set_plain_label(*message, text, dialog);
  message->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  auto* ok = new Fl_Button((w - kButtonW) / 2, h - kButtonH - kMargin / 2, kButtonW, kButtonH);
  set_plain_label(*ok, "OK", dialog);
  ok->shortcut(FL_Enter);
  ok->callback([](Fl_Widget* button, void*) { button->window()->hide(); });
  box.end();

  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_xywh(sx, sy, sw, sh, 0);
  box.position(sx + std::max(0, (sw - w) / 2), sy + std::max(0, (sh - h) / 2));
  const std::size_t before = queue_.size();
  box.show();
  ok->take_focus();
  while (box.shown()) Fl::wait();
  // Timer ticks may stay; nothing done in other windows meanwhile counts.
  for (std::size_t i = queue_.size(); i > before; --i) {
    if (queue_[i - 1].kind != EventKind::Timer) queue_.erase(queue_.begin() + long(i - 1));
  }
  Fl::flush();
}

}  // namespace morsello::platform::linux_backend
