#include "core/shell/form.h"

#include "core/settings/settings.h"

namespace morsello {

using platform::WidgetKind;
using platform::WidgetSpec;

std::string window_title() { return "Morsello version 005" + std::string(90, ' '); }

namespace {

struct Row {
  int number;
  WidgetKind kind;
  int x, y, w, h;
  const char* text;  // null: the value of `setting`
  int setting;       // index into the settings model, -1 for none
  bool hint;         // hint font and grey
};

// Creation order of the form after the banner; edit fields take their text
// from the settings model.
constexpr Row kForm[] = {
    {21, WidgetKind::Label, 120, 140, 600, 20, "Fyll i alla fält med relevant information!", -1, true},
    {22, WidgetKind::Label, 120, 170, 600, 20, "Avbryt ej färdig utsändning med Escape!", -1, true},
    {23, WidgetKind::Label, 120, 250, 200, 20, "Comport", -1, false},
    {wid::kPortField, WidgetKind::UpperEdit, 320, 250, 50, 20, nullptr, settings::kPort, false},
    {25, WidgetKind::Label, 120, 280, 200, 20, "Ton i Hertz", -1, false},
    {wid::kToneField, WidgetKind::Edit, 320, 280, 50, 20, nullptr, settings::kTone, false},
    {27, WidgetKind::Label, 120, 310, 200, 20, "Teckenlängd i mS", -1, false},
    {wid::kDotField, WidgetKind::Edit, 320, 310, 50, 20, nullptr, settings::kDot, false},
    {29, WidgetKind::Label, 120, 340, 200, 20, "Text du vill sända", -1, false},
    {wid::kTextField, WidgetKind::UpperEdit, 320, 340, 900, 20, nullptr, settings::kText, false},
    {wid::kCurrentTextCaption, WidgetKind::Label, 120, 370, 200, 20, "Aktuell text som sänds just nu", -1, false},
    {wid::kCurrentText, WidgetKind::DisplayLabel, 320, 370, 900, 20, "", -1, false},
    {31, WidgetKind::Label, 120, 400, 200, 20, "Ev. bärvåg i mS före texten", -1, false},
    {wid::kCarrierField, WidgetKind::Edit, 320, 400, 50, 20, nullptr, settings::kCarrier, false},
    {33, WidgetKind::Label, 120, 430, 200, 20, "Pause i mS mellan bärvåg och text", -1, false},
    {wid::kCarrierPauseField, WidgetKind::Edit, 320, 430, 50, 20, nullptr, settings::kCarrierPause, false},
    {35, WidgetKind::Label, 120, 460, 200, 20, "Pause i mS mellan sändningarna", -1, false},
    {wid::kRepeatPauseField, WidgetKind::Edit, 320, 460, 50, 20, nullptr, settings::kRepeatPause, false},
    {37, WidgetKind::Label, 120, 490, 200, 20, "Antal utsändningar du vill köra", -1, false},
    {wid::kCountField, WidgetKind::Edit, 320, 490, 50, 20, nullptr, settings::kCount, false},
    {wid::kSentCountCaption, WidgetKind::Label, 120, 520, 200, 20, "Antal körda utsändningar ", -1, false},
    {wid::kSentCount, WidgetKind::DisplayLabel, 320, 520, 50, 20, nullptr, -1, false},
    {wid::kStatus, WidgetKind::Label, 420, 520, 200, 20, "", -1, false},
    {39, WidgetKind::Label, 120, 550, 200, 20, "Start     åååå-mm-dd tt:mm", -1, false},
    {wid::kStartField, WidgetKind::Edit, 320, 550, 100, 20, nullptr, settings::kStart, false},
    {41, WidgetKind::Label, 120, 580, 200, 20, "Stopp   åååå-mm-dd tt:mm", -1, false},
    {wid::kStopField, WidgetKind::Edit, 320, 580, 100, 20, nullptr, settings::kStop, false},
    {wid::kFindPortsButton, WidgetKind::Button, 380, 250, 150, 20, "Hämta anslutna portar", -1, false},
    {wid::kFetchTimeButton, WidgetKind::Button, 430, 550, 150, 20, "Hämta aktuell dag/tid", -1, false},
    {wid::kSaveButton, WidgetKind::Button, 120, 700, 100, 20, "Spara", -1, false},
    {wid::kTestButton, WidgetKind::Button, 250, 700, 100, 20, "Testa slingan", -1, false},
    {wid::kCountedButton, WidgetKind::Button, 380, 700, 100, 20, "Kör n antal TX", -1, false},
    {wid::kTimedButton, WidgetKind::Button, 510, 700, 100, 20, "Tid start/stopp", -1, false},
    {wid::kInfoButton, WidgetKind::Button, 640, 700, 100, 20, "Information", -1, false},
    {wid::kQuitButton, WidgetKind::Button, 1030, 700, 100, 20, "Avsluta", -1, false},
};

}  // namespace

void build_banner(App& app) {
  WidgetSpec spec{win::kMain, wid::kBanner, WidgetKind::Label, 400, 30, 600, 30,
                  "MORSELLO  från Morsello-projektet", app.fonts.banner, kBannerBlue};
  app.platform.gui.create_widget(spec);
}

void build_form(App& app) {
  for (const Row& r : kForm) {
    WidgetSpec spec{win::kMain, r.number, r.kind, r.x, r.y, r.w, r.h, {}, platform::kDefaultFont, {}};
    if (r.setting >= 0) {
      spec.text = app.model[r.setting];
    } else if (r.number == wid::kSentCount) {
      spec.text = app.sent_count_text;
    } else {
      spec.text = r.text;
    }
    if (r.hint) {
      spec.font = app.fonts.hint;
      spec.text_color = kHintGrey;
    }
    app.platform.gui.create_widget(spec);
  }
}

void place_label(App& app, int number, int x, int y, int w, int h, const std::string& text,
                 bool sunken) {
  app.platform.gui.create_widget(
      {win::kMain, number, sunken ? WidgetKind::DisplayLabel : WidgetKind::Label, x, y, w, h, text,
       platform::kDefaultFont, {}});
}

void place_field(App& app, int number, int x, int y, int w, int h, const std::string& text) {
  app.platform.gui.create_widget(
      {win::kMain, number, WidgetKind::Edit, x, y, w, h, text, platform::kDefaultFont, {}});
}

}  // namespace morsello
