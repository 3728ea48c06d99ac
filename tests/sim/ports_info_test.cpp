// Port discovery, the clock fill and the information window.
#include "core/settings/settings.h"
#include "core/text.h"
#include "story.h"

namespace morsello::test {
namespace {

std::vector<std::string> box_texts(const sim::SimPlatform& sim) {
  std::vector<std::string> out;
  for (const auto& b : sim.boxes()) {
    EXPECT_EQ(b.title, "Hittade port ");
    out.push_back(b.text);
  }
  return out;
}

TEST_F(Story, DiscoveryReportsEveryPortThatOpensInOrderAndEmptiesTheSlot) {
  for (const char* p : {"COM7", "COM3", "COM25", "COM12"}) sim.add_port(p);
  sim.hold_port_elsewhere("COM12", true);
  sim.add_port("/dev/ttyACM0");
  sim.set_extra_port_names({"/dev/ttyACM0", "/dev/ttyUSB0"});
  sim.click(200, wid::kFindPortsButton);
  std::vector<std::string> open_after;
  sim.on_wait([&] { open_after = sim.open_ports(); });
  escape_at(1000);
  run();
  EXPECT_EQ(box_texts(sim), (std::vector<std::string>{"COM3", "COM7", "/dev/ttyACM0"}));
  EXPECT_TRUE(open_after.empty());
  EXPECT_EQ(sim.port_opens("COM25"), 0);
}

TEST_F(Story, DiscoveryWithNoDevicesShowsNothing) {
  sim.click(200, wid::kFindPortsButton);
  escape_at(1000);
  run();
  EXPECT_TRUE(sim.boxes().empty());
}

TEST_F(Story, TheKeyingConnectionHidesItsPortUntilALowerPortFreesIt) {
  sim.add_port("COM3");
  sim.write_file("taktell.cnf", "TK001    800\r\nTK002    10\r\nTK003    E\r\nTK008    COM3\r\n");
  sim.click(200, wid::kTestButton);    // COM3 now held by the keying line
  sim.click(1000, wid::kFindPortsButton);
  sim.add_port("COM2", 1500);
  sim.click(2000, wid::kFindPortsButton);  // COM2 replaces the keying connection
  sim.click(3000, wid::kTestButton);       // and the keying line opens COM3 again
  escape_at(5000);
  run();
  EXPECT_EQ(box_texts(sim), (std::vector<std::string>{"COM2", "COM3"}));
  EXPECT_EQ(sim.boxes()[0].t, 2000);
  EXPECT_EQ(sim.port_opens("COM3"), 3);
  ASSERT_EQ(sim.bytes().size(), 4u);
  EXPECT_EQ(sim.bytes()[2].port, "COM3");
}

TEST_F(Story, ClockFillPutsTheMinuteIntoBothFieldsButNotIntoTheSettings) {
  sim.click(61000, wid::kFetchTimeButton);  // 15:21:01
  escape_at(62000);
  run();
  for (int f : {wid::kStartField, wid::kStopField}) {
    const auto* w = sim.widget(f);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->spec.text, "2025-11-27 15:21");
    EXPECT_EQ(w->spec.kind, platform::WidgetKind::Edit);
    EXPECT_EQ(std::tie(w->spec.x, w->spec.w, w->spec.h), std::make_tuple(320, 100, 20));
  }
  EXPECT_EQ(sim.widget(wid::kStopField)->spec.y, 580);
  EXPECT_EQ(settings::value_in(*sim.file("taktell.cnf"), "TK009"), "2025-11-27 15:21");
  EXPECT_EQ(settings::value_in(*sim.file("taktell.cnf"), "TK010"), "2025-11-30 09:30");
}

TEST_F(Story, InformationWindowShowsTheTableAndNotesAndClosesOnlyByItsButton) {
  sim.click(200, wid::kInfoButton);
  sim.click(300, wid::kSaveButton);    // a main-window button: consumed, never acted on
  sim.close_box(400, win::kInfo);      // ignored
  sim.escape_down(500, 900);           // ignored
  sim.click(3000, 67);                 // "Avsluta Info"
  escape_at(5000);
  std::vector<sim::WidgetRecord> info;
  sim.on_wait([&] {
    if (sim.window_open(win::kInfo)) info = sim.widgets_of(win::kInfo);
  });
  run();
  ASSERT_EQ(info.size(), 13u);
  const std::pair<int, std::string> texts[] = {
      {55, "Information"},
      {56, "Följande morsetecken hanteras av programmet."},
      {57, "A .-   B -...   C -.-.   D -..   E .     F ..-.   G --.   H ....   I ..   J .---   "
           "K -.-   L .-..   M --   N -.   O ---   P .--."},
      {58, "Q --.-   R .-.   S ...   T -   U ..-   V ...-   W .--   X -..-   Y -.--   Z --..   "
           "Å .--.-   Ä .-.-   Ö ---.   @ .--.-."},
      {59, "1 .----   2 ..---   3 ...--   4 ....-    5 .....   6 -....   7 --...   8 ---..   "
           "9 ----.   0 -----"},
      {60, "(.) .-.-.-   (,) --..--   (-) -....-   (=) -...-   (+) .-.-.   (*) ...-.-   "
           "(/) -..-.   (?) ..--.."},
  };
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    EXPECT_EQ(info[i].spec.number, texts[i].first);
    EXPECT_EQ(info[i].spec.text, texts[i].second);
  }
  EXPECT_EQ(info[0].spec.font, 2);  // the title font
  EXPECT_EQ(info[0].spec.text_color, (platform::Rgb{100, 100, 255}));
  // The note lines and the credit are padded to 87 characters.
  const std::string notes[] = {
      "För att styra en sändare används en Arduino Uno som skall ha rätt program installerat.",
      "Anslut Arduinon till datorn via USP-portarna, kontrollera vilken comm-port som används.",
      "Starta programmet Morsello i din dator och skriv in rätt port.",
      "",
      "Lämna fältet för kommunikationsporten tomt om du inte vill nyckla via den!",
  };
  for (int i = 0; i < 5; ++i) {
    const std::string& t = info[6 + i].spec.text;
    EXPECT_EQ(t.substr(0, notes[i].size()), notes[i]);
    EXPECT_EQ(t.find_first_not_of(' ', notes[i].size()), std::string::npos);
  }
  for (int i = 6; i <= 11; ++i) EXPECT_EQ(utf16_length(info[i].spec.text), 87u) << i;
  EXPECT_EQ(info[11].spec.font, 1);  // the hint font
  EXPECT_EQ(info[12].spec.kind, platform::WidgetKind::Button);
  EXPECT_EQ(info[12].spec.text, "Avsluta Info");
  EXPECT_EQ(std::tie(info[12].spec.x, info[12].spec.y), std::make_tuple(250, 550));

