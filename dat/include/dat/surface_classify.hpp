#pragma once
// Colour statistics of an RGBA8 image and the material classifier. Pure functions: no state,
// no I/O, no failure.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace dat {

struct SurfaceStats {
  std::array<float, 3> mean_rgb{};  // mean red, green, blue, each channel as byte / 255
  std::array<float, 3> std_dev{};   // population standard deviations, same scale
  float luminance = 0;              // mean per-pixel luminance
  float variance = 0;               // population variance of the per-pixel luminance
  float dominant_hue = 0;           // HSV hue of the mean colour, degrees
  float saturation = 0;             // HSV saturation of the mean colour
};

enum class MaterialCategory : std::uint8_t {
  Stone, Wood, Metal, Sand, Lava, Water, Foliage, Cloth, Dirt, Snow, Brick, Tile, Generic,
};

// The category's display name ("Stone", "Wood", ...).
std::string_view category_name(MaterialCategory category);

// Statistics of width × height pixels, four bytes each (alpha is never read). An image without
// pixels, or a buffer too short for its size, gives the all-zero record.
SurfaceStats compute_stats(std::span<const std::uint8_t> rgba, std::uint32_t width,
                           std::uint32_t height);

// The first of the fixed threshold rules that holds; only bits 0x04, 0x10 and 0x40 of
// `surface_type` take part.
MaterialCategory classify(const SurfaceStats& stats, std::uint32_t surface_type);

}  // namespace dat
