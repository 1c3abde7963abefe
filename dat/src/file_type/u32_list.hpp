#pragma once
// The i32-counted u32 list shared by the texture list and the palette.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dat/cursor.hpp"

namespace dat {

// Reads an i32 count, then that many u32 values. A negative count cannot come from a
// well-formed record and fails like data that ends early. The list grows only as far as the
// remaining bytes can hold, so a corrupt count costs no memory.
inline ReadResult<std::vector<std::uint32_t>> read_counted_u32_list(RecordCursor& cur) {
  DAT_TRY(count, cur.read_i32());
  if (count < 0) return std::unexpected(ReadError::end_of_data());
  std::vector<std::uint32_t> out;
  out.reserve(std::min<std::uint64_t>(static_cast<std::uint64_t>(count), cur.remaining() / 4));
  for (std::int32_t i = 0; i < count; ++i) {
    DAT_TRY(v, cur.read_u32());
    out.push_back(v);
  }
  return out;
}

}  // namespace dat
