// Colour statistics (to the float's bit pattern) and the classifier's rules at their boundaries.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "dat/surface_classify.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using dat::MaterialCategory;
using M = MaterialCategory;

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

#define EXPECT_SAME_FLOAT(actual, expected) \
  EXPECT_EQ(bits(actual), bits(expected)) << #actual << " = " << (actual) << ", expected " << (expected)

void expect_same(const dat::SurfaceStats& a, const dat::SurfaceStats& b) {
  for (int c = 0; c < 3; ++c) {
    EXPECT_SAME_FLOAT(a.mean_rgb[c], b.mean_rgb[c]);
    EXPECT_SAME_FLOAT(a.std_dev[c], b.std_dev[c]);
  }
  EXPECT_SAME_FLOAT(a.luminance, b.luminance);
  EXPECT_SAME_FLOAT(a.variance, b.variance);
  EXPECT_SAME_FLOAT(a.dominant_hue, b.dominant_hue);
  EXPECT_SAME_FLOAT(a.saturation, b.saturation);
}

// The statistics worked out independently in long double, narrowed to float at the end.
struct LongDoubleStats {
  float mean[3], std_dev[3], luminance, variance;
};

LongDoubleStats long_double_stats(const Bytes& rgba) {
  const std::size_t n = rgba.size() / 4;
  long double sum[3] = {}, sum_y = 0, sum_yy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    long double c[3];
    for (int k = 0; k < 3; ++k) c[k] = rgba[4 * i + k] / 255.0L;
    const long double y = c[0] * 0.299L + c[1] * 0.587L + c[2] * 0.114L;
    for (int k = 0; k < 3; ++k) sum[k] += c[k];
    sum_y += y;
    sum_yy += y * y;
  }
  LongDoubleStats s{};
  for (int k = 0; k < 3; ++k) {
    const long double mean = sum[k] / n;
    long double dev = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const long double d = rgba[4 * i + k] / 255.0L - mean;
      dev += d * d;
    }
    s.mean[k] = static_cast<float>(mean);
    s.std_dev[k] = static_cast<float>(std::sqrt(dev / n));
  }
  const long double mean_y = sum_y / n;
  s.luminance = static_cast<float>(mean_y);
  s.variance = static_cast<float>(std::max(0.0L, sum_yy / n - mean_y * mean_y));
  return s;
}

// Hue and saturation of the float means, each float operation done as a double operation
// rounded to float: for + - * / that is exactly the float result (53 >= 2 * 24 + 2 bits).
std::pair<float, float> emulated_hue_saturation(const float m[3]) {
  const auto f = [](double x) { return static_cast<float>(x); };
  const double r = m[0], g = m[1], b = m[2];
  const float cmax = std::max({m[0], m[1], m[2]});
  const float cmin = std::min({m[0], m[1], m[2]});
  if (cmax <= 0x1p-23f) return {0, 0};
  const float delta = f(double{cmax} - cmin);
  if (delta <= 0x1p-23f) return {0, 0};
  float h;
  if (cmax == m[0]) {
    h = f(std::fmod(double{f((g - b) / delta)}, 6.0));  // fmod is exact
  } else if (cmax == m[1]) {
    h = f(double{f((b - r) / delta)} + 2.0);
  } else {
    h = f(double{f((r - g) / delta)} + 4.0);
  }
  float hue = f(double{h} * 60.0);
  if (hue < 0) hue = f(double{hue} + 360.0);
  return {hue, f(double{delta} / cmax)};
}

