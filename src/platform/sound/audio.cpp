// Sound output through miniaudio's low-level device on the default output
// (PulseAudio or ALSA on Linux, WASAPI on Windows, or miniaudio's null device
// when there is none, so keying goes on silently). No system promises an
// output latency, so the onset delay is whatever the sound server adds; a unit
// test cannot hear the tone (the end-to-end tests capture it).
//
// Not ma_engine: its sounds start and stop only at the boundary of a processing
// chunk, which quantises every tone to the device period (50 ms dots came out
// between 37.5 and 56 ms on PulseAudio's 18.75 ms period). Our own data callback
// plays the one voice and switches it at exact frames instead (tone_gate.h).
#include "platform/sound/audio.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/sound/miniaudio_setup.h"
#include "platform/sound/tone_gate.h"

namespace morsello::platform::sound {

namespace {

constexpr int kRate = 48000;
// The device period. Its callbacks come straight from the backend (no fixed
// size, so no extra buffer in between): on PulseAudio a 25 ms period gives an
// onset delay of about 20 ms and rides out a busy machine without under-runs,
// where 10 ms (8.5 ms onset) glitched now and then.
constexpr ma_uint32 kPeriodMs = 25;
// The callbacks start() waits for, so that the latency estimate has settled
// before the first tone (about 80 ms, once in the program's life).
constexpr std::uint64_t kWarmUpCallbacks = 8;
constexpr std::int64_t kNsPerMs = 1'000'000;

// The one clock of the tone gate: the UI thread stamps its requests with it
// and the audio callback places them by it.
std::int64_t monotonic_now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void sleep_until(std::int64_t t_ns) {
  std::this_thread::sleep_until(
      std::chrono::steady_clock::time_point(std::chrono::nanoseconds(t_ns)));
}

void on_data(ma_device* device, void* output, const void*, ma_uint32 frames) {
  static_cast<ToneGate*>(device->pUserData)
      ->render(static_cast<float*>(output), frames, monotonic_now());
}

// Signed little-endian samples of 16 or 24 bits as floats; empty when the
// bytes are not whole samples.
std::vector<float> decode(std::span<const std::uint8_t> pcm, int bits) {
  const std::size_t width = static_cast<std::size_t>(bits / 8);
  if (pcm.size() % width != 0) return {};
  std::vector<float> out(pcm.size() / width);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::uint8_t* p = pcm.data() + i * width;
    std::int32_t v = 0;
    for (std::size_t b = 0; b < width; ++b) v |= static_cast<std::int32_t>(p[b]) << (8 * b);
    const int shift = 32 - bits;  // sign-extend from the top byte
    v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << shift) >> shift;
    out[i] = static_cast<float>(v) / static_cast<float>(1 << (bits - 1));
  }
  return out;
}

}  // namespace

struct MiniaudioAudio::Engine {
  enum class State { NotStarted, Started, Failed, ShutDown };
  State state = State::NotStarted;
  ma_device device{};
  ToneGate gate{kRate};
  std::vector<std::unique_ptr<Tone>> retired;  // still possibly read by the audio thread

  ~Engine() { close(); }

  void close() {
    if (state == State::Started) ma_device_uninit(&device);
    if (state != State::Failed) state = State::ShutDown;
    retired.clear();
  }

  void collect() {
    const std::uint64_t applied = gate.applied();
    std::erase_if(retired, [&](const auto& t) { return t->last_seq <= applied; });
  }

  void retire(std::unique_ptr<Tone> tone) {
    collect();
    if (state == State::Started && tone->last_seq > gate.applied()) {
      retired.push_back(std::move(tone));
    }
  }
};

namespace {

class GatedSound final : public Sound {
 public:
  GatedSound(std::shared_ptr<MiniaudioAudio::Engine> engine, std::unique_ptr<Tone> tone)
      : engine_(std::move(engine)), tone_(std::move(tone)) {}
  ~GatedSound() override {
    stop();
    engine_->retire(std::move(tone_));
  }
  GatedSound(const GatedSound&) = delete;
  GatedSound& operator=(const GatedSound&) = delete;

  void play_looped() override {
    if (engine_->state != MiniaudioAudio::Engine::State::Started) return;
    const std::uint64_t seq = engine_->gate.request_on(tone_.get(), monotonic_now(), playing_);
    if (seq == 0) return;  // the output has stalled: no tone this time
    tone_->last_seq = seq;
    playing_ = true;
  }

