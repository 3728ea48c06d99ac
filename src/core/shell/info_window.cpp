#include "core/shell/info_window.h"

#include <string>

#include "core/shell/form.h"
#include "core/shell/shell.h"
#include "core/text.h"

namespace morsello {

namespace {

constexpr int kCloseButton = 67;
constexpr std::size_t kNoteWidth = 87;
constexpr platform::Rgb kLightBlue{173, 216, 230};

std::string padded(std::string s) {
  const std::size_t len = utf16_length(s);
  if (len < kNoteWidth) s.append(kNoteWidth - len, ' ');
  return s;
}

void label(App& app, int number, int x, int y, int w, int h, std::string text,
           platform::FontId font = platform::kDefaultFont,
           std::optional<platform::Rgb> color = std::nullopt) {
  app.platform.gui.create_widget({win::kInfo, number, platform::WidgetKind::Label, x, y, w, h,
                                  std::move(text), font, color});
}

void build_info_widgets(App& app) {
  label(app, 55, 230, 30, 300, 30, "Information", app.fonts.title, kBannerBlue);
  label(app, 56, 40, 70, 550, 20, "Följande morsetecken hanteras av programmet.");
  label(app, 57, 40, 100, 550, 20,
        "A .-   B -...   C -.-.   D -..   E .     F ..-.   G --.   H ....   I ..   J .---   "
        "K -.-   L .-..   M --   N -.   O ---   P .--.");
  label(app, 58, 40, 120, 550, 20,
        "Q --.-   R .-.   S ...   T -   U ..-   V ...-   W .--   X -..-   Y -.--   Z --..   "
        "Å .--.-   Ä .-.-   Ö ---.   @ .--.-.");
  label(app, 59, 40, 140, 550, 20,
        "1 .----   2 ..---   3 ...--   4 ....-    5 .....   6 -....   7 --...   8 ---..   "
        "9 ----.   0 -----");
  label(app, 60, 40, 160, 550, 20,
        "(.) .-.-.-   (,) --..--   (-) -....-   (=) -...-   (+) .-.-.   (*) ...-.-   "
        "(/) -..-.   (?) ..--..");
  label(app, 61, 40, 190, 550, 20,
        padded("För att styra en sändare används en Arduino Uno som skall ha rätt program "
               "installerat."));
  label(app, 62, 40, 210, 550, 20,
        padded("Anslut Arduinon till datorn via USP-portarna, kontrollera vilken comm-port som "
               "används."));
  label(app, 63, 40, 230, 550, 20,
        padded("Starta programmet Morsello i din dator och skriv in rätt port."));
  label(app, 64, 40, 250, 550, 20, padded(""));
  label(app, 65, 40, 270, 550, 20,
        padded("Lämna fältet för kommunikationsporten tomt om du inte vill nyckla via den!"));
  label(app, 66, 40, 400, 550, 20, padded("Morsello-projektet 2026"), app.fonts.hint, kHintGrey);
  app.platform.gui.create_widget({win::kInfo, kCloseButton, platform::WidgetKind::Button, 250,
                                  550, 100, 20, "Avsluta Info", platform::kDefaultFont, {}});
}

}  // namespace

Flow info_window(App& app) {
  auto& gui = app.platform.gui;
  gui.open_window(win::kInfo, 600, 600, window_title(), kLightBlue);
  build_info_widgets(app);
  // Everything but the close button is dropped, the main window's buttons
  // included; the keyboard is not examined.
  for (bool close = false; !close;) {
    clock_refresh(app);
    const platform::Event ev = gui.wait_event();
    close = ev.kind == platform::EventKind::Widget && ev.number == kCloseButton;
  }
  gui.close_window(win::kInfo);
  return Flow::Rebuild;
}

}  // namespace morsello
