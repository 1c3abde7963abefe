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

namespace {

std::uint32_t load_le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

constexpr std::size_t kEntriesAt = 4 * kNodeBranches + 4;
constexpr std::size_t kEntrySize = 24;
static_assert(kEntriesAt + kEntrySize * kNodeEntrySlots == kNodeSize);

}  // namespace

DatResult<void> DatDatabase::read_node(std::uint32_t offset, unsigned level) {
  if (offset == 0) return {};
  if (level > kMaxDirectoryDepth) {
    return std::unexpected(DatError(DatError::Corruption{"directory deeper than 64 levels"}));
  }
  // One buffer per level, on the stack; released when this subtree is done.
  std::array<std::uint8_t, kNodeSize> node;
  if (auto gathered = gather_chain(offset, node); !gathered) return gathered;

  const std::uint32_t count = load_le32(node.data() + 4 * kNodeBranches);
  // The node always holds 61 whole slots, so those entries are read without checks; a count
  // of 62 or more runs off the node's end at slot 61, which the entry reader reports.
  const std::uint32_t whole = count < kNodeEntrySlots ? count : kNodeEntrySlots;
  for (std::uint32_t i = 0; i < whole; ++i) {
    const std::uint8_t* p = node.data() + kEntriesAt + kEntrySize * i;
    const DatFileEntry entry{load_le32(p), load_le32(p + 4), load_le32(p + 8),
                             load_le32(p + 12), load_le32(p + 16), load_le32(p + 20)};
    files.insert_or_assign(entry.id, entry);
  }
  if (count > kNodeEntrySlots) {
    RecordCursor cur(node);
    cur.skip(kNodeSize);
    DAT_TRY(entry, DatFileEntry::read(cur));
    files.insert_or_assign(entry.id, entry);  // not reached: the node has no 62nd slot
  }

  if (load_le32(node.data()) == 0) return {};  // a leaf: the other branch offsets mean nothing
  const std::uint32_t last = count < kNodeBranches - 1 ? count : kNodeBranches - 1;
  for (std::uint32_t j = 0; j <= last; ++j) {
    const std::uint32_t branch = load_le32(node.data() + 4 * j);
    if (branch == 0) continue;
    if (auto child = read_node(branch, level + 1); !child) return child;
  }
  return {};
}

}  // namespace dat
