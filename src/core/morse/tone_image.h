// The side tone's sound: one period of a sine as an in-memory RIFF/WAVE file,
// 24-bit mono PCM, built afresh for every keyed tone.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace morsello::morse {

inline constexpr std::int64_t kSampleRate = 48000;
inline constexpr std::size_t kWaveHeaderSize = 44;

using ToneImage = std::vector<std::uint8_t>;

// Empty when the image cannot be made (a frequency of 0 or less, or no memory).
// Above the sample rate the image holds a header and no samples.
std::optional<ToneImage> build_tone_image(std::int64_t sample_rate, std::int64_t frequency);

// The samples of an image (everything after the header).
inline std::span<const std::uint8_t> pcm_of(const ToneImage& image) {
  return std::span<const std::uint8_t>(image).subspan(kWaveHeaderSize);
}

}  // namespace morsello::morse