  EXPECT_TRUE(sim.beeps().empty());
  EXPECT_EQ(sim.window_opens(win::kMain), 2);  // rebuilt once, by the close button
  // The main window's clock went on while the information window was open.
  int ticks = 0;
  for (const auto& rec : sim.creations())
    if (rec.spec.number == wid::kClock && rec.created_at > 200 && rec.created_at < 3000) ++ticks;
  EXPECT_EQ(ticks, 2);
  EXPECT_GT(sim.now(), 5300);
}

TEST_F(Story, StartUpRefusesWithoutADrawingSurfaceOrKeyboard) {
  sim.fail_surface_service();
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(sim.boxes().size(), 1u);
  EXPECT_EQ(sim.boxes()[0].title, "Error");
  EXPECT_NE(sim.boxes()[0].text.find("drawing surface"), std::string::npos);
  EXPECT_TRUE(sim.fonts().empty());
  EXPECT_EQ(sim.window_opens(win::kMain), 0);

  sim::SimPlatform second;
  second.fail_keyboard();
  EXPECT_EQ(run_program(second.platform()), 0);
  ASSERT_EQ(second.boxes().size(), 1u);
  EXPECT_NE(second.boxes()[0].text.find("keyboard"), std::string::npos);
  EXPECT_EQ(second.window_opens(win::kMain), 0);
}

}  // namespace
}  // namespace morsello::test
