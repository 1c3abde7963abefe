#pragma once
// Surface: a material of the portal archive, either one solid colour or a reference to a
// texture list.
//
// Layout (little-endian):
//   0   surface_type   u32 flag word; bits 1 and 2 (mask 0x6) mean "textured"
//   4   texture_refs   TextureRefs (8 bytes)        when textured
//   4   color_value    u32, 0xAARRGGBB              when solid
//   12 or 8  translucency, luminosity, diffuse      4 raw bytes each

#include <cstdint>
#include <optional>
#include <span>

#include "dat/cursor.hpp"

namespace dat {

// The flag bits of `surface_type` that make a surface textured.
inline constexpr std::uint32_t kSurfaceTexturedMask = 0x6;

struct TextureRefs {
  std::uint32_t orig_texture_id = 0;  // file id of a SurfaceTexture
  std::uint32_t orig_palette_id = 0;  // stored, not used

  static ReadResult<TextureRefs> read(RecordCursor& cur);
};

struct Surface {
  std::uint32_t surface_type = 0;
  std::optional<TextureRefs> texture_refs;  // present exactly when textured
  std::optional<std::uint32_t> color_value;  // present exactly when solid
  // Stored as their raw bit patterns; nothing here interprets them.
  std::uint32_t translucency = 0;
  std::uint32_t luminosity = 0;
  std::uint32_t diffuse = 0;

  static ReadResult<Surface> unpack(std::span<const std::uint8_t> bytes);
};

}  // namespace dat
