// The widget kinds of the FLTK backend: plain-text labels, sunken display
// labels, edit fields (one that writes capitals) and push buttons.
// Cannot: follow a desktop theme; FLTK draws its own look.
// Tests cannot check: the look beyond pixel colours of a screenshot.
#pragma once

#include <string>

#include "platform/linux/gui.h"

class Fl_Widget;

namespace morsello::platform::linux_backend {

// Registers the dialog font and the plain label type; once, with the display.
void init_widget_kinds();
FltkFont dialog_font();

// A new widget of the kind, place, text, font and colour given, in no window
// yet; its callback reports a widget event through its FormWindow.
Fl_Widget* make_widget(const WidgetSpec& spec, FltkFont font);

// Shows `text` as the widget's label, drawn as plain text ("@" and "&" too).
void set_plain_label(Fl_Widget& widget, const std::string& text, FltkFont font);

// The size the text takes in the font, lines included.
void measure_text(const std::string& text, FltkFont font, int& w, int& h);

// Capitals of UTF-8 text, code point by code point.
std::string upper_case(const char* text, int length);

}  // namespace morsello::platform::linux_backend