TEST(ColourStats, ExamplesToTheBit) {
  // hue and saturation: near the exact ratios of the mean colour; where the value is stated in
  // full (exact = true), the float must be that value's float.
  struct Case {
    Bytes rgba;
    std::uint32_t w, h, flags;
    double hue, saturation;
    bool exact;
    M category;
  };
  const Case cases[] = {
      {{255, 255, 255, 255}, 1, 1, 0, 0, 0, true, M::Snow},
      {{128, 128, 128, 255}, 1, 1, 0, 0, 0, true, M::Metal},
      {{200, 40, 30, 255}, 1, 1, 0x40, 3.529412, 0.85, false, M::Lava},
      {{200, 40, 30, 255}, 1, 1, 0x50, 3.529412, 0.85, false, M::Generic},
      {{200, 40, 30, 255}, 1, 1, 0, 3.529412, 0.85, false, M::Generic},
      {{30, 60, 160, 255}, 1, 1, 0x10, 240 - 60 * 30 / 130.0, 130 / 160.0, false, M::Water},
      {{30, 60, 160, 255}, 1, 1, 0, 240 - 60 * 30 / 130.0, 130 / 160.0, false, M::Generic},
      {{40, 140, 50, 255}, 1, 1, 0, 125.99999, 100 / 140.0, false, M::Foliage},
      {{200, 170, 110, 255}, 1, 1, 0, 40, 90 / 200.0, false, M::Sand},
      {{110, 70, 40, 255}, 1, 1, 0, 60 * 30 / 70.0, 70 / 110.0, false, M::Wood},
      {{170, 120, 80, 255}, 1, 1, 0, 60 * 40 / 90.0, 90 / 170.0, false, M::Dirt},
      {{0, 0, 0, 255, 255, 255, 255, 255}, 2, 1, 0, 0, 0, true, M::Stone},
      {{255, 255, 0, 255}, 1, 1, 0, 60, 1, true, M::Generic},
      {{0, 0, 0, 255}, 1, 1, 0, 0, 0, true, M::Generic},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.rgba[0]} << "," << int{c.rgba[1]} << "," << int{c.rgba[2]}
                                    << " flags " << c.flags);
    const dat::SurfaceStats s = dat::compute_stats(c.rgba, c.w, c.h);
    const LongDoubleStats e = long_double_stats(c.rgba);
    for (int k = 0; k < 3; ++k) {
      EXPECT_SAME_FLOAT(s.mean_rgb[k], e.mean[k]);
      EXPECT_SAME_FLOAT(s.std_dev[k], e.std_dev[k]);
    }
    EXPECT_SAME_FLOAT(s.luminance, e.luminance);
    EXPECT_SAME_FLOAT(s.variance, e.variance);
    const auto [hue, saturation] = emulated_hue_saturation(e.mean);
    EXPECT_SAME_FLOAT(s.dominant_hue, hue);
    EXPECT_SAME_FLOAT(s.saturation, saturation);
    EXPECT_NEAR(s.dominant_hue, c.hue, 1e-4 * std::max(1.0, c.hue));
    EXPECT_NEAR(s.saturation, c.saturation, 1e-6);
    if (c.exact) {
      EXPECT_SAME_FLOAT(s.dominant_hue, static_cast<float>(c.hue));
      EXPECT_SAME_FLOAT(s.saturation, static_cast<float>(c.saturation));
    }
    EXPECT_EQ(dat::classify(s, c.flags), c.category);
  }

  // Single-precision hue: computed in double and narrowed at the end it would be 126.
  EXPECT_SAME_FLOAT(dat::compute_stats(Bytes{40, 140, 50, 255}, 1, 1).dominant_hue, 125.99999f);
  EXPECT_SAME_FLOAT(dat::compute_stats(Bytes{200, 170, 110, 255}, 1, 1).dominant_hue, 40.0f);
  // Shown rounded as 3.529412; the single-precision steps give the float above it.
  const auto lava_stats = dat::compute_stats(Bytes{200, 40, 30, 255}, 1, 1);
  EXPECT_EQ(bits(lava_stats.dominant_hue), 0x4061E1E4u);
  EXPECT_SAME_FLOAT(lava_stats.saturation, 0.85f);

  // Values the examples state outright.
  const auto grey = dat::compute_stats(Bytes{128, 128, 128, 255}, 1, 1);
  EXPECT_SAME_FLOAT(grey.mean_rgb[0], 0.5019608f);
  EXPECT_SAME_FLOAT(grey.luminance, 0.5019608f);
  const auto lava = dat::compute_stats(Bytes{200, 40, 30, 255}, 1, 1);
  EXPECT_SAME_FLOAT(lava.luminance, 0.34f);
  const auto two = dat::compute_stats(Bytes{0, 0, 0, 255, 255, 255, 255, 255}, 2, 1);
  EXPECT_SAME_FLOAT(two.std_dev[1], 0.5f);
  EXPECT_SAME_FLOAT(two.variance, 0.25f);
  const auto yellow = dat::compute_stats(Bytes{255, 255, 0, 255}, 1, 1);
  EXPECT_SAME_FLOAT(yellow.luminance, 0.886f);
}

