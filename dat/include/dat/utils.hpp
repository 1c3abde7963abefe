#pragma once
// Variable-length readers shared by the record formats, and the LRS decompressor.

#include <cstdint>
#include <span>
#include <vector>

#include "dat/cursor.hpp"

namespace dat {

// A 1-, 2- or 4-byte unsigned integer whose first byte says its length (0 .. 0x3FFFFFFF).
ReadResult<std::uint32_t> read_compressed_u32(RecordCursor& cur);

// A compressed count followed by that many u32 values. The list grows as values are read,
// so a corrupt count costs no more memory than the data holds.
ReadResult<std::vector<std::uint32_t>> read_smart_vec(RecordCursor& cur);

// Decodes an LRS-compressed file. Never fails: what has been produced when the data ends
// (or holds the end mark) is the result, at most the declared length.
std::vector<std::uint8_t> decompress_lrs(std::span<const std::uint8_t> input);

}  // namespace dat
