#pragma once
// The floors the library's figures are compared with: the least work that could produce the
// same result, measured in the same run.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace bench {

// How a floor gathers a block chain. TwoReads is the textbook pattern (a 4-byte read for each
// link, then one for its payload); Library issues exactly the reads the library issues.
enum class Gather { TwoReads, Library };

struct WalkResult {
  std::uint64_t entries = 0;  // entries walked (duplicates counted each time)
  std::uint64_t reads = 0;    // positioned read calls made
  bool ok = false;
};

// Opens the archive, reads its header and walks every directory node with the same
// positioned reads as opening does, only counting entries.
WalkResult floor_walk(const std::filesystem::path& path, Gather gather);
// The same walk, inserting every entry into an absl::flat_hash_map as it grows (later
// entries replace earlier ones); the map is released before returning, untimed by callers
// that pass `release_outside`.
WalkResult floor_walk_absl(const std::filesystem::path& path, Gather gather);

// memcpy of `out.size()` bytes from `in` (the conversions' floor).
void floor_memcpy(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// The statistics' floor: per pixel only the five sequential double additions of the first
// pass and the three of the second, each adding a table lookup. Returns the sums' total so
// the work cannot be dropped.
double floor_stats(std::span<const std::uint8_t> rgba, std::uint64_t pixels);

}  // namespace bench
