// The sound output on whatever this machine has: with no sound server,
// miniaudio's null device, which plays into nothing at the real pace. Whether
// a tone is heard, and how exactly, is for the end-to-end tests with a
// PulseAudio sink; the switching arithmetic is tested in tone_gate_test.
#include "platform/sound/audio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

namespace morsello::platform::sound {
namespace {

using Steady = std::chrono::steady_clock;

double ms_since(Steady::time_point t0) {
  return std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
}

// One period of an 800 Hz sine as 24-bit little-endian samples.
std::vector<std::uint8_t> tone_pcm(int samples = 60) {
  std::vector<std::uint8_t> pcm;
  for (int i = 0; i < samples; ++i) {
    const auto v =
        static_cast<std::int32_t>(std::lround(6710880 * std::sin(6.283185307179586 * i / samples)));
    for (int b = 0; b < 3; ++b) pcm.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
  }
  return pcm;
}

TEST(MiniaudioAudio, StartsOnTheDefaultOutputOrTheNullDevice) {
  MiniaudioAudio audio;
  EXPECT_EQ(audio.backend_name(), "");
  ASSERT_TRUE(audio.start());
  EXPECT_NE(audio.backend_name(), "");
  EXPECT_TRUE(audio.start());  // harmless when started
  std::cout << "audio backend: " << audio.backend_name() << "\n";
}

TEST(MiniaudioAudio, SoundsPlayAndStopAndOnlyWellFormedPcmMakesOne) {
  MiniaudioAudio audio;
  const auto pcm = tone_pcm();
  EXPECT_EQ(audio.make_sound(pcm, 48000, 1, 24), nullptr);  // not started yet
  ASSERT_TRUE(audio.start());

  struct Row {
    const char* what;
    std::size_t bytes;
    int rate, channels, bits;
    bool makes;
  } const rows[] = {
      {"one period", pcm.size(), 48000, 1, 24, true},
      {"16-bit", 120, 48000, 1, 16, true},
      {"empty", 0, 48000, 1, 24, false},
      {"a partial sample", pcm.size() - 1, 48000, 1, 24, false},
      {"other rate", pcm.size(), 44100, 1, 24, false},
      {"stereo", pcm.size(), 48000, 2, 24, false},
      {"8-bit", pcm.size(), 48000, 1, 8, false},
  };
  for (const Row& r : rows) {
    auto sound = audio.make_sound(std::span(pcm.data(), r.bytes), r.rate, r.channels, r.bits);
    EXPECT_EQ(sound != nullptr, r.makes) << r.what;
  }

  // Elements as the keying engine makes them, also back to back and unstopped.
  for (int i = 0; i < 50; ++i) {
    auto sound = audio.make_sound(tone_pcm(), 48000, 1, 24);
    ASSERT_NE(sound, nullptr);
    sound->play_looped();
    if (i % 10 == 0) sound->play_looped();  // a restart
    if (i % 7 != 0) sound->stop();          // released while still playing otherwise
    if (i % 5 == 0) sound->stop();          // a second stop does nothing
  }
  auto left_over = audio.make_sound(pcm, 48000, 1, 24);
  left_over->play_looped();
  audio.shutdown();
  left_over->stop();
  left_over.reset();
  EXPECT_FALSE(audio.start());  // the output is gone for good
  EXPECT_EQ(audio.make_sound(pcm, 48000, 1, 24), nullptr);
}

TEST(AudioBeeper, BeepsForItsLengthOrNotAtAll) {
  MiniaudioAudio audio;
  AudioBeeper beeper(audio);
  ASSERT_TRUE(audio.start());
  auto t0 = Steady::now();
  beeper.beep(800, 100);
  const double took = ms_since(t0);
  EXPECT_GE(took, 100.0);
  EXPECT_LT(took, 400.0);

  t0 = Steady::now();
  beeper.beep(0, 100);
  beeper.beep(-800, 100);
  beeper.beep(800, 0);
  beeper.beep(800, -5);
  beeper.beep(40000, 100);  // above half the sample rate: nothing to sound
  EXPECT_LT(ms_since(t0), 5.0);

  audio.shutdown();
  t0 = Steady::now();
  beeper.beep(800, 100);  // no output: silent and immediate
  EXPECT_LT(ms_since(t0), 5.0);
}

}  // namespace
}  // namespace morsello::platform::sound