TEST(ColourStats, LargerImageMatchesLongDoubleAndIgnoresAlpha) {
  const std::uint32_t w = 37, h = 23;
  Bytes rgba(std::size_t{w} * h * 4);
  std::uint32_t seed = 7;
  for (auto& v : rgba) v = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  const dat::SurfaceStats s = dat::compute_stats(rgba, w, h);
  const LongDoubleStats e = long_double_stats(rgba);
  for (int k = 0; k < 3; ++k) {
    EXPECT_SAME_FLOAT(s.mean_rgb[k], e.mean[k]);
    EXPECT_SAME_FLOAT(s.std_dev[k], e.std_dev[k]);
  }
  EXPECT_SAME_FLOAT(s.luminance, e.luminance);
  EXPECT_SAME_FLOAT(s.variance, e.variance);

  Bytes clear = rgba;
  for (std::size_t i = 3; i < clear.size(); i += 4) clear[i] = 0;
  clear.insert(clear.end(), {9, 9, 9, 9});  // bytes beyond 4n are ignored
  expect_same(dat::compute_stats(clear, w, h), s);
}

// The statistics evaluated directly from their definition: sequential double sums in buffer
// order, byte / 255.0, the two passes as written.
dat::SurfaceStats direct_stats(const Bytes& rgba, std::uint64_t n) {
  double sr = 0, sg = 0, sb = 0, sy = 0, syy = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    const double r = rgba[4 * i] / 255.0, g = rgba[4 * i + 1] / 255.0, b = rgba[4 * i + 2] / 255.0;
    const double y = (r * 0.299 + g * 0.587) + b * 0.114;
    sr += r;
    sg += g;
    sb += b;
    sy += y;
    syy += y * y;
  }
  const double c = static_cast<double>(n);
  const double mr = sr / c, mg = sg / c, mb = sb / c, my = sy / c;
  double var = syy / c - my * my;
  if (var < 0) var = 0;
  double dr = 0, dg = 0, db = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    const double a = rgba[4 * i] / 255.0 - mr, b = rgba[4 * i + 1] / 255.0 - mg,
                 d = rgba[4 * i + 2] / 255.0 - mb;
    dr += a * a;
    dg += b * b;
    db += d * d;
  }
  dat::SurfaceStats s;
  s.mean_rgb = {static_cast<float>(mr), static_cast<float>(mg), static_cast<float>(mb)};
  s.std_dev = {static_cast<float>(std::sqrt(dr / c)), static_cast<float>(std::sqrt(dg / c)),
               static_cast<float>(std::sqrt(db / c))};
  s.luminance = static_cast<float>(my);
  s.variance = static_cast<float>(var);
  return s;
}

