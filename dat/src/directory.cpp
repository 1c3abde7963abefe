// The directory walk: every node's entries go into the file map before its children are
// read, so an id seen again later in pre-order replaces the earlier entry.

#include <array>

#include "dat/database.hpp"

namespace dat {

ReadResult<DatFileEntry> DatFileEntry::read(RecordCursor& cur) {
  DatFileEntry e;
  DAT_TRY_SET(e.bit_flags, in_field(cur.read_u32(), "bit_flags", "DatFileEntry"));
  DAT_TRY_SET(e.id, in_field(cur.read_u32(), "id", "DatFileEntry"));
  DAT_TRY_SET(e.offset, in_field(cur.read_u32(), "offset", "DatFileEntry"));
  DAT_TRY_SET(e.size, in_field(cur.read_u32(), "size", "DatFileEntry"));
  DAT_TRY_SET(e.timestamp, in_field(cur.read_u32(), "timestamp", "DatFileEntry"));
  DAT_TRY_SET(e.version, in_field(cur.read_u32(), "version", "DatFileEntry"));
  return e;
}

DatResult<void> DatDatabase::read_directory() { return read_node(header.root_offset, 1); }

DatResult<void> DatDatabase::read_node(std::uint32_t offset, unsigned level) {
  if (offset == 0) return {};
  if (level > kMaxDirectoryDepth) {
    return std::unexpected(DatError(DatError::Corruption{"directory deeper than 64 levels"}));
  }
  // One buffer per level, released when this subtree is done.
  DAT_TRY(node, read_file_data(offset, kNodeSize));
  RecordCursor cur(node);

  std::array<std::uint32_t, kNodeBranches> branches{};
  for (auto& branch : branches) {
    // The node is always 1716 bytes long, so these reads cannot fail.
    branch = *cur.read_u32();
  }
  const std::uint32_t count = *cur.read_u32();
  for (std::uint32_t i = 0; i < count; ++i) {
    // A count of 62 or more runs off the node's end at slot 61.
    DAT_TRY(entry, DatFileEntry::read(cur));
    files.insert_or_assign(entry.id, entry);
  }

  if (branches[0] == 0) return {};  // a leaf: the other branch offsets mean nothing
  const std::uint32_t last = count < kNodeBranches - 1 ? count : kNodeBranches - 1;
  for (std::uint32_t j = 0; j <= last; ++j) {
    if (branches[j] == 0) continue;
    if (auto child = read_node(branches[j], level + 1); !child) return child;
  }
  return {};
}

}  // namespace dat
