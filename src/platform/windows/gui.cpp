// The program's top-level windows, timers, fonts, message boxes and the one
// event queue, on USER32. Cannot: present a buffer of its own (the window's
// background brush under WS_CLIPCHILDREN is the drawing surface, as nothing
// else is ever drawn on it). Tests cannot check under Wine: DWM composition.
#include "platform/windows/gui.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/windows/wide.h"

namespace morsello::platform::windows_backend {

namespace {

constexpr wchar_t kWindowClass[] = L"MorselloWindow";
// A title bar with the window menu and a close box: no minimise or maximise
// box and no sizing border. Controls are clipped out of the background fill.
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

// The outer frame centred on the primary monitor's work area, or at its left
// or top edge when the frame is larger.
POINT centred_origin(int outer_w, int outer_h) {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const LONG x = area.left + (area.right - area.left - outer_w) / 2;
  const LONG y = area.top + (area.bottom - area.top - outer_h) / 2;
  return {std::max(area.left, x), std::max(area.top, y)};
}

}  // namespace

Win32Gui::~Win32Gui() { shutdown(); }

bool Win32Gui::init_surface_service() {
  if (registered_) return true;
  // Loads Common Controls 6, which the manifest asks for, before the first
  // control is made.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance_;
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;  // each window fills with its own colour
  wc.lpszClassName = kWindowClass;
  registered_ = RegisterClassExW(&wc) != 0;
  return registered_;
}

FontId Win32Gui::create_font(const std::string& face, int points, bool bold) {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  // A negative height asks for the character height: points × DPI / 72, rounded.
  const int height = -MulDiv(points, dpi, 72);
  HFONT f = CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, widen(face).c_str());
  fonts_.push_back(f);
  return static_cast<FontId>(fonts_.size());
}

