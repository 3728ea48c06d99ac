#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace morsello::platform::sound {

// Sound output through miniaudio on the default output device: one voice, the
// looped side tone, switched on and off at exact output frames.
class MiniaudioAudio final : public Audio {
 public:
  MiniaudioAudio();
  ~MiniaudioAudio() override;
  MiniaudioAudio(const MiniaudioAudio&) = delete;
  MiniaudioAudio& operator=(const MiniaudioAudio&) = delete;

  bool start() override;
  std::unique_ptr<Sound> make_sound(std::span<const std::uint8_t> pcm, int sample_rate,
                                    int channels, int bits_per_sample) override;
  void shutdown() override;

  // The miniaudio backend in use ("PulseAudio", "ALSA", "Null", ...); empty
  // while the output is not started.
  std::string backend_name() const;
  // Plays one period of `samples` looped for exactly `ms` and returns once the
  // output has passed its end; at once when the output is not started.
  void play_for(std::vector<float> samples, int ms);

  struct Engine;  // miniaudio state, kept out of this header

 private:
  std::shared_ptr<Engine> engine_;  // shared with the sounds made from it
};

// The beep, sounded through the same output; silent when it cannot start.
class AudioBeeper final : public Beeper {
 public:
  // `before_wait` runs as the beep begins: the screen's chance to show what
  // changed just before it (a beep blocks like any wait).
  explicit AudioBeeper(MiniaudioAudio& audio, std::function<void()> before_wait = {})
      : audio_(audio), before_wait_(std::move(before_wait)) {}
  void beep(int hz, int ms) override;

 private:
  MiniaudioAudio& audio_;
  std::function<void()> before_wait_;
};

}  // namespace morsello::platform::sound
