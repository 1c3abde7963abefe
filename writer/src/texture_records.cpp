#include "writer/texture_records.hpp"

#include "writer/byte_writer.hpp"

namespace writer {

dat::Surface solid_surface(std::uint32_t color_value, std::uint32_t surface_type) {
  dat::Surface s;
  s.surface_type = surface_type;
  s.color_value = color_value;
  return s;
}

dat::Surface textured_surface(std::uint32_t surface_texture_id, std::uint32_t surface_type,
                              std::uint32_t palette_id) {
  dat::Surface s;
  s.surface_type = surface_type;
  s.texture_refs = dat::TextureRefs{surface_texture_id, palette_id};
  return s;
}

std::vector<std::uint8_t> encode_surface(const dat::Surface& surface) {
  ByteWriter w;
  w.u32(surface.surface_type);
  if (surface.texture_refs) {
    w.u32(surface.texture_refs->orig_texture_id).u32(surface.texture_refs->orig_palette_id);
  } else {
    w.u32(surface.color_value.value_or(0));
  }
  w.u32(surface.translucency).u32(surface.luminosity).u32(surface.diffuse);
  return w.take();
}

std::vector<std::uint8_t> encode_surface_texture(const dat::SurfaceTexture& list) {
  ByteWriter w;
  w.u32(list.id).u32(list.unknown_int).u8(list.unknown_byte);
  w.i32(static_cast<std::int32_t>(list.textures.size()));
  for (std::uint32_t id : list.textures) w.u32(id);
  return w.take();
}

std::vector<std::uint8_t> encode_texture(const dat::Texture& texture) {
  ByteWriter w;
  w.u32(texture.id).u32(texture.unknown).i32(texture.width).i32(texture.height);
  w.u32(texture.format_raw).i32(static_cast<std::int32_t>(texture.source_data.size()));
  w.bytes(texture.source_data);
  if (texture.default_palette_id) w.u32(*texture.default_palette_id);
  return w.take();
}

std::vector<std::uint8_t> encode_palette(const dat::Palette& palette) {
  ByteWriter w;
  w.u32(palette.id).i32(static_cast<std::int32_t>(palette.colors.size()));
  for (std::uint32_t c : palette.colors) w.u32(c);
  return w.take();
}

}  // namespace writer
