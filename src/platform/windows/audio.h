// Sound output on Windows: the miniaudio output shared with Linux (WASAPI on
// Windows), started at program start so that it runs well before the first
// tone. Cannot: know when a device really sounds what it is given. Tests
// cannot check under Wine: WASAPI on real hardware (Wine maps it to PulseAudio).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/sound/audio.h"
#include "platform/platform.h"

namespace morsello::platform::windows_backend {

class WindowsAudio final : public Audio {
 public:
  // Starts the output now; the first start() after it only waits for what is
  // left of the warm-up.
  void start_early();
  bool start() override;
  std::unique_ptr<Sound> make_sound(std::span<const std::uint8_t> pcm, int sample_rate,
                                    int channels, int bits_per_sample) override;
  void shutdown() override { output_.shutdown(); }

 private:
  sound::MiniaudioAudio output_;
  std::int64_t started_ms_ = -1;  // GetTickCount64 at the engine's start
  bool warm_ = false;
};

}  // namespace morsello::platform::windows_backend
