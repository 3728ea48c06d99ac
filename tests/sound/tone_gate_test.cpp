// The side tone's frame-exact switch, driven by a simulated output device whose
// callbacks come late by random amounts, in chunks unrelated to the requests.
#include "platform/sound/tone_gate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace morsello::platform::sound {
namespace {

constexpr int kRate = 48000;
constexpr std::int64_t kMs = 1'000'000;

// A device asking for `chunk` frames per callback, `lead_ms` ahead of real
// time, each callback up to `jitter_ms` late, its clock off by `ppm`.
struct FakeDevice {
  explicit FakeDevice(ToneGate& g, std::uint32_t frames = 480, double jitter = 0.0,
                      double clock_ppm = 0.0)
      : gate(g), chunk(frames), jitter_ms(jitter), ppm(clock_ppm) {}

  ToneGate& gate;
  std::uint32_t chunk;
  double lead_ms = 6.0;
  double jitter_ms;
  double ppm;
  std::vector<float> out;
  std::mt19937 rng{7};

  // Time at which the callback for the frames starting at `position` runs.
  std::int64_t call_time(std::uint64_t position) {
    const double due_ms = position * 1000.0 / kRate / (1.0 + ppm * 1e-6) - lead_ms;
    std::uniform_real_distribution<double> late(0.0, jitter_ms);
    return static_cast<std::int64_t>((due_ms + late(rng)) * kMs) + 1000 * kMs;
  }
  // Runs every callback due up to time `t_ns`.
  void run_until(std::int64_t t_ns) {
    for (;;) {
      const std::uint64_t pos = out.size();
      const std::int64_t t = call_time(pos);
      if (t > t_ns) return;
      out.resize(pos + chunk);
      gate.render(out.data() + pos, chunk, t);
    }
  }
};

struct Burst {
  std::size_t first, end;  // frames [first, end) that sound
};

// Bursts of a tone whose first sample is 1 and which has no zero sample.
std::vector<Burst> bursts_in(const std::vector<float>& out) {
  std::vector<Burst> found;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == 0.0f) continue;
    std::size_t j = i;
    while (j < out.size() && out[j] != 0.0f) ++j;
    found.push_back({i, j});
    i = j;
  }
  return found;
}

Tone ramp_tone() { return Tone{{1.0f, 2.0f, 3.0f, 4.0f, 5.0f}}; }

struct Case {
  const char* what;
  std::uint32_t chunk;
  double jitter_ms;
  double ppm;
};

class ToneGateTiming : public ::testing::TestWithParam<Case> {};

// Every burst lasts its request span to the frame, and starts a constant
// time after its request, however the requests fall against the callbacks.
TEST_P(ToneGateTiming, BurstsAreExactAndTheirOnsetDelayConstant) {
  const Case c = GetParam();
  ToneGate gate(kRate);
  FakeDevice dev(gate, c.chunk, c.jitter_ms, c.ppm);
  Tone tone = ramp_tone();
  dev.run_until(1100 * kMs);  // warm-up, as the real output waits for

  std::vector<std::pair<std::int64_t, std::int64_t>> requests;
  std::int64_t t = 1200 * kMs + 137'000;
  std::mt19937 rng(3);
  std::uniform_int_distribution<std::int64_t> span(20 * kMs, 160 * kMs);
  for (int i = 0; i < 60; ++i) {
    const std::int64_t on = t, off = t + span(rng);
    dev.run_until(on);
    ASSERT_NE(gate.request_on(&tone, on, false), 0u);
    dev.run_until(off);
    gate.request_off(&tone, off);
    requests.push_back({on, off});
    t = off + span(rng);
  }
  dev.run_until(t + 100 * kMs);

  const auto bursts = bursts_in(dev.out);
  ASSERT_EQ(bursts.size(), requests.size());
  EXPECT_EQ(gate.late(), 0u);
  std::int64_t onset_min = INT64_MAX, onset_max = INT64_MIN;
  for (std::size_t i = 0; i < bursts.size(); ++i) {
    const double want = (requests[i].second - requests[i].first) * 1e-9 * kRate;
    EXPECT_NEAR(static_cast<double>(bursts[i].end - bursts[i].first), want, 1.0) << "burst " << i;
    // Frame n plays at n / (rate (1 + ppm)) after the device's time origin.
    const double plays_ms = bursts[i].first * 1000.0 / kRate / (1.0 + c.ppm * 1e-6) + 1000.0;
    const auto onset = static_cast<std::int64_t>((plays_ms - requests[i].first * 1e-6) * 48);
    onset_min = std::min(onset_min, onset);
    onset_max = std::max(onset_max, onset);
  }
  // Constant to within the jitter of the lead estimate, and never more than
  // the lead plus one callback plus the margin (here 6 + 10 + 1 ms).
  EXPECT_LE(onset_max - onset_min, 48 * (1 + c.jitter_ms));
  EXPECT_LE(onset_max, 48 * 20);
}