TEST(ColourStats, EverySizeMatchesTheDirectSumsToTheBit) {
  // Sizes on both sides of the point where the second pass switches to looked-up terms,
  // with pixel values that make the sums long and uneven.
  const std::pair<std::uint32_t, std::uint32_t> sizes[] = {{31, 33}, {32, 32}, {1, 1025}, {97, 61}, {256, 256}};
  std::uint32_t seed = 99;
  for (const auto& [w, h] : sizes) {
    Bytes rgba(std::size_t{w} * h * 4);
    for (auto& v : rgba) v = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    for (std::size_t i = 0; i < rgba.size(); i += 4 * 7) rgba[i] = 255;  // skew red
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    const dat::SurfaceStats got = dat::compute_stats(rgba, w, h);
    const dat::SurfaceStats want = direct_stats(rgba, std::uint64_t{w} * h);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(bits(got.mean_rgb[k]), bits(want.mean_rgb[k]));
      EXPECT_EQ(bits(got.std_dev[k]), bits(want.std_dev[k]));
    }
    EXPECT_EQ(bits(got.luminance), bits(want.luminance));
    EXPECT_EQ(bits(got.variance), bits(want.variance));
  }
}

TEST(ColourStats, NoPixelsOrShortBufferGiveZero) {
  const dat::SurfaceStats zero{};
  const Bytes px{200, 40, 30, 255, 10, 20, 30, 40};
  expect_same(dat::compute_stats(px, 0, 5), zero);
  expect_same(dat::compute_stats(px, 5, 0), zero);
  expect_same(dat::compute_stats(px, 3, 1), zero);  // needs 12 bytes
  expect_same(dat::compute_stats(px, 0xFFFFFFFF, 0xFFFFFFFF), zero);
  EXPECT_EQ(dat::classify(zero, 0), M::Generic);
}

TEST(MaterialCategory, NamesInOrder) {
  const char* names[] = {"Stone", "Wood", "Metal", "Sand", "Lava", "Water", "Foliage",
                         "Cloth", "Dirt", "Snow", "Brick", "Tile", "Generic"};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(dat::category_name(static_cast<M>(i)), names[i]);
}

float up(float f) { return std::nextafter(f, INFINITY); }
float down(float f) { return std::nextafter(f, -INFINITY); }

dat::SurfaceStats st(float r, float g, float b, float l, float v, float h, float s) {
  dat::SurfaceStats out;
  out.mean_rgb = {r, g, b};
  out.luminance = l;
  out.variance = v;
  out.dominant_hue = h;
  out.saturation = s;
  return out;
}

