// Keyboard polling on X11: XQueryKeymap reads every key's state server-wide
// without taking the keyboard, so a snapshot counts only while our main window
// is in front. Cannot: see keys of a remote keyboard grabbed by another client.
// Tests cannot check: window managers other than openbox, or none.
#include "platform/linux/keyboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace morsello::platform::linux_backend {

namespace {

// Windows of other clients can vanish between two queries; such an error
// only means "not ours".
int ignore_error(Display*, XErrorEvent*) { return 0; }

class QuietErrors {
 public:
  explicit QuietErrors(Display* display)
      : display_(display), old_(XSetErrorHandler(ignore_error)) {}
  ~QuietErrors() {
    XSync(display_, False);
    XSetErrorHandler(old_);
  }

 private:
  Display* display_;
  int (*old_)(Display*, XErrorEvent*);
};

}  // namespace

X11Keyboard::~X11Keyboard() {
  if (display_) XCloseDisplay(display_);
}

bool X11Keyboard::init() {
  if (!display_) display_ = XOpenDisplay(nullptr);
  if (!display_) return false;
  escape_code_ = static_cast<unsigned char>(XKeysymToKeycode(display_, XK_Escape));
  supporting_wm_ = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
  active_window_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
  return escape_code_ != 0;
}

std::optional<bool> X11Keyboard::escape_down(int main_window) {
  if (!display_) return std::nullopt;
  const unsigned long xid = windows_.xid(main_window);
  if (xid == 0) return std::nullopt;
  QuietErrors quiet(display_);
  if (!foreground(xid)) return std::nullopt;
  char keys[32];
  XQueryKeymap(display_, keys);
  return (keys[escape_code_ / 8] & (1 << (escape_code_ % 8))) != 0;
}

unsigned long X11Keyboard::window_property(unsigned long window, unsigned long atom) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  unsigned long value = 0;
  if (XGetWindowProperty(display_, window, atom, 0, 1, False, XA_WINDOW, &type, &format, &count,
                         &after, &data) == Success &&
      type == XA_WINDOW && format == 32 && count == 1) {
    value = *reinterpret_cast<unsigned long*>(data);
  }
  if (data) XFree(data);
  return value;
}

// The child of the root that holds `xid`: the window itself, or the frame a
// window manager put around it. 0 when it cannot be found.
unsigned long X11Keyboard::toplevel(unsigned long xid) {
  const Window root = DefaultRootWindow(display_);
  Window at = xid;
  for (int depth = 0; depth < 64 && at != None; ++depth) {
    Window r = None, parent = None;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display_, at, &r, &parent, &children, &n)) return 0;
    if (children) XFree(children);
    if (parent == root) return at;
    at = parent;
  }
  return 0;
}

bool X11Keyboard::foreground(unsigned long xid) {
  const Window root = DefaultRootWindow(display_);
  // An EWMH window manager names the active client on the root window; a
  // stale check window means the manager has gone.
  const unsigned long wm = window_property(root, supporting_wm_);
  if (wm != 0 && window_property(wm, supporting_wm_) == wm) {
    return window_property(root, active_window_) == xid;
  }
  Window focus = None;
  int revert = 0;
  XGetInputFocus(display_, &focus, &revert);
  if (focus == PointerRoot) {
    // Keys go to whatever window is under the pointer.
    Window r = None, child = None;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(display_, root, &r, &child, &rx, &ry, &wx, &wy, &mask)) return false;
    focus = child;
  }
  if (focus == None) return false;
  const unsigned long ours = toplevel(xid);
  return ours != 0 && toplevel(focus) == ours;
}

}  // namespace morsello::platform::linux_backend
