#include "dat/file_type/surface_texture.hpp"

#include "u32_list.hpp"

namespace dat {

ReadResult<SurfaceTexture> SurfaceTexture::unpack(std::span<const std::uint8_t> bytes) {
  RecordCursor cur(bytes);
  SurfaceTexture st;
  DAT_TRY_SET(st.id, in_field(cur.read_u32(), "id", "SurfaceTexture"));
  DAT_TRY_SET(st.unknown_int, in_field(cur.read_u32(), "unknown_int", "SurfaceTexture"));
  DAT_TRY_SET(st.unknown_byte, in_field(cur.read_u8(), "unknown_byte", "SurfaceTexture"));
  DAT_TRY_SET(st.textures, in_field(read_counted_u32_list(cur), "textures", "SurfaceTexture"));
  return st;
}

}  // namespace dat
