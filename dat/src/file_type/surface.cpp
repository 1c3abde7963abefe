#include "dat/file_type/surface.hpp"

namespace dat {

ReadResult<TextureRefs> TextureRefs::read(RecordCursor& cur) {
  TextureRefs r;
  DAT_TRY_SET(r.orig_texture_id, in_field(cur.read_u32(), "orig_texture_id", "TextureRefs"));
  DAT_TRY_SET(r.orig_palette_id, in_field(cur.read_u32(), "orig_palette_id", "TextureRefs"));
  return r;
}

ReadResult<Surface> Surface::unpack(std::span<const std::uint8_t> bytes) {
  RecordCursor cur(bytes);
  Surface s;
  DAT_TRY_SET(s.surface_type, in_field(cur.read_u32(), "surface_type", "Surface"));
  if ((s.surface_type & kSurfaceTexturedMask) != 0) {
    DAT_TRY_SET(s.texture_refs, in_field(TextureRefs::read(cur), "texture_refs", "Surface"));
  } else {
    DAT_TRY_SET(s.color_value, in_field(cur.read_u32(), "color_value", "Surface"));
  }
  DAT_TRY_SET(s.translucency, in_field(cur.read_u32(), "translucency", "Surface"));
  DAT_TRY_SET(s.luminosity, in_field(cur.read_u32(), "luminosity", "Surface"));
  DAT_TRY_SET(s.diffuse, in_field(cur.read_u32(), "diffuse", "Surface"));
  return s;
}

}  // namespace dat
