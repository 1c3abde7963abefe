#include "dat/utils.hpp"

#include <algorithm>

namespace dat {

ReadResult<std::uint32_t> read_compressed_u32(RecordCursor& cur) {
  DAT_TRY(b0, cur.read_u8());
  if ((b0 & 0x80) == 0) return std::uint32_t{b0};
  DAT_TRY(b1, cur.read_u8());
  if ((b0 & 0x40) == 0) return (std::uint32_t{b0 & 0x3Fu} << 8) | b1;
  DAT_TRY(w, cur.read_u16());
  return (std::uint32_t{b0 & 0x3Fu} << 24) | (std::uint32_t{b1} << 16) | w;
}

ReadResult<std::vector<std::uint32_t>> read_smart_vec(RecordCursor& cur) {
  DAT_TRY(count, read_compressed_u32(cur));
  std::vector<std::uint32_t> out;
  // Reserve only what the remaining bytes could possibly hold.
  out.reserve(std::min<std::uint64_t>(count, cur.remaining() / 4));
  for (std::uint32_t i = 0; i < count; ++i) {
    DAT_TRY(v, cur.read_u32());
    out.push_back(v);
  }
  return out;
}

std::vector<std::uint8_t> decompress_lrs(std::span<const std::uint8_t> input) {
  const std::size_t n = input.size();
  if (n == 0) return {};
  if (n < 4) return std::vector<std::uint8_t>(input.begin(), input.end());

  const std::uint32_t total = std::uint32_t{input[0]} | (std::uint32_t{input[1]} << 8) |
                              (std::uint32_t{input[2]} << 16) | (std::uint32_t{input[3]} << 24);
  if (total == 0) return {};
  const std::span<const std::uint8_t> src = input.subspan(4);

  std::vector<std::uint8_t> out;
  // Every source byte yields at most 17 / 2 < 8.5 output bytes, so a hostile length never
  // reserves much more than the input can produce.
  out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(total, 8ull * n + 16)));
  if (src.empty()) return out;

  std::size_t i = 0;
  unsigned flags = 0;
  unsigned bit = 0;  // 0: no flag bits left
  for (;;) {
    if (bit == 0) {
      flags = src[i++];
      bit = 0x80;
    }
    if (flags & bit) {
      if (src.size() - i < 2) break;
      const unsigned lo = src[i];
      const unsigned hi = src[i + 1];
      const std::size_t distance = lo + 256u * (hi >> 4);
      if (distance == 0) break;
      i += 2;
      const unsigned count = (hi & 0x0Fu) + 2;
      if (out.empty()) {
        // Nothing to copy from yet: the reference cannot produce anything.
        break;
      }
      for (unsigned c = 0; c < count && out.size() < total; ++c) {
        const std::size_t p = out.size();
        out.push_back(out[p < distance ? 0 : p - distance]);
      }
      if (out.size() >= total) break;
    } else {
      if (i >= src.size()) break;  // a literal with no byte left to take
      out.push_back(src[i++]);
      if (out.size() >= total) break;
    }
    bit >>= 1;
    if (i >= src.size()) break;
  }
  return out;
}

}  // namespace dat
