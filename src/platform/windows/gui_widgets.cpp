// The four control kinds on the standard window classes: STATIC labels (with
// SS_SUNKEN for display labels), EDIT fields (ES_UPPERCASE for capitals) and
// BUTTONs, numbered by their control id. Cannot: colour a button's text (only
// statics and edits ask their parent). Tests cannot check under Wine: themes.
#include <windows.h>

#include "platform/windows/gui.h"
#include "platform/windows/wide.h"

namespace morsello::platform::windows_backend {

namespace {

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD ex_style;
};

ControlClass control_class(WidgetKind kind) {
  // One line of text that is cut at the label's edge, "&" shown as it is.
  constexpr DWORD kLabel = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
  constexpr DWORD kEdit = WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
  switch (kind) {
    case WidgetKind::Label: return {L"STATIC", kLabel, 0};
    case WidgetKind::DisplayLabel: return {L"STATIC", kLabel | SS_SUNKEN, 0};
    case WidgetKind::Edit: return {L"EDIT", kEdit, WS_EX_CLIENTEDGE};
    case WidgetKind::UpperEdit: return {L"EDIT", kEdit, WS_EX_CLIENTEDGE};  // see create_widget
    case WidgetKind::Button: return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
  }
  return {L"STATIC", kLabel, 0};
}

bool is_edit(WidgetKind kind) { return kind == WidgetKind::Edit || kind == WidgetKind::UpperEdit; }

// A control's rectangle in its parent's client coordinates.
RECT rect_in_parent(HWND control, HWND parent) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

void Win32Gui::create_widget(const WidgetSpec& spec) {
  HWND parent = hwnd(spec.window);
  if (!parent) return;
  RECT dirty{spec.x, spec.y, spec.x + spec.w, spec.y + spec.h};
  // New controls go to the end of the Tab order (the bottom of the Z order);
  // one made anew takes the place of the one it replaces.
  HWND insert_after = HWND_BOTTOM;
  if (auto old = widgets_.find(spec.number); old != widgets_.end()) {
    HWND old_hwnd = old->second.hwnd;
    if (old->second.window == spec.window) {
      HWND prev = GetWindow(old_hwnd, GW_HWNDPREV);
      insert_after = prev ? prev : HWND_TOP;
      const RECT was = rect_in_parent(old_hwnd, parent);
      UnionRect(&dirty, &dirty, &was);
    }
    widgets_.erase(old);
    DestroyWindow(old_hwnd);
  }

  const ControlClass cls = control_class(spec.kind);
  HWND control = CreateWindowExW(cls.ex_style, cls.name, widen(spec.text).c_str(),
                                 WS_CHILD | cls.style, spec.x, spec.y, spec.w, spec.h, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.number)),
                                 instance_, nullptr);
  if (!control) return;
  if (spec.kind == WidgetKind::UpperEdit) {
    // Set after the text, which would be turned into capitals too: the field
    // shows its value exactly as given; what is typed or pasted becomes capitals.
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | ES_UPPERCASE);
  }
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font(spec.font)), FALSE);
  SetWindowPos(control, insert_after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  widgets_[spec.number] = Widget{control, spec.window, spec.kind, spec.text_color};
  ShowWindow(control, SW_SHOWNA);
  // On screen before this returns, also in the middle of a transmission: the
  // parent's uncovered background and the control are painted at once, and
  // no other message is taken from the queue.
  RedrawWindow(parent, &dirty, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

std::string Win32Gui::field_text(int number) {
  auto it = widgets_.find(number);
  if (it == widgets_.end() || !is_edit(it->second.kind)) return {};
  const int length = GetWindowTextLengthW(it->second.hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(it->second.hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return narrow(text);
}

const Win32Gui::Widget* Win32Gui::widget_of(int window, HWND control) const {
  if (!control) return nullptr;
  auto it = widgets_.find(GetDlgCtrlID(control));
  if (it == widgets_.end() || it->second.hwnd != control || it->second.window != window) {
    return nullptr;
  }
  return &it->second;
}

LRESULT Win32Gui::control_colors(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
  // The system's colours and background brush, then our text colour if set:
  // labels keep the dialog face colour behind their text.
  const LRESULT brush = DefWindowProcW(w.hwnd, msg, wp, lp);
  const Widget* widget = widget_of(w.number, reinterpret_cast<HWND>(lp));
  if (widget && widget->text_color) {
    const Rgb c = *widget->text_color;
    SetTextColor(reinterpret_cast<HDC>(wp), RGB(c.r, c.g, c.b));
  }
  return brush;
}

}  // namespace morsello::platform::windows_backend