  void stop() override {
    if (!playing_) return;
    playing_ = false;
    if (engine_->state != MiniaudioAudio::Engine::State::Started) return;
    tone_->last_seq = engine_->gate.request_off(tone_.get(), monotonic_now());
  }

 private:
  std::shared_ptr<MiniaudioAudio::Engine> engine_;
  std::unique_ptr<Tone> tone_;
  bool playing_ = false;
};

}  // namespace

MiniaudioAudio::MiniaudioAudio() : engine_(std::make_shared<Engine>()) {}

MiniaudioAudio::~MiniaudioAudio() { shutdown(); }

bool MiniaudioAudio::start() {
  using State = Engine::State;
  Engine& e = *engine_;
  if (e.state == State::Started) return true;
  if (e.state != State::NotStarted) return false;

  ma_device_config config = ma_device_config_init(ma_device_type_playback);
  config.playback.format = ma_format_f32;
  config.playback.channels = 1;
  config.sampleRate = kRate;
  config.periodSizeInMilliseconds = kPeriodMs;
  config.performanceProfile = ma_performance_profile_low_latency;
  config.noFixedSizedCallback = MA_TRUE;
  config.dataCallback = on_data;
  config.pUserData = &e.gate;
  if (ma_device_init(nullptr, &config, &e.device) != MA_SUCCESS) {
    e.state = State::Failed;
    return false;
  }
  if (ma_device_start(&e.device) != MA_SUCCESS) {
    ma_device_uninit(&e.device);
    e.state = State::Failed;
    return false;
  }
  e.state = State::Started;
  const std::int64_t give_up = monotonic_now() + 1000 * kNsPerMs;
  while (e.gate.callbacks() < kWarmUpCallbacks && monotonic_now() < give_up) {
    sleep_until(monotonic_now() + kNsPerMs);
  }
  return true;
}

std::unique_ptr<Sound> MiniaudioAudio::make_sound(std::span<const std::uint8_t> pcm,
                                                  int sample_rate, int channels,
                                                  int bits_per_sample) {
  if (engine_->state != Engine::State::Started) return nullptr;
  if (sample_rate != kRate || channels != 1) return nullptr;
  if (bits_per_sample != 16 && bits_per_sample != 24) return nullptr;
  auto tone = std::make_unique<Tone>();
  tone->samples = decode(pcm, bits_per_sample);
  if (tone->samples.empty()) return nullptr;
  engine_->collect();
  return std::make_unique<GatedSound>(engine_, std::move(tone));
}

void MiniaudioAudio::shutdown() { engine_->close(); }

std::string MiniaudioAudio::backend_name() const {
  if (engine_->state != Engine::State::Started) return {};
  return ma_get_backend_name(engine_->device.pContext->backend);
}

void MiniaudioAudio::play_for(std::vector<float> samples, int ms) {
  Engine& e = *engine_;
  if (e.state != Engine::State::Started || samples.empty() || ms <= 0) return;
  auto tone = std::make_unique<Tone>();
  tone->samples = std::move(samples);
  const std::int64_t t_on = monotonic_now();
  const std::uint64_t on = e.gate.request_on(tone.get(), t_on, false);
  if (on == 0) return;
  tone->last_seq = on;
  // The stop is stamped with the exact end, not with whenever the wait ended.
  const std::int64_t t_off = t_on + ms * kNsPerMs;
  sleep_until(t_off);
  const std::uint64_t off = e.gate.request_off(tone.get(), t_off);
  tone->last_seq = off;
  const std::int64_t give_up = monotonic_now() + 1000 * kNsPerMs;
  while (e.gate.applied() < off && monotonic_now() < give_up) {
    sleep_until(monotonic_now() + kNsPerMs);
  }
  e.retire(std::move(tone));
}

void AudioBeeper::beep(int hz, int ms) {
  if (before_wait_) before_wait_();
  if (hz <= 0 || ms <= 0 || !audio_.start()) return;
  const int n = kRate / hz;
  if (n < 2) return;  // above half the sample rate nothing can sound
  std::vector<float> period(static_cast<std::size_t>(n));
  constexpr double kTwoPi = 6.283185307179586;
  for (int i = 0; i < n; ++i) period[i] = static_cast<float>(0.8 * std::sin(kTwoPi * i / n));
  audio_.play_for(std::move(period), ms);
}

}  // namespace morsello::platform::sound
