#include "dat/surface_classify.hpp"

#include <algorithm>
#include <math.h>  // fmodf

namespace dat {
namespace {

// byte / 255.0 for every byte, each entry the correctly rounded quotient of that division.
constexpr std::array<double, 256> kUnit = [] {
  std::array<double, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = i / 255.0;
  return t;
}();

// From this many pixels on, the second pass looks its terms up instead of computing them.
constexpr std::uint64_t kTabulateFrom = 1024;

double luma(double r, double g, double b) { return (r * 0.299 + g * 0.587) + b * 0.114; }

void hue_and_saturation(SurfaceStats& s) {
  constexpr float kEpsilon = 1.1920929e-7f;  // 2^-23
  const float r = s.mean_rgb[0];
  const float g = s.mean_rgb[1];
  const float b = s.mean_rgb[2];
  const float cmax = std::max({r, g, b});
  if (cmax <= kEpsilon) return;
  const float delta = cmax - std::min({r, g, b});
  if (delta <= kEpsilon) return;
  float h;
  if (cmax == r) {
    h = fmodf((g - b) / delta, 6.0f);  // keeps the sign of the dividend
  } else if (cmax == g) {
    h = (b - r) / delta + 2.0f;
  } else {
    h = (r - g) / delta + 4.0f;
  }
  s.saturation = delta / cmax;
  float hue = h * 60.0f;
  if (hue < 0.0f) hue += 360.0f;
  s.dominant_hue = hue;
}

}  // namespace

std::string_view category_name(MaterialCategory category) {
  switch (category) {
    case MaterialCategory::Stone: return "Stone";
    case MaterialCategory::Wood: return "Wood";
    case MaterialCategory::Metal: return "Metal";
    case MaterialCategory::Sand: return "Sand";
    case MaterialCategory::Lava: return "Lava";
    case MaterialCategory::Water: return "Water";
    case MaterialCategory::Foliage: return "Foliage";
    case MaterialCategory::Cloth: return "Cloth";
    case MaterialCategory::Dirt: return "Dirt";
    case MaterialCategory::Snow: return "Snow";
    case MaterialCategory::Brick: return "Brick";
    case MaterialCategory::Tile: return "Tile";
    case MaterialCategory::Generic: return "Generic";
  }
  return "Generic";
}

SurfaceStats compute_stats(std::span<const std::uint8_t> rgba, std::uint32_t width,
                           std::uint32_t height) {
  const std::uint64_t n = std::uint64_t{width} * height;
  if (n == 0 || n >= (std::uint64_t{1} << 62) || rgba.size() / 4 < n) return {};
  const std::uint8_t* px = rgba.data();

  // One accumulator per quantity, added strictly in buffer order: the sums are part of the
  // output and must not depend on how a compiler could regroup them.
  double sum_r = 0, sum_g = 0, sum_b = 0, sum_y = 0, sum_yy = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    const double r = kUnit[px[4 * i]];
    const double g = kUnit[px[4 * i + 1]];
    const double b = kUnit[px[4 * i + 2]];
    const double y = luma(r, g, b);
    sum_r += r;
    sum_g += g;
    sum_b += b;
    sum_y += y;
    sum_yy += y * y;
  }
  const double count = static_cast<double>(n);
  const double mean_r = sum_r / count;
  const double mean_g = sum_g / count;
  const double mean_b = sum_b / count;
  const double mean_y = sum_y / count;
  double variance = sum_yy / count - mean_y * mean_y;
  if (variance < 0) variance = 0;

  // Second pass. A pixel's squared deviation depends only on its byte, so for images larger
  // than the tables each channel's 256 possible terms are computed once, by the same
  // operations; the terms and the order of their summation do not change.
  double dev_r = 0, dev_g = 0, dev_b = 0;
  if (n >= kTabulateFrom) {
    std::array<double, 256> sq_r, sq_g, sq_b;
    for (int v = 0; v < 256; ++v) {
      const double dr = kUnit[v] - mean_r;
      const double dg = kUnit[v] - mean_g;
      const double db = kUnit[v] - mean_b;
      sq_r[v] = dr * dr;
      sq_g[v] = dg * dg;
      sq_b[v] = db * db;
    }
    for (std::uint64_t i = 0; i < n; ++i) {
      dev_r += sq_r[px[4 * i]];
      dev_g += sq_g[px[4 * i + 1]];
      dev_b += sq_b[px[4 * i + 2]];
    }
  } else {
    for (std::uint64_t i = 0; i < n; ++i) {
      const double dr = kUnit[px[4 * i]] - mean_r;
      const double dg = kUnit[px[4 * i + 1]] - mean_g;
      const double db = kUnit[px[4 * i + 2]] - mean_b;
      dev_r += dr * dr;
      dev_g += dg * dg;
      dev_b += db * db;
    }
  }

  SurfaceStats s;
  s.mean_rgb = {static_cast<float>(mean_r), static_cast<float>(mean_g),
                static_cast<float>(mean_b)};
  s.std_dev = {static_cast<float>(sqrt(dev_r / count)),
               static_cast<float>(sqrt(dev_g / count)),
               static_cast<float>(sqrt(dev_b / count))};
  s.luminance = static_cast<float>(mean_y);
  s.variance = static_cast<float>(variance);
  hue_and_saturation(s);
  return s;
}

MaterialCategory classify(const SurfaceStats& s, std::uint32_t surface_type) {
  // Every threshold and product is single precision: the boundaries are those of the floats.
  const float r = s.mean_rgb[0];
  const float g = s.mean_rgb[1];
  const float b = s.mean_rgb[2];
  const float l = s.luminance;
  const float v = s.variance;
  const float h = s.dominant_hue;
  const float sat = s.saturation;
  const bool lava_flag = (surface_type & 0x40) != 0;
  const bool water_flag = (surface_type & 0x10) != 0;
  const bool foliage_flag = (surface_type & 0x04) != 0;
  const auto wood_or_dirt = [l] {
    return l < 0.35f ? MaterialCategory::Wood : MaterialCategory::Dirt;
  };

  if (lava_flag && r > 0.4f && r > 1.2f * g && !water_flag && r > 1.5f * b && v < 0.05f) {
    return MaterialCategory::Lava;
  }
  if (b > 0.2f && b > g && b > r && water_flag) return MaterialCategory::Water;
  if (g > b && g > r && foliage_flag && sat > 0.15f) return MaterialCategory::Foliage;
  if (g > r && g > b && sat > 0.3f) return MaterialCategory::Foliage;
  if (sat < 0.12f && l > 0.78f && v < 0.02f) return MaterialCategory::Snow;
  if (v < 0.06f && l >= 0.55f && sat >= 0.2f && sat <= 0.5f && h >= 30.0f && h <= 60.0f) {
    return MaterialCategory::Sand;
  }
  if (r > g * 1.4f && r > b * 1.4f && h >= 5.0f && h <= 50.0f) return wood_or_dirt();
  if (h >= 15.0f && h <= 55.0f && v < 0.13f && sat >= 0.1f && sat <= 0.65f && l < 0.55f) {
    return wood_or_dirt();
  }
  if (sat < 0.12f && l > 0.45f && v < 0.025f) return MaterialCategory::Metal;
  if (l >= 0.1f && l <= 0.65f && sat < 0.2f && v < 0.04f) return MaterialCategory::Stone;
  if (v >= 0.025f && sat < 0.25f && l >= 0.1f) return MaterialCategory::Stone;
  return MaterialCategory::Generic;
}

}  // namespace dat