HFONT Win32Gui::font(FontId id) const {
  if (id >= 1 && static_cast<std::size_t>(id) <= fonts_.size() && fonts_[id - 1]) {
    return fonts_[id - 1];
  }
  // The default dialog font ("MS Shell Dlg"); controls would get the bold
  // System font otherwise.
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void Win32Gui::open_window(int number, int width, int height, const std::string& title,
                           Rgb background) {
  if (!registered_) return;
  // The old window under this number goes only once the new one is shown and
  // active: destroying the active window first would hand the activation (and
  // with it the foreground the Escape polling needs) to some other program.
  std::unique_ptr<Window> old;
  if (auto it = windows_.find(number); it != windows_.end()) {
    old = std::move(it->second);
    windows_.erase(it);
    forget_widgets(number);
  }
  auto w = std::make_unique<Window>();
  w->gui = this;
  w->number = number;
  w->background = CreateSolidBrush(RGB(background.r, background.g, background.b));
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  const int outer_w = frame.right - frame.left, outer_h = frame.bottom - frame.top;
  const POINT at = centred_origin(outer_w, outer_h);
  Window* data = w.get();
  windows_[number] = std::move(w);
  data->hwnd = CreateWindowExW(0, kWindowClass, widen(title).c_str(), kWindowStyle, at.x, at.y,
                               outer_w, outer_h, nullptr, nullptr, instance_, data);
  if (data->hwnd) {
    ShowWindow(data->hwnd, SW_SHOW);
    SetForegroundWindow(data->hwnd);
    UpdateWindow(data->hwnd);
  }
  if (old) destroy(std::move(old));
}

void Win32Gui::close_window(int number) {
  auto it = windows_.find(number);
  if (it == windows_.end()) return;
  std::unique_ptr<Window> w = std::move(it->second);
  windows_.erase(it);
  forget_widgets(number);
  destroy(std::move(w));
}

void Win32Gui::forget_widgets(int window) {
  std::erase_if(widgets_, [window](const auto& entry) { return entry.second.window == window; });
}

void Win32Gui::destroy(std::unique_ptr<Window> w) {
  // The window's controls and timers go with it. Its messages still reach
  // `w` until DestroyWindow returns; they find no widgets any more.
  if (w->hwnd) DestroyWindow(w->hwnd);
  if (w->background) DeleteObject(w->background);
  const int number = w->number;
  std::erase_if(queue_, [number](const Event& e) { return e.window == number; });
}

void Win32Gui::start_timer(int window, int timer_id, int period_ms) {
  HWND h = hwnd(window);
  if (h && period_ms > 0) SetTimer(h, static_cast<UINT_PTR>(timer_id), period_ms, nullptr);
}

HWND Win32Gui::hwnd(int window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second->hwnd;
}

int Win32Gui::window_number(HWND h) const {
  if (!h) return 0;
  HWND top = GetAncestor(h, GA_ROOT);
  for (const auto& [number, w] : windows_) {
    if (w->hwnd == top) return number;
  }
  return 0;
}

void Win32Gui::post(const Event& event) {
  // WM_TIMER never piles up in Windows' queue; it must not pile up in ours
  // while a message box runs its own loop either.
  if (event.kind == EventKind::Timer) {
    for (const Event& e : queue_) {
      if (e.kind == EventKind::Timer && e.window == event.window && e.number == event.number) {
        return;
      }
    }
  }
  queue_.push_back(event);
}

void Win32Gui::dispatch(MSG& msg) {
  // Tab and Shift+Tab through the controls, as in a dialog. The IDOK and
  // IDCANCEL commands it makes of Enter and Escape come without a control and
  // are not ours (see handle()).
  if (const int number = window_number(msg.hwnd)) {
    if (IsDialogMessageW(windows_.at(number)->hwnd, &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

Event Win32Gui::wait_event() {
  for (;;) {
    if (!queue_.empty()) {
      const Event front = queue_.front();
      queue_.pop_front();
      return front;
    }
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) return {EventKind::Other, 0, 0};
    dispatch(msg);
    // Every message counts: one that made no event of its own is "other".
    if (queue_.empty()) return {EventKind::Other, window_number(msg.hwnd), 0};
  }
}

void Win32Gui::pump_one() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
  const std::size_t before = queue_.size();
  if (msg.message != WM_QUIT) dispatch(msg);
  // The message is handled (a repaint, a click drawn) but whatever event it
  // made is discarded: a button pressed here runs nothing.
  queue_.resize(before);
}

void Win32Gui::surface_open(int window) {
  if (HWND h = hwnd(window)) InvalidateRect(h, nullptr, TRUE);
}

void Win32Gui::surface_present() {
  // Paints what is pending in every window now; nothing but paint messages.
  for (const auto& [number, w] : windows_) {
    if (w->hwnd) RedrawWindow(w->hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
}

void Win32Gui::message_box(const std::string& title, const std::string& text) {
  // Owned by the active window of ours (else the last one opened), so that it
  // is modal to it; no icon, one OK button.
  HWND owner = nullptr;
  if (window_number(GetActiveWindow())) owner = GetAncestor(GetActiveWindow(), GA_ROOT);
  if (!owner && !windows_.empty()) owner = windows_.rbegin()->second->hwnd;
  MessageBoxW(owner, widen(text).c_str(), widen(title).c_str(), MB_OK);
}

void Win32Gui::shutdown() {
  while (!windows_.empty()) close_window(windows_.begin()->first);
  queue_.clear();
  for (HFONT f : fonts_) {
    if (f) DeleteObject(f);
  }
  fonts_.clear();
  if (registered_) UnregisterClassW(kWindowClass, instance_);
  registered_ = false;
}

LRESULT CALLBACK Win32Gui::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* w = static_cast<Window*>(create->lpCreateParams);
    w->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
  }
  auto* w = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!w) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return w->gui->handle(*w, msg, wp, lp);
}

LRESULT Win32Gui::handle(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      // Only notifications of our own controls; IDOK and IDCANCEL from the
      // dialog manager and menu commands carry no control of ours.
      if (widget_of(w.number, reinterpret_cast<HWND>(lp))) {
        post({EventKind::Widget, w.number, static_cast<int>(LOWORD(wp))});
      }
      return 0;
    case WM_TIMER: post({EventKind::Timer, w.number, static_cast<int>(wp)}); return 0;
    case WM_CLOSE:
      post({EventKind::Close, w.number, 0});
      return 0;  // reported, never acted on by Windows
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(w.hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, w.background);
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: return control_colors(w, msg, wp, lp);
    case WM_ACTIVATE:
      // What a dialog does: the focus leaves with the activation (to a message
      // box, say) and comes back to the same control, not to the window.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        w.saved_focus = focus && IsChild(w.hwnd, focus) ? focus : nullptr;
      } else if (w.saved_focus && IsWindow(w.saved_focus) && IsChild(w.hwnd, w.saved_focus)) {
        SetFocus(w.saved_focus);
        return 0;
      }
      break;
    default: break;
  }
  return DefWindowProcW(w.hwnd, msg, wp, lp);
}

}  // namespace morsello::platform::windows_backend
