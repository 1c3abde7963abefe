#pragma once
// What the sample world is made to contain: every surface with the category it is built for,
// how it is stored, and the few that are broken on purpose.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "dat/surface_classify.hpp"
#include "texture_build.hpp"

namespace sample {

inline constexpr std::uint16_t kLandblock = 0xA9B4;
// A neighbouring landblock whose surfaces must not show up in an audit of kLandblock.
inline constexpr std::uint16_t kNeighbour = 0xA9B5;

enum class Expect : std::uint8_t {
  Decode,  // found on the landblock and decoded
  Fail,    // found on the landblock, fails to decode on purpose
  Absent,  // only on the neighbouring landblock: never found
};

enum class Breakage : std::uint8_t {
  None,
  MissingPalette,          // the palette the texture names is not in the archive
  UnsupportedFormat,       // a pixel format the audit cannot convert
  EmptyTextureList,        // the surface's texture list names no texture
  PaletteIndexOutOfRange,  // the palette has fewer colours than the pixels index
};

struct SurfaceRecipe {
  std::uint32_t id = 0;
  std::string_view description;
  Expect expect = Expect::Decode;
  dat::MaterialCategory category = dat::MaterialCategory::Generic;
  // The classifier rule this surface is built to reach (1 to 12), when it matters which:
  // Lava (1) needs flag 0x40, Water (2) flag 0x10, Foliage by 3 needs flag 0x04 where 4
  // does not, Stone by 10 or by 11. 0 when the category alone is the point.
  int rule = 0;
  std::uint32_t surface_type = 0;
  std::optional<TextureRequest> texture;  // absent for a solid surface
  std::uint32_t colour = 0;               // 0xAARRGGBB of a solid surface
  Breakage breakage = Breakage::None;
  bool compress = false;     // store the texture (or the solid surface) LRS-compressed
  int smaller_textures = 0;  // extra, smaller entries ahead of it in the texture list
};

const std::vector<SurfaceRecipe>& sample_surfaces();

std::string_view expect_name(Expect expect);
std::string_view breakage_name(Breakage breakage);

}  // namespace sample
