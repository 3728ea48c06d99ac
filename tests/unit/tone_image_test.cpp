#include "core/morse/tone_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace morsello::morse {
namespace {

std::int32_t sample(const ToneImage& img, std::size_t i) {
  const std::size_t at = kWaveHeaderSize + 3 * i;
  std::uint32_t v = img[at] | (img[at + 1] << 8) | (img[at + 2] << 16);
  if (v & 0x800000) v |= 0xFF000000u;  // sign-extend the 24-bit value
  return static_cast<std::int32_t>(v);
}

std::string hex(const ToneImage& img, std::size_t from, std::size_t n) {
  std::string out;
  char buf[4];
  for (std::size_t i = from; i < from + n; ++i) {
    std::snprintf(buf, sizeof buf, "%02x ", img[i]);
    out += buf;
  }
  out.pop_back();
  return out;
}

TEST(ToneImage, EightHundredHertzIsExactlyTheKnownBlock) {
  const auto img = build_tone_image(48000, 800);
  ASSERT_TRUE(img);
  ASSERT_EQ(img->size(), 224u);
  EXPECT_EQ(hex(*img, 0, 44),
            "52 49 46 46 d8 00 00 00 57 41 56 45 66 6d 74 20 10 00 00 00 01 00 01 00 80 bb 00 00 "
            "80 32 02 00 03 00 18 00 64 61 74 61 b4 00 00 00");
  EXPECT_EQ(hex(*img, 44, 6), "00 00 00 26 b4 0a");
  EXPECT_EQ(sample(*img, 0), 0);
  EXPECT_EQ(sample(*img, 1), 701478);
  EXPECT_EQ(sample(*img, 2), 1395270);
  EXPECT_EQ(sample(*img, 3), 2073776);
  EXPECT_EQ(sample(*img, 15), 6710880);
  EXPECT_EQ(sample(*img, 30), 0);
  EXPECT_EQ(sample(*img, 45), -6710880);
  EXPECT_EQ(pcm_of(*img).size(), 180u);
}

TEST(ToneImage, SizesAndPeaksFollowTheSamplesPerPeriod) {
  struct Case {
    std::int64_t hz;
    std::size_t size;
    std::int32_t peak;
  };
  const Case cases[] = {
      {700, 44 + 3 * 68, 6710880},  // N = 68, heard as 705.88 Hz
      {440, 44 + 3 * 109, 6710183},  // no sample on the crest
      {16001, 44 + 3 * 2, 0},        // N = 2: silent, all zero
      {48000, 44 + 3 * 1, 0},
      {48001, 44, 0},                // N = 0: a header and no samples
  };
  for (const auto& c : cases) {
    const auto img = build_tone_image(48000, c.hz);
    ASSERT_TRUE(img) << c.hz;
    EXPECT_EQ(img->size(), c.size) << c.hz;
    std::int32_t peak = 0;
    for (std::size_t i = 0; i < (img->size() - 44) / 3; ++i) peak = std::max(peak, sample(*img, i));
    EXPECT_EQ(peak, c.peak) << c.hz;
    EXPECT_EQ((*img)[40] | ((*img)[41] << 8), static_cast<int>(c.size - 44)) << c.hz;
  }
}

TEST(ToneImage, NoImageForZeroOrNegativeFrequencies) {
  EXPECT_FALSE(build_tone_image(48000, 0));
  EXPECT_FALSE(build_tone_image(48000, -800));
}

}  // namespace
}  // namespace morsello::morse
