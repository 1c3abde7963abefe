// The directory walk: every node's entries go into the file map before its children are
// read, so an id seen again later in pre-order replaces the earlier entry.
//
// A sound directory is a tree, and the walk reads each node once. A damaged one can name
// a node from several places; a walk that followed every path would read a shared subtree
// once per path, which doubles with each level of sharing (40 nodes can make 2^40 paths).
// So the walk notes the offsets it has read, and when one comes round again it starts over
// with a walk of the same outcome whose cost does not grow with the number of paths:
//   1. Decide success or failure. Whether a visit of a node fails depends only on its
//      offset and its level (the depth limit), so each (offset, level) is checked once;
//      the first failure met in pre-order is the walk's failure.
//   2. If nothing fails, the paths form no cycle. Walking them in exact reverse order
//      (children last to first, then the node's entries last to first) and keeping the
//      first entry seen for each id keeps what the forward walk keeps last; a node met
//      again in that order adds only ids already kept, so it is skipped.

#include <array>
#include <span>
#include <unordered_set>

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

namespace {

constexpr std::uint32_t kEntriesAt = 4 * kNodeBranches + 4;
constexpr std::uint32_t kEntrySize = 24;
static_assert(kEntriesAt + kEntrySize * kNodeEntrySlots == kNodeSize);

std::uint32_t load_le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// The fixed part of a node: branch offsets and entry count.
struct NodeHead {
  std::array<std::uint32_t, kNodeBranches> branches{};
  std::uint32_t count = 0;

  bool is_leaf() const { return branches[0] == 0; }
  // Children are branches 0 to N, never beyond the last branch.
  std::uint32_t last_child() const { return count < kNodeBranches - 1 ? count : kNodeBranches - 1; }
};

// `node` holds the node's 1716 bytes.
NodeHead read_head(const std::uint8_t* node) {
  NodeHead h;
  for (std::uint32_t j = 0; j < kNodeBranches; ++j) h.branches[j] = load_le32(node + 4 * j);
  h.count = load_le32(node + 4 * kNodeBranches);
  return h;
}

// Entry slot i (i < 61) of a node.
DatFileEntry entry_at(const std::uint8_t* node, std::uint32_t i) {
  const std::uint8_t* p = node + kEntriesAt + kEntrySize * i;
  return DatFileEntry{load_le32(p),      load_le32(p + 4),  load_le32(p + 8),
                      load_le32(p + 12), load_le32(p + 16), load_le32(p + 20)};
}

// The failure of a count of 62 or more: the entry reader runs off the node's end at slot 61.
DatError entry_overflow(std::span<const std::uint8_t> node) {
  RecordCursor cur(node);
  cur.skip(kNodeSize);
  return DatError(DatFileEntry::read(cur).error());
}

DatError too_deep() { return DatError(DatError::Corruption{"directory deeper than 64 levels"}); }

// Hands the entries to `take` in slot order; a count of 62 or more fails after the 61st.
template <class Take>
DatResult<void> for_each_entry(std::span<const std::uint8_t> node, const NodeHead& head,
                               Take&& take) {
  const std::uint32_t whole = head.count < kNodeEntrySlots ? head.count : kNodeEntrySlots;
  for (std::uint32_t i = 0; i < whole; ++i) take(entry_at(node.data(), i));
  if (head.count > kNodeEntrySlots) return std::unexpected(entry_overflow(node));
  return {};
}

// Step 1 above: the outcome of visiting `offset` at `level`, each pair checked once.
DatResult<void> check_node(const DatDatabase& db, std::uint32_t offset, unsigned level,
                           std::unordered_set<std::uint64_t>& known_good) {
  if (offset == 0) return {};
  if (level > kMaxDirectoryDepth) return std::unexpected(too_deep());
  const std::uint64_t state = (std::uint64_t{offset} << 8) | level;
  if (known_good.contains(state)) return {};
  DAT_TRY(node, db.read_file_data(offset, kNodeSize));
  const NodeHead head = read_head(node.data());
  if (auto entries = for_each_entry(node, head, [](const DatFileEntry&) {}); !entries) {
    return entries;
  }
  if (!head.is_leaf()) {
    for (std::uint32_t j = 0; j <= head.last_child(); ++j) {
      if (auto child = check_node(db, head.branches[j], level + 1, known_good); !child) {
        return child;
      }
    }
  }
  known_good.insert(state);
  return {};
}

// Step 2 above. `level` only guards against a file that changed since step 1.
DatResult<void> collect_reversed(const DatDatabase& db, std::uint32_t offset, unsigned level,
                                 std::unordered_set<std::uint32_t>& done, FileMap& files) {
  if (offset == 0 || done.contains(offset)) return {};
  if (level > kMaxDirectoryDepth) return std::unexpected(too_deep());
  done.insert(offset);
  DAT_TRY(node, db.read_file_data(offset, kNodeSize));
  const NodeHead head = read_head(node.data());
  if (!head.is_leaf()) {
    for (std::uint32_t j = head.last_child() + 1; j-- > 0;) {
      if (auto child = collect_reversed(db, head.branches[j], level + 1, done, files); !child) {
        return child;
      }
    }
  }
  if (head.count > kNodeEntrySlots) return std::unexpected(entry_overflow(node));
  for (std::uint32_t i = head.count; i-- > 0;) {
    const DatFileEntry entry = entry_at(node.data(), i);
    if (!files.contains(entry.id)) files.insert_or_assign(entry.id, entry);
  }
  return {};
}

}  // namespace

DatResult<void> DatDatabase::read_directory() {
  std::unordered_set<std::uint32_t> seen;
  bool shared = false;
  auto walked = read_node(header.root_offset, 1, seen, shared);
  if (!shared) return walked;

  files.clear();
  std::unordered_set<std::uint64_t> known_good;
  if (auto checked = check_node(*this, header.root_offset, 1, known_good); !checked) {
    return checked;
  }
  std::unordered_set<std::uint32_t> done;
  return collect_reversed(*this, header.root_offset, 1, done, files);
}

DatResult<void> DatDatabase::read_node(std::uint32_t offset, unsigned level,
                                       std::unordered_set<std::uint32_t>& seen, bool& shared) {
  if (offset == 0) return {};
  if (!seen.insert(offset).second) {
    // Reached again: unwind, and let read_directory take the walk that copes with it.
    shared = true;
    return {};
  }
  if (level > kMaxDirectoryDepth) return std::unexpected(too_deep());
  // One buffer per level, on the stack; released when this subtree is done.
  std::array<std::uint8_t, kNodeSize> node;
  if (auto gathered = gather_chain(offset, node); !gathered) return gathered;

  const NodeHead head = read_head(node.data());
  if (auto entries = for_each_entry(
          node, head, [this](const DatFileEntry& e) { files.insert_or_assign(e.id, e); });
      !entries) {
    return entries;
  }
  if (head.is_leaf()) return {};  // the other branch offsets mean nothing
  for (std::uint32_t j = 0; j <= head.last_child(); ++j) {
    if (head.branches[j] == 0) continue;
    if (auto child = read_node(head.branches[j], level + 1, seen, shared); !child || shared) {
      return child;
    }
  }
  return {};
}

}  // namespace dat
