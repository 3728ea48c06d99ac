#include "core/morse/tone_image.h"

#include <cmath>
#include <limits>
#include <new>

#include "core/numbers.h"

namespace morsello::morse {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kAmplitude = 6710880.0;  // about 80 % of 24-bit full scale
constexpr int kBitsPerSample = 24;
constexpr int kChannels = 1;

void put16(ToneImage& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(ToneImage& b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

void put_tag(ToneImage& b, std::size_t at, const char (&tag)[5]) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(tag[i]);
}

}  // namespace

std::optional<ToneImage> build_tone_image(std::int64_t sample_rate, std::int64_t frequency) {
  if (frequency <= 0 || sample_rate < 0) return std::nullopt;
  const std::int64_t n = sample_rate / frequency;
  const std::int64_t size = static_cast<std::int64_t>(kWaveHeaderSize) + 3 * n;
  if (size <= 0 || 36 + 3 * n > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;

  ToneImage b;
  try {
    b.assign(static_cast<std::size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // the keyed tone then skips its element
  }
  const std::uint32_t block_align = kChannels * ((kBitsPerSample + 7) / 8);
  put_tag(b, 0, "RIFF");
  put32(b, 4, static_cast<std::uint32_t>(36 + 3 * n));
  put_tag(b, 8, "WAVE");
  put_tag(b, 12, "fmt ");
  put32(b, 16, 16);
  put16(b, 20, 1);  // integer PCM
  put16(b, 22, kChannels);
  put32(b, 24, static_cast<std::uint32_t>(sample_rate));
  put32(b, 28, static_cast<std::uint32_t>(sample_rate * block_align));
  put16(b, 32, block_align);
  put16(b, 34, kBitsPerSample);
  put_tag(b, 36, "data");
  put32(b, 40, static_cast<std::uint32_t>(3 * n));

  const double step = n > 0 ? kTwoPi / static_cast<double>(n) : 0.0;
  double phase = 0.0;
  for (std::int64_t i = 0; i < n; ++i) {
    const auto v = static_cast<std::uint32_t>(static_cast<std::int64_t>(round_half_even(std::sin(phase) * kAmplitude)));
    const std::size_t at = kWaveHeaderSize + 3 * static_cast<std::size_t>(i);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    b[at + 2] = static_cast<std::uint8_t>(v >> 16);
    phase += step;  // accumulated, not i * step: the samples depend on it
  }
  return b;
}

}  // namespace morsello::morse
