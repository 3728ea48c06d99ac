#pragma once

#include <memory>

#include "platform/platform.h"

namespace morsello::platform::linux_backend {

// Sound output through miniaudio on the default output device.
class MiniaudioAudio final : public Audio {
 public:
  MiniaudioAudio();
  ~MiniaudioAudio() override;
  bool start() override;
  std::unique_ptr<Sound> make_sound(std::span<const std::uint8_t> pcm, int sample_rate,
                                    int channels, int bits_per_sample) override;
  void shutdown() override;

  struct Engine;  // miniaudio state, kept out of this header

 private:
  std::unique_ptr<Engine> engine_;
};

// The beep, sounded through the same output; silent when it cannot start.
class AudioBeeper final : public Beeper {
 public:
  explicit AudioBeeper(MiniaudioAudio& audio) : audio_(audio) {}
  void beep(int hz, int ms) override;

 private:
  MiniaudioAudio& audio_;
};

}  // namespace morsello::platform::linux_backend
