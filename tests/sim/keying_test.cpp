// Sending a message: what goes out on the keying line and the speaker, when,
// and what the form shows meanwhile.
#include <algorithm>

#include "story.h"

namespace morsello::test {
namespace {

class Keying : public Story {
 protected:
  void SetUp() override { sim.add_port("COM1"); }

  // The form as the operator fills it in before pressing a button at t = 200.
  void fill(const std::string& text, const std::string& dot = "50",
            const std::string& carrier = "0", const std::string& repeat_pause = "2000",
            std::int64_t at = 100) {
    sim.set_field(at, wid::kTextField, text);
    sim.set_field(at, wid::kToneField, "800");
    sim.set_field(at, wid::kDotField, dot);
    sim.set_field(at, wid::kCarrierField, carrier);
    sim.set_field(at, wid::kRepeatPauseField, repeat_pause);
  }

  // Key-down spans and the silences between them, from the byte log,
  // relative to the first byte.
  struct Span {
    std::int64_t down, up;
  };
  std::vector<Span> spans() const {
    std::vector<Span> out;
    const auto& b = sim.bytes();
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) out.push_back({b[i].t, b[i + 1].t});
    return out;
  }
  std::vector<std::int64_t> downs() const {
    std::vector<std::int64_t> out;
    for (auto s : spans()) out.push_back(s.up - s.down);
    return out;
  }
  std::vector<std::int64_t> silences() const {
    std::vector<std::int64_t> out;
    const auto s = spans();
    for (std::size_t i = 1; i < s.size(); ++i) out.push_back(s[i].down - s[i - 1].up);
    return out;
  }
  bool alternates_from_one() const {
    const std::string b = line_bytes();
    for (std::size_t i = 0; i < b.size(); ++i)
      if (b[i] != (i % 2 == 0 ? '1' : '0')) return false;
    return true;
  }
  std::int64_t time_of_label(int number, const std::string& text) const {
    for (const auto& rec : sim.creations())
      if (rec.spec.number == number && rec.spec.text == text) return rec.created_at;
    return -1;
  }
};

using V = std::vector<std::int64_t>;

TEST_F(Keying, TestRunSendsTestWithTheSystemsSpacings) {
  fill("TEST");
  sim.click(200, wid::kTestButton);
  escape_at(10000);
  run();
  ASSERT_TRUE(alternates_from_one()) << line_bytes();
  EXPECT_EQ(downs(), (V{150, 50, 50, 50, 50, 150}));
  // U inside a character, 4U between characters.
  EXPECT_EQ(silences(), (V{200, 200, 50, 50, 200}));
  EXPECT_EQ(sim.bytes().front().t, 200);
  // 28U of message, then the 2000 ms pause, then "Klart".
  EXPECT_EQ(time_of_label(wid::kStatus, "Klart"), 200 + 1400 + 2000);
  EXPECT_EQ(texts_of(wid::kTestNotice), (std::vector<std::string>{"Testkörning pågår", " "}));
  // The side tone sounds exactly while the key is down.
  ASSERT_EQ(sim.sounds().size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(sim.sounds()[i].started_at, spans()[i].down);
    EXPECT_EQ(sim.sounds()[i].stopped_at, spans()[i].up);
    EXPECT_EQ(sim.sounds()[i].samples, 60u);  // one period at 800 Hz
  }
  const auto* status = sim.widget(wid::kStatus);
  ASSERT_TRUE(status);
  EXPECT_EQ(std::tie(status->spec.x, status->spec.y), std::make_tuple(390, 520));
  EXPECT_EQ(text_of(wid::kCurrentText), " TEST");
  EXPECT_EQ(sim.port_opens("COM1"), 1);  // one connection for the whole message
}

struct Pattern {
  const char* text;
  V downs, silences;
};

class Patterns : public Keying, public ::testing::WithParamInterface<Pattern> {};

TEST_P(Patterns, SpacesAndSignsGiveTheirGapsAndCodes) {
  fill(GetParam().text);
  sim.click(200, wid::kTestButton);
  escape_at(20000);
  run();
  EXPECT_TRUE(alternates_from_one()) << line_bytes();
  EXPECT_EQ(downs(), GetParam().downs);
  EXPECT_EQ(silences(), GetParam().silences);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Patterns,
    ::testing::Values(Pattern{"E E", {50, 50}, {550}},  // 11U between the two dots
                      Pattern{"-", {150, 50, 50, 50, 50, 150}, {50, 50, 50, 50, 50}},
                      Pattern{"ÅÖ",
                              {50, 150, 150, 50, 150, 150, 150, 150, 50},
                              {50, 50, 50, 50, 200, 50, 50, 50}},
                      Pattern{"E\tE?", {50, 50, 50, 50, 150, 150, 50, 50},
                              {200, 200, 50, 50, 50, 50, 50}}));  // the tab is skipped

TEST_F(Keying, CarrierLeadInKeysDownThenPausesBeforeTheText) {
  fill("E", "50", "300");
  sim.set_field(100, wid::kCarrierPauseField, "200");
  sim.click(200, wid::kTestButton);
  escape_at(10000);
  run();
  EXPECT_EQ(downs(), (V{300, 50}));
  EXPECT_EQ(silences(), (V{200}));  // the pause alone, no element gap after the carrier
  EXPECT_EQ(texts_of(wid::kCarrierStatus),
            (std::vector<std::string>{"Bärvåg i 300 millisekunder", "", "Paus mellan bärvåg och text",
                                      ""}));
  EXPECT_EQ(time_of_label(wid::kCarrierStatus, "Paus mellan bärvåg och text"), 500);
}

TEST_F(Keying, EmptyAndLowerCaseTextsSendNothingButTheClosingPause) {
  fill("", "50", "0", "700");
  sim.click(200, wid::kTestButton);
  fill("abc", "50", "0", "700", 950);
  sim.click(1000, wid::kTestButton);
  escape_at(5000);
  run();
  EXPECT_TRUE(sim.bytes().empty());
  EXPECT_TRUE(sim.sounds().empty());
  // The empty text announces no message number and leaves the display alone.
  const auto status = texts_of(wid::kStatus);
  EXPECT_EQ(std::vector<std::string>(status.begin(), status.begin() + 5),
            (std::vector<std::string>{"", "", "Pause mellan utsändningarna", "", "Klart"}));
  EXPECT_EQ(time_of_label(wid::kStatus, "Klart"), 900);
  // The lower-case text is shown character by character and costs no time.
  EXPECT_EQ(texts_of(wid::kCurrentText), (std::vector<std::string>{"", " a", " ab", " abc"}));
  EXPECT_EQ(status[5], "Meddelande nr 1 sänds ut");
}

TEST_F(Keying, ACharacterOutsideTheBasicPlaneIsShownWhole) {
  fill("E\xF0\x9F\x93\xBB");
  sim.click(200, wid::kTestButton);
  escape_at(10000);
  run();
  EXPECT_EQ(texts_of(wid::kCurrentText),
            (std::vector<std::string>{"", " E", " E\xF0\x9F\x93\xBB"}));
  EXPECT_EQ(downs(), (V{50}));
}

struct Count {
  const char* field;
  int transmissions;
};

class Counted : public Keying, public ::testing::WithParamInterface<Count> {};

TEST_P(Counted, SendsAsManyTransmissionsAsTheFieldRoundsTo) {
  fill("E", "10", "0", "100");
  sim.set_field(100, wid::kCountField, GetParam().field);
  sim.click(200, wid::kCountedButton);
  escape_at(20000);
  run();
  const int n = GetParam().transmissions;
  EXPECT_EQ(static_cast<int>(sim.bytes().size()), 2 * n);
  EXPECT_EQ(texts_of(wid::kCountedNotice), (std::vector<std::string>{"Nu körs n antal TX", " "}));
  EXPECT_EQ(text_of(wid::kStatus), "Klart");
  std::vector<std::string> announced, counts{""};  // the build shows an empty count
  for (int i = 1; i <= n; ++i) {
    announced.push_back("Meddelande nr " + std::to_string(i) + " sänds ut");
    counts.push_back(" " + std::to_string(i));
  }
  std::vector<std::string> seen;
  for (const auto& t : texts_of(wid::kStatus))
    if (t.rfind("Meddelande", 0) == 0) seen.push_back(t);
  EXPECT_EQ(seen, announced);
  EXPECT_EQ(texts_of(wid::kSentCount), counts);
  EXPECT_GE(sim.pumps(), 3 * n);  // one before each transmission, two after
}

INSTANTIATE_TEST_SUITE_P(Fields, Counted,
                         ::testing::Values(Count{"0", 0}, Count{"-3", 0}, Count{"abc", 0},
                                           Count{"", 0}, Count{"1", 1}, Count{"3", 3},
                                           Count{"2.5", 2}, Count{"3.5", 4}, Count{"2.6", 3}));

TEST_F(Keying, SentCountSurvivesARebuildWhileStatusAndTextAreCleared) {
  fill("E", "10", "0", "0");
  sim.set_field(100, wid::kCountField, "2");
  sim.click(200, wid::kCountedButton);
  sim.click(1000, wid::kTestButton);  // a test run leaves the count alone
  sim.click(2000, wid::kSaveButton);
  escape_at(4000);
  run();
  EXPECT_EQ(sim.window_opens(win::kMain), 2);
  EXPECT_EQ(text_of(wid::kSentCount), " 2");
  EXPECT_EQ(text_of(wid::kStatus), "");
  EXPECT_EQ(text_of(wid::kCurrentText), "");
}

TEST_F(Keying, EscapeHeldAcrossADotAbortsAtTheNextDotWithTheKeyUp) {
  fill("EEEE", "50", "0", "0");
  sim.click(200, wid::kTestButton);
  sim.escape_down(400, 500);  // seen held by the dot at 450, released at 700
  escape_at(3000);
  run();
  EXPECT_EQ(line_bytes(), "1010");
  EXPECT_EQ(sim.bytes().back().t, 500);
  EXPECT_EQ(sim.window_opens(win::kMain), 2);
  EXPECT_EQ(time_of_label(wid::kStatus, "Klart"), -1);
  EXPECT_EQ(text_of(wid::kCurrentText), "");
  EXPECT_GT(sim.now(), 3300);  // the abort's release did not also end the program
}

TEST_F(Keying, EscapeBetweenDotsOrDuringDashesGoesUnnoticed) {
  fill("TMO0 EE", "50", "0", "0");
  sim.click(200, wid::kTestButton);
  sim.escape_down(300, 2000);  // only dashes start while it is held
  sim.escape_down(3420, 3560);  // between the dots at 3350 and 3600
  escape_at(6000);
  run();
  EXPECT_EQ(sim.window_opens(win::kMain), 1);
  EXPECT_EQ(text_of(wid::kStatus), "Klart");
  EXPECT_EQ(line_bytes().size(), 2u * (1 + 2 + 3 + 5 + 2));
}

TEST_F(Keying, WithoutSoundOutputNothingIsKeyedAndOnlyTheGapsPass) {
  sim.fail_audio_start();
  fill("TEST", "50", "300", "0");
  sim.click(200, wid::kTestButton);
  escape_at(5000);
  run();
  EXPECT_TRUE(sim.bytes().empty());
  EXPECT_EQ(time_of_label(wid::kStatus, "Klart"), 200 + 4 * 150);
  EXPECT_EQ(text_of(wid::kCarrierStatus), "Bärvåg i 300 millisekunder");  // left standing
}

TEST_F(Keying, WithoutAPlayableSoundTheElementGapIsStillWaited) {
  sim.fail_make_sound();
  fill("EE", "50", "0", "0");
  sim.click(200, wid::kTestButton);
  escape_at(5000);
  run();
  EXPECT_TRUE(sim.bytes().empty());
  EXPECT_EQ(time_of_label(wid::kStatus, "Klart"), 200 + 2 * (50 + 150));
}

TEST_F(Keying, AnEmptyPortNameSoundsTheToneWithoutTouchingAPort) {
  sim.write_file("taktell.cnf", "TK008    \r\n");
  fill("EE");
  sim.click(200, wid::kTestButton);
  escape_at(5000);
  run();
  EXPECT_EQ(sim.sounds().size(), 2u);
  EXPECT_EQ(sim.port_opens("COM1"), 0);
}

TEST_F(Keying, ADeviceThatAppearsMidRunIsPickedUpAtTheNextElement) {
  sim.add_port("COM1", 520);  // appears after the second E; the third starts at 700
  fill("EEEE", "50", "0", "0");
  sim.click(200, wid::kTestButton);
  escape_at(5000);
  run();
  EXPECT_EQ(line_bytes(), "1010");
  EXPECT_EQ(sim.bytes().front().t, 700);
}

TEST_F(Keying, ASavedNewPortReplacesTheConnectionAndAnUnsavedOneIsIgnored) {
  sim.add_port("COM2");
  sim.add_port("COM3");
  fill("E", "10", "0", "0");
  sim.click(200, wid::kTestButton);
  sim.set_field(300, wid::kPortField, "COM2");
  sim.click(400, wid::kSaveButton);  // saves the whole form, then rebuilds at 1000
  sim.set_field(1500, wid::kPortField, "COM3");  // typed, never saved
  sim.click(1600, wid::kTestButton);
  escape_at(8000);
  run();
  ASSERT_EQ(sim.bytes().size(), 4u);
  EXPECT_EQ(sim.bytes()[1].port, "COM1");
  EXPECT_EQ(sim.bytes()[2].port, "COM2");
  EXPECT_EQ(sim.port_opens("COM3"), 0);
  // COM1 was closed when COM2 took the slot.
  const std::string tl = sim.timeline();
  EXPECT_LT(tl.find("port COM1 closed"), tl.find("byte 1 on COM2"));
}

TEST_F(Keying, APressTakenByAPumpStepRunsNothing) {
  fill("E", "10", "0", "500");
  sim.set_field(100, wid::kCountField, "2");
  sim.click(200, wid::kCountedButton);
  sim.click(250, wid::kQuitButton);    // taken by the pump after the first message
  sim.click(260, wid::kSaveButton);    // taken by the second pump step
  escape_at(5000);
  run();
  EXPECT_EQ(sim.bytes().size(), 4u);
  EXPECT_TRUE(sim.beeps().empty());
  EXPECT_EQ(sim.window_opens(win::kMain), 1);
  EXPECT_GT(sim.now(), 5300);  // still running until Escape
}

}  // namespace
}  // namespace morsello::test
