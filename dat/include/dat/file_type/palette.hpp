#pragma once
// Palette: the colours of an indexed texture.
//
// Layout (little-endian):
//   0   id       u32, the record's own file id
//   4   count    i32
//   8   colors   count × u32, each 0xAARRGGBB (bytes on disk: blue, green, red, alpha)

#include <cstdint>
#include <span>
#include <vector>

#include "dat/cursor.hpp"

namespace dat {

struct Palette {
  std::uint32_t id = 0;
  std::vector<std::uint32_t> colors;

  // A negative count fails the read of 'colors' like data that ends early.
  static ReadResult<Palette> unpack(std::span<const std::uint8_t> bytes);
};

}  // namespace dat
