// The warm-up around the shared miniaudio output: started with the program,
// the first tone held until kWarmUpMs after that start. Cannot: tell when a
// device really plays what it is given. Tests cannot check under Wine: WASAPI
// on real hardware, only Wine's own over PulseAudio.
//
// An output can drop what it gets in its first moments: under Wine over a
// PulseAudio sink that sleeps when idle, the first 0.9 s of a fresh start were
// lost, and USB, HDMI and Bluetooth outputs on Windows wake up the same way.
#include "platform/windows/audio.h"

#include <windows.h>

namespace morsello::platform::windows_backend {

namespace {

constexpr std::int64_t kWarmUpMs = 1500;

std::int64_t now_ms() { return static_cast<std::int64_t>(GetTickCount64()); }

}  // namespace

void WindowsAudio::start_early() {
  if (started_ms_ < 0 && output_.start()) started_ms_ = now_ms();
}

bool WindowsAudio::start() {
  if (!output_.start()) return false;
  if (started_ms_ < 0) started_ms_ = now_ms();
  if (!warm_) {
    const std::int64_t left = started_ms_ + kWarmUpMs - now_ms();
    if (left > 0) Sleep(static_cast<DWORD>(left));
    warm_ = true;
  }
  return true;
}

std::unique_ptr<Sound> WindowsAudio::make_sound(std::span<const std::uint8_t> pcm, int sample_rate,
                                                int channels, int bits_per_sample) {
  return output_.make_sound(pcm, sample_rate, channels, bits_per_sample);
}

}  // namespace morsello::platform::windows_backend
