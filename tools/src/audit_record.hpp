#pragma once
// One surface's audit row, one decoded surface, and the per-category counts.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tools {

struct SurfaceAudit {
  std::string did;       // "0x{:08X}"
  std::string category;  // the material category's name
  std::uint32_t surface_type = 0;
  std::array<float, 3> mean_rgb{};
  std::array<float, 3> std_dev{};
  float luminance = 0.0f;
  float variance = 0.0f;
  float dominant_hue = 0.0f;
  float saturation = 0.0f;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool solid = false;
};

struct Decoded {
  SurfaceAudit audit;
  std::vector<std::uint8_t> rgba;  // RGBA8, rows top to bottom (see `tile`)
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // When the run keeps only what its contact sheet needs (keep_for_sheet), the record's tile
  // of `tile_edge` x `tile_edge` RGB pixels, sampled from the image, which is then released.
  std::vector<std::uint8_t> tile;
  std::uint32_t tile_edge = 0;
};

// Ordered by byte comparison of the names.
using CategoryCounts = std::map<std::string, std::uint64_t>;

}  // namespace tools
