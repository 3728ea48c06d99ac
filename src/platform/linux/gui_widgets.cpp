// Labels, edit fields and buttons of the FLTK backend, created and replaced by
// number. Cannot: draw with the face of another desktop's theme (FLTK has its
// own look); the upper-case field converts what is typed or pasted, not text
// set by the program. Tests cannot check the look beyond pixel colours.
#include "platform/linux/gui_widgets.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>

#include <string>

#include "platform/linux/gui_window.h"

namespace morsello::platform::linux_backend {

namespace {

// The dialog font, 8 points at 96 dots per inch: the form is laid out in
// pixels for a font this small, so that a date fits its 100-pixel field and
// every caption its 200-pixel label. A narrow face keeps the longer texts in.
constexpr const char* kDialogFace = " DejaVu Sans Condensed";
constexpr int kDialogSize = 11;

// Labels drawn as plain text: FLTK's normal label type would turn "@" into
// symbols and "&" into shortcuts.
constexpr Fl_Labeltype kPlainLabel = FL_FREE_LABELTYPE;

void draw_plain(const Fl_Label* label, int x, int y, int w, int h, Fl_Align align) {
  fl_font(label->font, label->size);
  fl_color(label->color);
  fl_draw(label->value, x, y, w, h, align, label->image, 0);
}

void measure_plain(const Fl_Label* label, int& w, int& h) {
  fl_font(label->font, label->size);
  fl_measure(label->value, w, h, 0);
}

// An edit field that turns letters into capitals as they are typed or pasted:
// the event's text is swapped for its capitals before the field sees it, so
// the field's own editing (cursor, selection, undo) stays as it is.
class UpperInput final : public Fl_Input {
 public:
  using Fl_Input::Fl_Input;
  int handle(int event) override {
    if ((event != FL_KEYBOARD && event != FL_PASTE) || Fl::e_length <= 0 || !Fl::e_text) {
      return Fl_Input::handle(event);
    }
    std::string upper = upper_case(Fl::e_text, Fl::e_length);
    char* const text = Fl::e_text;
    const int length = Fl::e_length;
    Fl::e_text = upper.data();
    Fl::e_length = int(upper.size());
    const int used = Fl_Input::handle(event);
    Fl::e_text = text;
    Fl::e_length = length;
    return used;
  }
};

class PlainButton final : public Fl_Button {
 public:
  PlainButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {
    clear_flag(SHORTCUT_LABEL);  // "&" is a letter, not a shortcut mark
  }
};

void on_widget(Fl_Widget* widget, void*) {
  if (auto* window = dynamic_cast<FormWindow*>(widget->window())) {
    window->gui().post({EventKind::Widget, window->number(), int(widget->argument())});
  }
}

}  // namespace

// FLTK's case table covers Latin-1 and far beyond; letters without a single
// capital, like "ß", stay as they are.
std::string upper_case(const char* text, int length) {
  std::string out;
  const char* p = text;
  const char* end = text + length;
  while (p < end) {
    int n = 0;
    const unsigned code = fl_utf8decode(p, end, &n);
    if (n < 1) n = 1;
    const unsigned upper = unsigned(fl_toupper(code));
    if (upper == code) {
      out.append(p, std::size_t(n));
    } else {
      char buf[8];
      out.append(buf, std::size_t(fl_utf8encode(upper, buf)));
    }
    p += n;
  }
  return out;
}

void init_widget_kinds() {
  Fl::set_font(FL_FREE_FONT, kDialogFace);
  Fl::set_labeltype(kPlainLabel, draw_plain, measure_plain);
}

FltkFont dialog_font() { return {FL_FREE_FONT, kDialogSize}; }

void set_plain_label(Fl_Widget& widget, const std::string& text, FltkFont font) {
  widget.copy_label(text.c_str());
  widget.labeltype(kPlainLabel);
  widget.labelfont(Fl_Font(font.face));
  widget.labelsize(Fl_Fontsize(font.size));
}

void measure_text(const std::string& text, FltkFont font, int& w, int& h) {
  fl_font(Fl_Font(font.face), Fl_Fontsize(font.size));
  w = h = 0;
  fl_measure(text.c_str(), w, h, 0);
}

Fl_Widget* make_widget(const WidgetSpec& spec, FltkFont font) {
  const auto face = Fl_Font(font.face);
  const auto size = Fl_Fontsize(font.size);
  Fl_Widget* widget = nullptr;
  switch (spec.kind) {
    case WidgetKind::Label:
    case WidgetKind::DisplayLabel: {
      auto* box = new Fl_Box(spec.x, spec.y, spec.w, spec.h);
      // Labels show the dialog face colour; without a colour of its own a
      // sunken box would be filled with whatever the window's colour is.
      box->box(spec.kind == WidgetKind::Label ? FL_FLAT_BOX : FL_DOWN_BOX);
      box->color(FL_BACKGROUND_COLOR);
      box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
      widget = box;
      break;
    }
    case WidgetKind::Edit:
    case WidgetKind::UpperEdit: {
      Fl_Input* input = spec.kind == WidgetKind::UpperEdit
                            ? new UpperInput(spec.x, spec.y, spec.w, spec.h)
                            : new Fl_Input(spec.x, spec.y, spec.w, spec.h);
      input->value(spec.text.c_str(), int(spec.text.size()));
      input->position(0);  // show the text from its start, as the operator left it
      input->textfont(face);
      input->textsize(size);
      if (spec.text_color) {
        input->textcolor(fl_rgb_color(spec.text_color->r, spec.text_color->g, spec.text_color->b));
      }
      input->when(FL_WHEN_CHANGED);
      widget = input;
      break;
    }
    case WidgetKind::Button: widget = new PlainButton(spec.x, spec.y, spec.w, spec.h); break;
  }
  if (spec.kind != WidgetKind::Edit && spec.kind != WidgetKind::UpperEdit) {
    set_plain_label(*widget, spec.text, font);
    if (spec.text_color) {
      widget->labelcolor(fl_rgb_color(spec.text_color->r, spec.text_color->g, spec.text_color->b));
    }
  }
  widget->callback(on_widget);
  widget->argument(spec.number);
  return widget;
}

void FltkGui::create_widget(const WidgetSpec& spec) {
  auto win = windows_.find(spec.window);
  if (!open_ || win == windows_.end()) return;
  FormWindow* window = win->second.window;
  int index = window->children();
  if (auto old = widgets_.find(spec.number); old != widgets_.end()) {
    Fl_Widget* previous = old->second.widget;
    if (Fl_Window* owner = previous->window()) {
      owner->damage(FL_DAMAGE_ALL, previous->x(), previous->y(), previous->w(), previous->h());
    }
    // Same place among the children, so the Tab order stays the creation order.
    if (previous->parent() == window) index = window->find(previous);
    delete previous;  // leaves its parent, and gives up the focus if it had it
    widgets_.erase(old);
  }
  Fl_Group::current(nullptr);
  Fl_Widget* widget = make_widget(spec, font(spec.font));
  window->insert(*widget, index);
  widgets_[spec.number] = {widget, spec.window};
  // Drawn at the start of the program's next wait (LinuxClock's before-wait
  // hook) or event wait: during a message that is the wait right after the
  // label changed, so the operator sees it at once while the drawing time
  // falls inside a wait instead of lengthening the element.
  widget->redraw();
}

std::string FltkGui::field_text(int number) {
  auto it = widgets_.find(number);
  if (it == widgets_.end()) return {};
  auto* input = dynamic_cast<Fl_Input*>(it->second.widget);
  if (!input || !input->value()) return {};
  return std::string(input->value(), std::size_t(input->size()));
}

}  // namespace morsello::platform::linux_backend
