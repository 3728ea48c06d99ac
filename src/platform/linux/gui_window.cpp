// The top-level window on X11: centred with its frame, fixed size, no minimise
// or maximise where the manager heeds Motif hints (openbox keeps minimise), close
// box and Escape kept from hiding it. Without a manager nothing stops a resize;
// tests cannot check what managers other than openbox make of the hints.
#include "platform/linux/gui_window.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include <algorithm>

#include "platform/linux/gui.h"

namespace morsello::platform::linux_backend {

FormWindow::Frame FormWindow::known_frame_;

namespace {

Atom frame_extents_atom() {
  static Atom atom = XInternAtom(fl_display, "_NET_FRAME_EXTENTS", False);
  return atom;
}

// _NET_FRAME_EXTENTS of a client: left, right, top, bottom; false while the
// window manager has not set it.
bool read_frame(Window xid, long out[4]) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(fl_display, xid, frame_extents_atom(), 0, 4, False,
                                        XA_CARDINAL, &type, &format, &count, &after, &data);
  const bool ok = status == Success && type == XA_CARDINAL && format == 32 && count == 4;
  if (ok) std::copy_n(reinterpret_cast<long*>(data), 4, out);
  if (data) XFree(data);
  return ok;
}

// The outer frame centred on a screen, or at its left or top edge when it is
// larger; returns the client's position.
int centred(int screen_origin, int screen_size, int client_size, int before, int after) {
  const int outer = before + client_size + after;
  return std::max(screen_origin, screen_origin + (screen_size - outer) / 2) + before;
}

}  // namespace

FormWindow::FormWindow(FltkGui& gui, int number, int width, int height)
    : Fl_Double_Window(0, 0, width, height), gui_(gui), number_(number) {
  end();
  size_range(width, height, width, height);
  xclass("morsello");
  callback(on_close, this);
}

void FormWindow::install_frame_watch() { Fl::add_system_handler(on_system_event, nullptr); }

void FormWindow::show_centred() {
  move_centred(known_frame_);
  show();
  set_frame_hints();
  // The toolkit keeps a new window clear of an assumed title bar; put it back
  // where it belongs.
  move_centred(known_frame_);
}

void FormWindow::move_centred(const Frame& frame) {
  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_xywh(sx, sy, sw, sh, 0);  // the primary screen
  const int cx = centred(sx, sw, w(), frame.left, frame.right);
  const int cy = centred(sy, sh, h(), frame.top, frame.bottom);
  placed_with_ = frame;
  if (!shown()) {
    position(cx, cy);
  } else if (cx != x() || cy != y()) {
    // Static gravity (set by the toolkit): the manager puts the client here.
    position(cx, cy);
  }
}

void FormWindow::set_frame_hints() {
  // _MOTIF_WM_HINTS: flags (functions, decorations), functions, decorations.
  // Explicit lists of what is allowed: managers understand these more widely
  // than the "all but" form that the toolkit writes.
  constexpr long kFunctions = 1, kDecorations = 2;
  constexpr long kMove = 4, kClose = 32;
  constexpr long kDecorBorder = 2, kDecorTitle = 8, kDecorMenu = 16;
  long hints[5] = {kFunctions | kDecorations, kMove | kClose,
                   kDecorBorder | kDecorTitle | kDecorMenu, 0, 0};
  const Atom motif = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(fl_display, fl_xid(this), motif, motif, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(hints), 5);
}

int FormWindow::on_system_event(void* xevent, void*) {
  const XEvent& ev = *static_cast<XEvent*>(xevent);
  if (ev.type != PropertyNotify || ev.xproperty.atom != frame_extents_atom()) return 0;
  auto* window = dynamic_cast<FormWindow*>(fl_find(ev.xproperty.window));
  long extents[4];
  if (!window || !read_frame(ev.xproperty.window, extents)) return 0;
  const Frame frame{int(extents[0]), int(extents[1]), int(extents[2]), int(extents[3])};
  known_frame_ = frame;
  // Re-centre once, when the frame turns out other than assumed; later moves
  // are the operator's.
  if (!window->settled_ && !(frame == window->placed_with_)) window->move_centred(frame);
  window->settled_ = true;
  return 0;  // the toolkit may want the event too
}

// The window callback runs for the close box (FL_CLOSE) and for Escape
// (FL_SHORTCUT): neither may hide the window; the close box is reported.
void FormWindow::on_close(Fl_Widget*, void* data) {
  auto* window = static_cast<FormWindow*>(data);
  if (Fl::event() == FL_CLOSE) window->gui_.post({EventKind::Close, window->number_, 0});
}

}  // namespace morsello::platform::linux_backend
