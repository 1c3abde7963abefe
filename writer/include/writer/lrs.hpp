#pragma once
// LRS compression: the mirror image of dat::decompress_lrs.

#include <cstdint>
#include <span>
#include <vector>

namespace writer {

// A 4-byte length, then groups of a flag byte and up to eight tokens: literals and
// back-references (distance 1..4095, count 2..17) found through a hash chain over the last
// 4095 bytes. dat::decompress_lrs gives the input back exactly.
std::vector<std::uint8_t> compress_lrs(std::span<const std::uint8_t> input);

}  // namespace writer
