#pragma once
// SurfaceTexture: a texture list, naming one or more Texture records.
//
// Layout (little-endian, no padding):
//   0   id             u32, the record's own file id
//   4   unknown_int    u32
//   8   unknown_byte   u8
//   9   count          i32 (unaligned)
//   13  textures       count × u32, file ids of Texture records

#include <cstdint>
#include <span>
#include <vector>

#include "dat/cursor.hpp"

namespace dat {

struct SurfaceTexture {
  std::uint32_t id = 0;
  std::uint32_t unknown_int = 0;
  std::uint8_t unknown_byte = 0;
  std::vector<std::uint32_t> textures;

  // A negative count fails the read of 'textures' like data that ends early.
  static ReadResult<SurfaceTexture> unpack(std::span<const std::uint8_t> bytes);
};

}  // namespace dat
