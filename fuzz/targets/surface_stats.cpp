// compute_stats over arbitrary pixels and sizes, then classify with an arbitrary flag word.
//
// Input: width u32, height u32, surface_type u32, then the RGBA bytes.

#include <cmath>

#include "dat/surface_classify.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint32_t width = in.u32();
  const std::uint32_t height = in.u32();
  const std::uint32_t surface_type = in.u32();
  const auto rgba = in.rest();

  const dat::SurfaceStats s = dat::compute_stats(rgba, width, height);
  const std::uint64_t n = std::uint64_t{width} * height;
  const float fields[] = {s.mean_rgb[0], s.mean_rgb[1], s.mean_rgb[2], s.std_dev[0],
                          s.std_dev[1],  s.std_dev[2],  s.luminance,   s.variance,
                          s.dominant_hue, s.saturation};
  for (const float f : fields) FUZZ_CHECK(std::isfinite(f) && f >= 0.0f);
  if (n == 0 || rgba.size() / 4 < n) {
    for (const float f : fields) FUZZ_CHECK(f == 0.0f);
  } else {
    for (const float m : s.mean_rgb) FUZZ_CHECK(m <= 1.0f);
    FUZZ_CHECK(s.luminance <= 1.0f && s.saturation <= 1.0f && s.dominant_hue <= 360.0f);
  }

  const dat::MaterialCategory c = dat::classify(s, surface_type);
  // No rule produces these three.
  FUZZ_CHECK(c != dat::MaterialCategory::Cloth && c != dat::MaterialCategory::Brick &&
             c != dat::MaterialCategory::Tile);
  FUZZ_CHECK(!dat::category_name(c).empty());
  return 0;
}
