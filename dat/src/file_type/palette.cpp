#include "dat/file_type/palette.hpp"

#include "u32_list.hpp"

namespace dat {

ReadResult<Palette> Palette::unpack(std::span<const std::uint8_t> bytes) {
  RecordCursor cur(bytes);
  Palette p;
  DAT_TRY_SET(p.id, in_field(cur.read_u32(), "id", "Palette"));
  DAT_TRY_SET(p.colors, in_field(read_counted_u32_list(cur), "colors", "Palette"));
  return p;
}

}  // namespace dat
