#pragma once
// The low-level archive writer: a byte image in which header, block chains and directory
// nodes are placed exactly where a test wants them, damaged layouts included (loops,
// stray links, counts the slots cannot hold, sizes past the end of the file). Offsets are
// 32-bit, so an image must stay below 4 GiB.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "dat/database.hpp"

namespace writer {

// 80 bytes in file order. version_string is cut or zero-padded to 16 bytes.
std::vector<std::uint8_t> encode_header(const dat::DatHeader& header);

// One directory node as it is stored: 62 branch offsets, the entry count, 61 entry slots.
struct DirectoryNode {
  std::array<std::uint32_t, dat::kNodeBranches> branches{};  // 0 = no child
  std::vector<dat::DatFileEntry> entries;  // the first 61 fill the slots, the rest are dropped
  std::optional<std::uint32_t> entry_count;  // the stored count; entries.size() when unset
};

// Always exactly 1716 bytes.
std::vector<std::uint8_t> encode_node(const DirectoryNode& node);

// The payload one block carries, computed as the reader does (wrapping below 4 bytes).
std::uint32_t payload_size(std::uint32_t block_size);
// Blocks a chain of `length` bytes takes: one when a single payload holds it all (or when
// blocks carry no payload, since the last block supplies everything still missing).
std::size_t blocks_needed(std::uint32_t block_size, std::size_t length);

class ArchiveImage {
 public:
  // `header.block_size` is `block_size`; every other header field starts at 0.
  explicit ArchiveImage(std::uint32_t block_size = 1024);

  // Written as it is at offset 320 by bytes(), nothing recomputed.
  dat::DatHeader header;
  // When set, a chain's last block takes only 4 + the bytes it carries instead of a whole
  // block, which keeps archives of many small files small.
  bool trim_last_block = false;

  // Appends `size` zero bytes and returns their offset. The first reservation starts at the
  // first block boundary after the header.
  std::uint32_t reserve(std::size_t size);
  // Reserves `count` consecutive whole blocks (at least 4 bytes each); returns their offsets.
  std::vector<std::uint32_t> reserve_blocks(std::size_t count);

  // Overwrites bytes at any offset, growing the image as needed.
  void write_at(std::uint32_t offset, std::span<const std::uint8_t> bytes);
  void write_u32_at(std::uint32_t offset, std::uint32_t value);

  // Lays `data` over the blocks in order: each block links to the next (the last to 0) and
  // carries the next payload-sized slice; the last block carries everything still left.
  // Blocks past the end of the data carry nothing, so longer chains are fine.
  void write_chain(std::span<const std::uint32_t> blocks, std::span<const std::uint8_t> data);

  // Reserves a contiguous chain of `block_count` blocks (blocks_needed() when unset),
  // writes `data` over it, and returns its first offset.
  std::uint32_t add_chain(std::span<const std::uint8_t> data,
                          std::optional<std::size_t> block_count = std::nullopt);
  std::uint32_t add_node(const DirectoryNode& node);

  // Bytes a contiguous chain of `block_count` blocks carrying `length` bytes occupies.
  std::size_t chain_footprint(std::size_t length, std::size_t block_count) const;
  // Reserves capacity up front for an image expected to reach `size` bytes.
  void reserve_capacity(std::size_t size) { image_.reserve(size); }

  std::size_t size() const { return image_.size(); }
  // The image with the header written at offset 320.
  std::vector<std::uint8_t> bytes() const&;
  std::vector<std::uint8_t> bytes() &&;

 private:
  void write_header();
  std::vector<std::uint8_t> image_;
};

}  // namespace writer