INSTANTIATE_TEST_SUITE_P(Devices, ToneGateTiming,
                         ::testing::Values(Case{"steady", 480, 0.0, 0.0},
                                           Case{"late_callbacks", 480, 3.0, 0.0},
                                           Case{"odd_chunks", 333, 2.0, 0.0},
                                           Case{"fast_clock", 480, 1.0, 300.0},
                                           Case{"slow_clock", 480, 1.0, -300.0}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(ToneGate, TonePlaysFromItsFirstSampleAndLoops) {
  ToneGate gate(kRate);
  FakeDevice dev(gate);
  Tone tone = ramp_tone();
  dev.run_until(1100 * kMs);
  gate.request_on(&tone, 1200 * kMs, false);
  gate.request_off(&tone, 1200 * kMs + 250'000);  // 12 frames later
  dev.run_until(1300 * kMs);
  const auto bursts = bursts_in(dev.out);
  ASSERT_EQ(bursts.size(), 1u);
  const std::vector<float> want{1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 1, 2};
  ASSERT_EQ(bursts[0].end - bursts[0].first, want.size());
  EXPECT_EQ(std::vector<float>(dev.out.begin() + bursts[0].first, dev.out.begin() + bursts[0].end),
            want);
}

TEST(ToneGate, AStopOnlySilencesTheToneThatIsSounding) {
  ToneGate gate(kRate);
  FakeDevice dev(gate);
  Tone a = ramp_tone(), b{{7.0f}};
  dev.run_until(1100 * kMs);
  gate.request_on(&a, 1200 * kMs, false);
  gate.request_on(&b, 1210 * kMs, false);  // b takes over the one voice
  gate.request_off(&a, 1220 * kMs);        // a no longer sounds: nothing changes
  gate.request_off(&b, 1230 * kMs);
  dev.run_until(1300 * kMs);
  const auto bursts = bursts_in(dev.out);
  ASSERT_EQ(bursts.size(), 1u);
  EXPECT_NEAR(static_cast<double>(bursts[0].end - bursts[0].first), 30 * 48, 1.0);
  EXPECT_EQ(dev.out[bursts[0].end - 1], 7.0f);
}

// With the queue full of requests not yet due, starts are refused before the
// queue could lose a stop, so no tone is left sounding; all queued is carried out.
TEST(ToneGate, AFullQueueRefusesStartsButNeverAStop) {
  ToneGate gate(kRate);
  FakeDevice dev(gate);
  Tone tone = ramp_tone();
  dev.run_until(1100 * kMs);
  std::size_t accepted = 0;
  std::int64_t t = 1200 * kMs;
  for (std::size_t i = 0; i < ToneGate::kCapacity; ++i, t += 2 * kMs) {
    if (gate.request_on(&tone, t, false) == 0) continue;
    ++accepted;
    EXPECT_NE(gate.request_off(&tone, t + kMs), 0u);
  }
  EXPECT_EQ(accepted, ToneGate::kCapacity / 2);
  const std::uint64_t last = gate.request_on(&tone, t, false);
  EXPECT_EQ(last, 0u);
  dev.run_until(t + 100 * kMs);
  EXPECT_EQ(gate.applied(), 2 * accepted);
  EXPECT_EQ(dev.out.back(), 0.0f);
  EXPECT_NE(gate.request_on(&tone, t + 200 * kMs, false), 0u);
}

}  // namespace
}  // namespace morsello::platform::sound
