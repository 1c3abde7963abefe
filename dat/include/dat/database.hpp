#pragma once
// One opened DAT archive: its header, its directory loaded into a file map, and the
// read-only file through which every block chain is gathered.

#include <cstdint>
#include <filesystem>
#include <span>
#include <unordered_set>
#include <vector>

#include "dat/cursor.hpp"
#include "dat/error.hpp"
#include "dat/file_map.hpp"

namespace dat {

// The fixed header at byte 320 of the archive, 80 bytes on disk. Only `block_size` and
// `root_offset` are interpreted; the rest is kept as read.
struct DatHeader {
  static constexpr std::uint32_t kOffset = 320;
  static constexpr std::uint32_t kSize = 80;

  std::uint32_t magic = 0;
  std::uint32_t block_size = 0;  // one block, its 4-byte link included
  std::uint32_t file_size = 0;
  std::uint32_t dataset = 0;
  std::uint32_t subset = 0;
  std::uint32_t free_head = 0;
  std::uint32_t free_tail = 0;
  std::uint32_t free_count = 0;
  std::uint32_t root_offset = 0;  // first directory node; 0 means no directory
  std::uint32_t new_lru = 0;
  std::uint32_t old_lru = 0;
  std::uint32_t use_lru = 0;
  std::uint32_t master_map_id = 0;
  std::uint32_t engine_version = 0;
  std::uint32_t game_version = 0;
  std::vector<std::uint8_t> version_string;  // 16 raw bytes, not text
  std::uint32_t version_minor = 0;

  // Field by field, each failure naming its field.
  static ReadResult<DatHeader> read(RecordCursor& cur);

  friend bool operator==(const DatHeader&, const DatHeader&) = default;
};

// Layout of one directory node (read as a 1716-byte chain).
inline constexpr std::uint32_t kNodeSize = 1716;
inline constexpr std::uint32_t kNodeBranches = 62;
inline constexpr std::uint32_t kNodeEntrySlots = 61;
// Nodes deeper than this (the root is level 1) are refused, which also ends cycles.
inline constexpr unsigned kMaxDirectoryDepth = 64;

// Move-only: owns the read-only file descriptor and closes it when released. After open()
// nothing changes it; reads are positioned and leave the file position alone.
class DatDatabase {
 public:
  // Opens the file read-only, reads the header and walks the whole directory.
  static DatResult<DatDatabase> open(const std::filesystem::path& path);

  DatDatabase(DatDatabase&& other) noexcept;
  DatDatabase& operator=(DatDatabase&& other) noexcept;
  DatDatabase(const DatDatabase&) = delete;
  DatDatabase& operator=(const DatDatabase&) = delete;
  ~DatDatabase();

  DatHeader header;
  FileMap files;

  // Gathers `length` bytes from the block chain that starts at `offset`.
  DatResult<std::vector<std::uint8_t>> read_file_data(std::uint32_t offset,
                                                      std::uint32_t length) const;
  // The file's bytes by id, decompressed when its entry is flagged compressed.
  DatResult<std::vector<std::uint8_t>> get_file(std::uint32_t id) const;

  // Length of the archive file when it was opened.
  std::uint64_t file_length() const { return file_length_; }

 private:
  DatDatabase(int fd, std::uint64_t file_length, DatHeader header);

  // Gathers out.size() bytes of the chain that starts at `offset` into `out`.
  DatResult<void> gather_chain(std::uint32_t offset, std::span<std::uint8_t> out) const;
  // The chain's remaining blocks one at a time, from `block`, with `pos` bytes of `out`
  // already gathered.
  DatResult<void> gather_block_by_block(std::uint32_t block, std::size_t pos,
                                        std::span<std::uint8_t> out) const;

  // Pre-order walk from header.root_offset into `files`.
  DatResult<void> read_directory();
  // Reads the node at `offset` (at tree level `level`, the root being 1) and its subtree.
  // Stops early and sets `shared` when it meets an offset already in `seen`, for
  // read_directory to finish with the walk that handles shared nodes.
  DatResult<void> read_node(std::uint32_t offset, unsigned level,
                            std::unordered_set<std::uint32_t>& seen, bool& shared);

  int fd_ = -1;
  std::uint64_t file_length_ = 0;
};

}  // namespace dat
