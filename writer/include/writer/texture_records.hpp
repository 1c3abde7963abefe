#pragma once
// Encoders of the surface, texture-list, texture and palette records: the mirror image of
// their readers in dat/file_type.

#include <cstdint>
#include <vector>

#include "dat/file_type/palette.hpp"
#include "dat/file_type/surface.hpp"
#include "dat/file_type/surface_texture.hpp"
#include "dat/file_type/texture.hpp"

namespace writer {

// A solid surface of `color_value` (0xAARRGGBB). `surface_type` should leave bits 1 and 2
// clear, or the reader will take the colour for texture references.
dat::Surface solid_surface(std::uint32_t color_value, std::uint32_t surface_type = 0x1);
// A textured surface drawing from the SurfaceTexture `surface_texture_id`. `surface_type`
// should have bit 1 or 2 set.
dat::Surface textured_surface(std::uint32_t surface_texture_id, std::uint32_t surface_type = 0x2,
                              std::uint32_t palette_id = 0);

// Writes surface_type, then texture_refs when present, else color_value (0 when both are
// absent), then translucency, luminosity and diffuse.
std::vector<std::uint8_t> encode_surface(const dat::Surface& surface);

std::vector<std::uint8_t> encode_surface_texture(const dat::SurfaceTexture& list);

// `length` is the size of source_data; default_palette_id is written whenever present,
// whatever the format (the reader reads it only for P8 and Index16).
std::vector<std::uint8_t> encode_texture(const dat::Texture& texture);

std::vector<std::uint8_t> encode_palette(const dat::Palette& palette);

}  // namespace writer
