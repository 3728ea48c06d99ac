// Start-up, the main window, the main loop and the rebuild, as the operator
// meets them.
#include <algorithm>

#include "story.h"

namespace morsello::test {
namespace {

using platform::WidgetKind;

const std::string kDefaults =
    "TK001    800\r\nTK002    50\r\nTK003    TEST DE N0CALL =\r\nTK004    4000\r\n"
    "TK005    2000\r\nTK006    73\r\nTK007    1000\r\nTK008    COM1\r\n"
    "TK009    2025-11-27 15:21\r\nTK010    2025-11-30 09:30\r\n";

struct Expected {
  int number;
  WidgetKind kind;
  int x, y, w, h;
  std::string text;
};

TEST_F(Story, FirstStartWritesTheDefaultsAndBuildsTheWholeForm) {
  escape_at(1000);
  EXPECT_EQ(run(), 0);

  EXPECT_EQ(sim.file("taktell.cnf"), kDefaults);
  EXPECT_EQ(kDefaults.size(), 181u);
  EXPECT_TRUE(sim.boxes().empty());

  ASSERT_EQ(sim.fonts().size(), 3u);  // hint, title, banner
  EXPECT_EQ(sim.fonts()[0].points, 10);
  EXPECT_EQ(sim.fonts()[1].points, 14);
  EXPECT_EQ(sim.fonts()[2].points, 16);
  for (const auto& f : sim.fonts()) {
    EXPECT_EQ(f.face, "Verdana");
    EXPECT_TRUE(f.bold);
  }

  const Expected form[] = {
      {11, WidgetKind::Label, 400, 30, 600, 30, "MORSELLO  från Morsello-projektet"},
      {21, WidgetKind::Label, 120, 140, 600, 20, "Fyll i alla fält med relevant information!"},
      {22, WidgetKind::Label, 120, 170, 600, 20, "Avbryt ej färdig utsändning med Escape!"},
      {23, WidgetKind::Label, 120, 250, 200, 20, "Comport"},
      {24, WidgetKind::UpperEdit, 320, 250, 50, 20, "COM1"},
      {25, WidgetKind::Label, 120, 280, 200, 20, "Ton i Hertz"},
      {26, WidgetKind::Edit, 320, 280, 50, 20, "800"},
      {27, WidgetKind::Label, 120, 310, 200, 20, "Teckenlängd i mS"},
      {28, WidgetKind::Edit, 320, 310, 50, 20, "50"},
      {29, WidgetKind::Label, 120, 340, 200, 20, "Text du vill sända"},
      {30, WidgetKind::UpperEdit, 320, 340, 900, 20, "TEST DE N0CALL ="},
      {14, WidgetKind::Label, 120, 370, 200, 20, "Aktuell text som sänds just nu"},
      {12, WidgetKind::DisplayLabel, 320, 370, 900, 20, ""},
      {31, WidgetKind::Label, 120, 400, 200, 20, "Ev. bärvåg i mS före texten"},
      {32, WidgetKind::Edit, 320, 400, 50, 20, "4000"},
      {33, WidgetKind::Label, 120, 430, 200, 20, "Pause i mS mellan bärvåg och text"},
      {34, WidgetKind::Edit, 320, 430, 50, 20, "1000"},
      {35, WidgetKind::Label, 120, 460, 200, 20, "Pause i mS mellan sändningarna"},
      {36, WidgetKind::Edit, 320, 460, 50, 20, "2000"},
      {37, WidgetKind::Label, 120, 490, 200, 20, "Antal utsändningar du vill köra"},
      {38, WidgetKind::Edit, 320, 490, 50, 20, "73"},
      {19, WidgetKind::Label, 120, 520, 200, 20, "Antal körda utsändningar "},
      {20, WidgetKind::DisplayLabel, 320, 520, 50, 20, ""},
      {9, WidgetKind::Label, 420, 520, 200, 20, ""},
      {39, WidgetKind::Label, 120, 550, 200, 20, "Start     åååå-mm-dd tt:mm"},
      {40, WidgetKind::Edit, 320, 550, 100, 20, "2025-11-27 15:21"},
      {41, WidgetKind::Label, 120, 580, 200, 20, "Stopp   åååå-mm-dd tt:mm"},
      {42, WidgetKind::Edit, 320, 580, 100, 20, "2025-11-30 09:30"},
      {47, WidgetKind::Button, 380, 250, 150, 20, "Hämta anslutna portar"},
      {46, WidgetKind::Button, 430, 550, 150, 20, "Hämta aktuell dag/tid"},
      {45, WidgetKind::Button, 120, 700, 100, 20, "Spara"},
      {48, WidgetKind::Button, 250, 700, 100, 20, "Testa slingan"},
      {49, WidgetKind::Button, 380, 700, 100, 20, "Kör n antal TX"},
      {50, WidgetKind::Button, 510, 700, 100, 20, "Tid start/stopp"},
      {51, WidgetKind::Button, 640, 700, 100, 20, "Information"},
      {53, WidgetKind::Button, 1030, 700, 100, 20, "Avsluta"},
  };
  const auto& made = sim.creations();
  ASSERT_GE(made.size(), std::size(form) + 1);
  for (std::size_t i = 0; i < std::size(form); ++i) {
    const auto& s = made[i].spec;
    const auto& e = form[i];
    EXPECT_EQ(s.number, e.number) << "creation " << i;
    EXPECT_EQ(s.window, win::kMain) << e.number;
    EXPECT_EQ(s.kind, e.kind) << e.number;
    EXPECT_EQ(std::tie(s.x, s.y, s.w, s.h), std::tie(e.x, e.y, e.w, e.h)) << e.number;
    EXPECT_EQ(s.text, e.text) << e.number;
    const bool hint = e.number == 21 || e.number == 22;
    EXPECT_EQ(s.text_color.has_value(), hint || e.number == 11) << e.number;
  }
  EXPECT_EQ(made[0].spec.font, 3);  // the banner font, made last
  EXPECT_EQ(made[0].spec.text_color, (platform::Rgb{100, 100, 255}));
  EXPECT_EQ(made[1].spec.font, 1);
  EXPECT_EQ(made[1].spec.text_color, (platform::Rgb{100, 100, 100}));
  EXPECT_EQ(made[3].spec.font, platform::kDefaultFont);

  // The clock label is not part of the build: the first pass of the loop makes it.
  const auto& clock = made[std::size(form)].spec;
  EXPECT_EQ(clock.number, 17);
  EXPECT_EQ(clock.text, "2025-11-27 15:20:00");
  EXPECT_EQ(std::tie(clock.x, clock.y, clock.w, clock.h), std::make_tuple(950, 30, 300, 40));
  EXPECT_EQ(clock.font, 3);
  EXPECT_TRUE(sim.shut_down());
}

TEST_F(Story, ClockLabelIsRecreatedOnlyWhenTheSecondChanges) {
  escape_at(5100);
  run();
  const auto texts = texts_of(wid::kClock);
  // About twenty passes of the loop in five seconds, six distinct seconds.
  EXPECT_EQ(texts, (std::vector<std::string>{"2025-11-27 15:20:00", "2025-11-27 15:20:01",
                                             "2025-11-27 15:20:02", "2025-11-27 15:20:03",
                                             "2025-11-27 15:20:04", "2025-11-27 15:20:05"}));
}

TEST_F(Story, OnlyTheEightButtonsAreDispatchedAndTheCloseBoxIsIgnored) {
  for (int n : {9, 11, 21, 24, 30, 44, 52, 54, 67, 999}) sim.click(100, n);
  sim.close_box(200, win::kMain);
  escape_at(1000);
  run();
  EXPECT_EQ(sim.window_opens(win::kMain), 1);  // no rebuild, no close
  EXPECT_TRUE(sim.beeps().empty());
  EXPECT_TRUE(sim.boxes().empty());
  EXPECT_TRUE(texts_of(wid::kStatus) == std::vector<std::string>{""});
  // The loop kept running after the close box until Escape at 1300.
  EXPECT_GE(sim.now(), 1300);
}

TEST_F(Story, QuitButtonEndsWithoutSaving) {
  sim.set_field(100, wid::kToneField, "700");
  sim.click(200, wid::kQuitButton);
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(sim.file("taktell.cnf"), kDefaults);
  EXPECT_FALSE(sim.window_open(win::kMain));
  EXPECT_LT(sim.now(), 300);
}

TEST_F(Story, EscapeReleasedEndsTheProgramAndBeatsAPendingPress) {
  sim.escape_down(0, 300);
  sim.click(300, wid::kSaveButton);  // arrives with the release
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(sim.beeps().empty());
  EXPECT_EQ(sim.now(), 300);
}

TEST_F(Story, EscapeIsSeenOnlyInTheForegroundAndOnlyWhenHeldAcrossAnExamination) {
  sim.other_program_in_front(400, 1100);
  sim.escape_down(500, 800);    // while another program is in front: unseen
  sim.escape_down(1260, 1490);  // between two ticks (1250, 1500): unseen
  sim.escape_down(2000, 2300);  // seen
  run();
  EXPECT_EQ(sim.now(), 2500);  // the first examination after 2300
}

TEST_F(Story, AThousandRebuildsLeaveDepthAndHeapWhereTheyWere) {
  sim.set_record_limit(0);
  std::vector<std::int64_t> heap;
  std::vector<std::uintptr_t> frames;
  heap.reserve(1001);  // the measurement itself must not allocate
  frames.reserve(1001);
  int last_build = 0;
  sim.on_wait([&] {
    const int builds = sim.window_opens(win::kMain);
    if (builds == last_build || sim.window_open(win::kInfo)) return;
    last_build = builds;
    heap.push_back(live_heap_bytes());
    frames.push_back(sim.last_wait_frame());
  });
  // Open and close the information window a thousand times: each close rebuilds.
  for (int i = 0; i < 1000; ++i) {
    sim.click(1000 + 20 * i, wid::kInfoButton);
    sim.click(1010 + 20 * i, 67);
  }
  escape_at(30000);
  run();
  ASSERT_EQ(sim.window_opens(win::kMain), 1001);
  ASSERT_EQ(heap.size(), 1001u);
  EXPECT_EQ(frames[1], frames[1000]);
  EXPECT_EQ(frames[0], frames[1000]);
  // Whether the clock label of the new window exists yet at that moment
  // moves the figure by a few bytes; a leak of even one byte a rebuild would
  // show as a thousand.
  const auto [lo, hi] = std::minmax_element(heap.begin() + 10, heap.end());
  RecordProperty("heap_bytes_after_rebuild_1", std::to_string(heap[1]));
  RecordProperty("heap_bytes_after_rebuild_1000", std::to_string(heap[1000]));
  RecordProperty("heap_bytes_spread_from_rebuild_10", std::to_string(*hi - *lo));
  EXPECT_LE(*hi - *lo, 64) << "heap between " << *lo << " and " << *hi << " bytes";
  EXPECT_LE(heap[1000], *std::max_element(heap.begin() + 10, heap.begin() + 100));
}

}  // namespace
}  // namespace morsello::test