TEST(Classifier, RuleBoundaries) {
  // Each threshold is the float nearest its decimal and each product is a float product, so a
  // value equal to one of them sits exactly on the boundary; a double comparison would not.
  struct Case {
    const char* what;
    dat::SurfaceStats s;
    std::uint32_t flags;
    M expected;
  };
  // The fall-through case for most rows: hue 0 and saturation 0.8 match nothing after rule 4.
  const Case cases[] = {
      {"lava", st(0.5f, 0.2f, 0.1f, 0.3f, 0, 0, 0.8f), 0x40, M::Lava},
      {"lava needs 0x40", st(0.5f, 0.2f, 0.1f, 0.3f, 0, 0, 0.8f), 0x00, M::Generic},
      {"lava excluded by 0x10", st(0.5f, 0.2f, 0.1f, 0.3f, 0, 0, 0.8f), 0x50, M::Generic},
      {"R = 0.4", st(0.4f, 0.1f, 0.1f, 0.3f, 0, 0, 0.8f), 0x40, M::Generic},
      {"R just above 0.4", st(up(0.4f), 0.1f, 0.1f, 0.3f, 0, 0, 0.8f), 0x40, M::Lava},
      {"R = 1.2 G", st(1.2f * 0.5f, 0.5f, 0.1f, 0.3f, 0, 0, 0.8f), 0x40, M::Generic},
      {"R just above 1.2 G", st(up(1.2f * 0.5f), 0.5f, 0.1f, 0.3f, 0, 0, 0.8f), 0x40, M::Lava},
      {"R = 1.5 B", st(1.5f * 0.4f, 0.1f, 0.4f, 0.3f, 0, 0, 0.8f), 0x40, M::Generic},
      {"R just above 1.5 B", st(up(1.5f * 0.4f), 0.1f, 0.4f, 0.3f, 0, 0, 0.8f), 0x40, M::Lava},
      {"V = 0.05", st(0.5f, 0.2f, 0.1f, 0.3f, 0.05f, 0, 0.8f), 0x40, M::Generic},
      {"V just below 0.05", st(0.5f, 0.2f, 0.1f, 0.3f, down(0.05f), 0, 0.8f), 0x40, M::Lava},

      {"water", st(0.1f, 0.1f, up(0.2f), 0.3f, 0, 0, 0.8f), 0x10, M::Water},
      {"B = 0.2", st(0.1f, 0.1f, 0.2f, 0.3f, 0, 0, 0.8f), 0x10, M::Generic},
      {"B = G", st(0.1f, 0.5f, 0.5f, 0.3f, 0, 0, 0.8f), 0x10, M::Generic},
      {"water needs 0x10", st(0.1f, 0.1f, 0.5f, 0.3f, 0, 0, 0.8f), 0x40, M::Generic},

      {"foliage flag, low saturation", st(0.2f, 0.5f, 0.2f, 0.3f, 0, 0, 0.2f), 0x04, M::Foliage},
      {"S = 0.15 with flag goes on to stone", st(0.2f, 0.5f, 0.2f, 0.3f, 0, 0, 0.15f), 0x04, M::Stone},
      {"S = 0.2 without flag", st(0.2f, 0.5f, 0.2f, 0.3f, 0, 0, 0.2f), 0x00, M::Generic},
      {"S = 0.3 without flag", st(0.2f, 0.5f, 0.2f, 0.3f, 0, 0, 0.3f), 0x00, M::Generic},
      {"S just above 0.3", st(0.2f, 0.5f, 0.2f, 0.3f, 0, 0, up(0.3f)), 0x00, M::Foliage},
      {"G = B", st(0.2f, 0.5f, 0.5f, 0.3f, 0, 0, 0.9f), 0x04, M::Generic},

      {"snow", st(0.9f, 0.9f, 0.9f, up(0.78f), down(0.02f), 0, down(0.12f)), 0, M::Snow},
      {"L = 0.78 falls to metal", st(0.9f, 0.9f, 0.9f, 0.78f, 0, 0, 0), 0, M::Metal},
      {"V = 0.02 falls to metal", st(0.9f, 0.9f, 0.9f, 0.9f, 0.02f, 0, 0), 0, M::Metal},
      {"S = 0.12", st(0.9f, 0.9f, 0.9f, 0.9f, 0, 0, 0.12f), 0, M::Generic},

      {"sand low corner", st(0.5f, 0.5f, 0.5f, 0.55f, down(0.06f), 30.0f, 0.2f), 0, M::Sand},
      {"sand high corner", st(0.5f, 0.5f, 0.5f, 0.55f, 0, 60.0f, 0.5f), 0, M::Sand},
      {"sand V = 0.06", st(0.5f, 0.5f, 0.5f, 0.55f, 0.06f, 40.0f, 0.3f), 0, M::Generic},
      {"sand hue above 60", st(0.5f, 0.5f, 0.5f, 0.55f, 0, up(60.0f), 0.3f), 0, M::Generic},
      {"sand S above 0.5", st(0.5f, 0.5f, 0.5f, 0.55f, 0, 40.0f, up(0.5f)), 0, M::Generic},
      {"L below 0.55 goes to rule 8", st(0.5f, 0.5f, 0.5f, down(0.55f), 0, 30.0f, 0.2f), 0, M::Dirt},

      {"R = 1.4 G", st(1.4f * 0.3f, 0.3f, 0.1f, 0.3f, 0, 10.0f, 0.8f), 0, M::Generic},
      {"wood by rule 7", st(up(1.4f * 0.3f), 0.3f, 0.1f, 0.3f, 0, 10.0f, 0.8f), 0, M::Wood},
      {"R = 1.4 B", st(1.4f * 0.3f, 0.1f, 0.3f, 0.3f, 0, 10.0f, 0.8f), 0, M::Generic},
      {"rule 7 hue 5", st(0.9f, 0.1f, 0.1f, 0.3f, 0, 5.0f, 0.8f), 0, M::Wood},
      {"rule 7 hue below 5", st(0.9f, 0.1f, 0.1f, 0.3f, 0, down(5.0f), 0.8f), 0, M::Generic},
      {"rule 7 hue 50, L = 0.35", st(0.9f, 0.1f, 0.1f, 0.35f, 0, 50.0f, 0.8f), 0, M::Dirt},
      {"rule 7 hue above 50", st(0.9f, 0.1f, 0.1f, 0.3f, 0, up(50.0f), 0.8f), 0, M::Generic},

      {"rule 8 wood", st(0.5f, 0.5f, 0.5f, down(0.35f), down(0.13f), 15.0f, 0.1f), 0, M::Wood},
      {"rule 8 dirt", st(0.5f, 0.5f, 0.5f, 0.35f, 0, 55.0f, 0.65f), 0, M::Dirt},
      {"rule 8 hue below 15", st(0.5f, 0.5f, 0.5f, 0.3f, 0, down(15.0f), 0.3f), 0, M::Generic},
      {"rule 8 V = 0.13", st(0.5f, 0.5f, 0.5f, 0.3f, 0.13f, 20.0f, 0.3f), 0, M::Generic},
      {"rule 8 S above 0.65", st(0.5f, 0.5f, 0.5f, 0.3f, 0, 20.0f, up(0.65f)), 0, M::Generic},
      {"rule 8 L = 0.55 goes on to metal", st(0.5f, 0.5f, 0.5f, 0.55f, 0, 20.0f, 0.1f), 0, M::Metal},

      {"metal", st(0.5f, 0.5f, 0.5f, up(0.45f), down(0.025f), 0, down(0.12f)), 0, M::Metal},
      {"L = 0.45 is stone", st(0.5f, 0.5f, 0.5f, 0.45f, 0, 0, 0), 0, M::Stone},
      {"metal V = 0.025 is stone", st(0.5f, 0.5f, 0.5f, 0.5f, 0.025f, 0, 0), 0, M::Stone},

      {"stone L = 0.1", st(0.1f, 0.1f, 0.1f, 0.1f, down(0.04f), 0, down(0.2f)), 0, M::Stone},
      {"stone L = 0.65", st(0.6f, 0.6f, 0.6f, 0.65f, 0, 0, 0.15f), 0, M::Stone},
      {"L above 0.65", st(0.6f, 0.6f, 0.6f, up(0.65f), 0.01f, 0, 0.15f), 0, M::Generic},
      {"L below 0.1", st(0.1f, 0.1f, 0.1f, down(0.1f), 0.01f, 0, 0.15f), 0, M::Generic},
      {"S = 0.2, low V", st(0.5f, 0.5f, 0.5f, 0.5f, 0.01f, 0, 0.2f), 0, M::Generic},

      {"rule 11 at V = 0.025", st(0.5f, 0.5f, 0.5f, 0.9f, 0.025f, 0, down(0.25f)), 0, M::Stone},
      {"rule 11 V just below", st(0.5f, 0.5f, 0.5f, 0.9f, down(0.025f), 0, 0.2f), 0, M::Generic},
      {"rule 11 S = 0.25", st(0.5f, 0.5f, 0.5f, 0.9f, 0.1f, 0, 0.25f), 0, M::Generic},
      {"rule 11 L = 0.1", st(0.5f, 0.5f, 0.5f, 0.1f, 0.1f, 0, 0.2f), 0, M::Stone},
      {"rule 11 L below 0.1", st(0.5f, 0.5f, 0.5f, down(0.1f), 0.1f, 0, 0.2f), 0, M::Generic},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dat::category_name(dat::classify(c.s, c.flags)), dat::category_name(c.expected))
        << c.what;
  }
}

}  // namespace
