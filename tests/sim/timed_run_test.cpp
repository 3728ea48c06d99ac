// The unattended beacon: waiting for the saved start minute and sending
// until the saved stop minute. The virtual clock starts at 2025-11-27 15:20:00.
#include <chrono>

#include "core/settings/settings.h"
#include "story.h"

namespace morsello::test {
namespace {

// A settings file with the given start and stop; each message takes 5U + the
// pause, with U = 100: 500 ms + `pause`.
std::string file_with(const std::string& start, const std::string& stop,
                      const std::string& pause = "1500", const std::string& carrier = "0") {
  const std::string values[10] = {"800", "100", "E", carrier, pause, "0", "0", "COM1", start, stop};
  std::string out;
  for (int i = 0; i < 10; ++i) out += settings::key_of(i) + "    " + values[i] + "\r\n";
  return out;
}

class Timed : public Story {
 protected:
  void SetUp() override { sim.add_port("COM1"); }

  // The times of the key-down bytes: one per message, the text being "E".
  std::vector<std::int64_t> message_starts() const {
    std::vector<std::int64_t> out;
    for (const auto& b : sim.bytes())
      if (b.byte == '1') out.push_back(b.t);
    return out;
  }
  std::vector<std::string> announced() const {
    std::vector<std::string> out;
    for (const auto& t : texts_of(wid::kStatus))
      if (t.rfind("Meddelande", 0) == 0) out.push_back(t);
    return out;
  }
};

constexpr std::int64_t kMinute = 60000;
constexpr std::int64_t kWaitBegins = 200 + 500;  // press at 200, then the 500 ms beep

struct Window {
  const char* name;
  const char* start;
  const char* stop;
  std::vector<std::int64_t> starts;  // expected key-down times of the messages
};

class TimedWindows : public Timed, public ::testing::WithParamInterface<Window> {};

TEST_P(TimedWindows, SendFromTheStartMinuteUntilTheFirstMessageBegunInTheStopMinute) {
  sim.write_file("taktell.cnf", file_with(GetParam().start, GetParam().stop));
  sim.click(200, wid::kTimedButton);
  sim.stretch_short_waits(true);
  sim.set_deadline(GetParam().starts.back() + 10000);
  escape_at(GetParam().starts.back() + 3000);
  run();
  EXPECT_EQ(message_starts(), GetParam().starts) << GetParam().name;
  ASSERT_EQ(sim.beeps().size(), 1u);
  EXPECT_EQ(sim.beeps()[0].hz, 800);
  EXPECT_EQ(sim.beeps()[0].ms, 500);
  EXPECT_EQ(text_of(wid::kStatus), "Klart");
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, TimedWindows,
    ::testing::Values(
        Window{"start in the past, stop empty", "2025-11-27 15:00", "", {kWaitBegins}},
        Window{"start empty, stop passed", "", "2025-11-27 15:19", {kWaitBegins}},
        Window{"stop in this minute", "", "2025-11-27 15:20", {kWaitBegins}},
        Window{"start with seconds waits a minute more", "2025-11-27 15:21:00", "",
               {2 * kMinute}},
        Window{"one-digit hour waits until midnight", "2025-11-27 9:05", "",
               {(8 * 60 + 40) * kMinute}},
        // 2 s messages from 15:21:00: those begun at 15:21:58 and 15:22:00 both run,
        // the second being the first begun in the stop minute.
        Window{"stop a minute after start", "2025-11-27 15:21", "2025-11-27 15:22",
               [] {
                 std::vector<std::int64_t> v;
                 for (std::int64_t t = kMinute; t <= 2 * kMinute; t += 2000) v.push_back(t);
                 return v;
               }()}));

TEST_F(Timed, CountsFromZeroIgnoresTheCountFieldAndUnsavedStamps) {
  sim.write_file("taktell.cnf", file_with("2025-11-27 15:00", "2025-11-27 15:20", "0"));
  sim.set_field(100, wid::kCountField, "0");
  sim.set_field(100, wid::kStartField, "2030-01-01 00:00");  // not saved
  sim.click(200, wid::kTimedButton);
  sim.click(10000, wid::kTimedButton);  // the sent count goes on from the first run
  escape_at(20000);
  run();
  EXPECT_EQ(announced(), (std::vector<std::string>{"Meddelande nr 0 sänds ut",
                                                   "Meddelande nr 0 sänds ut"}));
  EXPECT_EQ(texts_of(wid::kSentCount), (std::vector<std::string>{"", " 1", " 1"}));
  const auto waiting = texts_of(wid::kStatus);
  ASSERT_GE(waiting.size(), 3u);
  EXPECT_EQ(waiting[1], "Inväntar starttid");
  EXPECT_EQ(waiting[2], std::string(17, ' '));
}

TEST_F(Timed, FiveMinuteMessagesAcrossAStopMinute) {
  // Carrier 55 s + "E" + 3.5 s pause: 59 s a message, begun at :00, :59, :58 ...
  sim.write_file("taktell.cnf",
                 file_with("2025-11-27 15:21", "2025-11-27 15:24", "3500", "55000"));
  sim.click(200, wid::kTimedButton);
  sim.stretch_short_waits(true);
  escape_at(10 * kMinute);
  run();
  std::vector<std::int64_t> starts;  // the carrier's key-down opens each message
  for (std::size_t i = 0; i < message_starts().size(); i += 2) starts.push_back(message_starts()[i]);
  ASSERT_EQ(starts.size(), 5u);  // the fifth began at 15:24:56, in the stop minute
  for (std::size_t i = 0; i < starts.size(); ++i)
    EXPECT_EQ(starts[i], kMinute + static_cast<std::int64_t>(i) * 59000);
  EXPECT_EQ(text_of(wid::kSentCount), " 5");
  EXPECT_EQ(announced().back(), "Meddelande nr 4 sänds ut");
}

TEST_F(Timed, EscapeWhileWaitingRebuildsAfterTheBeepWithoutSending) {
  sim.write_file("taktell.cnf", file_with("2025-11-27 16:00", ""));
  sim.click(200, wid::kTimedButton);
  sim.escape_down(5000, 5200);
  escape_at(9000);
  run();
  EXPECT_TRUE(sim.bytes().empty());
  EXPECT_EQ(sim.beeps().size(), 1u);
  EXPECT_EQ(sim.window_opens(win::kMain), 2);
  EXPECT_EQ(text_of(wid::kStatus), "");
  // The clock kept going while waiting, every second.
  int clock_updates = 0;
  for (const auto& rec : sim.creations())
    if (rec.spec.number == wid::kClock && rec.created_at > 1000 && rec.created_at <= 5000)
      ++clock_updates;
  EXPECT_EQ(clock_updates, 4);
}

TEST_F(Timed, ASevenDayWaitReplaysQuicklyWithFlatMemory) {
  sim.write_file("taktell.cnf", file_with("2025-12-04 15:20", ""));
  sim.click(200, wid::kTimedButton);
  sim.stretch_short_waits(true);
  sim.set_record_limit(0);
  constexpr std::int64_t kWeek = 7 * 24 * 60 * kMinute;
  sim.set_deadline(kWeek + kMinute);
  escape_at(kWeek + 10000);
  std::vector<std::int64_t> heap;
  heap.reserve(20000);
  sim.on_examination([&] {
    if (sim.now() > kWaitBegins && sim.now() < kWeek && heap.size() < heap.capacity())
      heap.push_back(live_heap_bytes());
  });
  const auto began = std::chrono::steady_clock::now();
  run();
  const auto took = std::chrono::steady_clock::now() - began;
  EXPECT_LT(took, std::chrono::milliseconds(500));
  ASSERT_GT(heap.size(), 10000u);  // one poll a minute, at the least
  EXPECT_EQ(heap[100], heap.back());
  ASSERT_EQ(sim.bytes().size(), 2u);
  EXPECT_EQ(sim.bytes()[0].t, kWeek);  // the very first millisecond of the start minute
}

}  // namespace
}  // namespace morsello::test
