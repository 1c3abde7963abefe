#include "writer/archive_builder.hpp"

#include <algorithm>
#include <fstream>

#include "writer/archive_image.hpp"
#include "writer/lrs.hpp"

namespace writer {

namespace {

// Entries a subtree of the given height can hold: a leaf 61, each level above 62 subtrees
// plus 61 separators.
std::uint64_t capacity(unsigned height) {
  std::uint64_t cap = dat::kNodeEntrySlots;
  for (unsigned h = 1; h < height; ++h) cap = cap * dat::kNodeBranches + dat::kNodeEntrySlots;
  return cap;
}

struct PlannedNode {
  DirectoryNode node;
  std::vector<std::size_t> children;  // indices into the plan, in branch order
};

// Appends the subtree over `entries` (sorted by id) in pre-order; returns its root index.
std::size_t plan_subtree(std::span<const dat::DatFileEntry> entries,
                         std::vector<PlannedNode>& plan) {
  const std::size_t index = plan.size();
  plan.emplace_back();
  const std::size_t n = entries.size();
  if (n <= dat::kNodeEntrySlots) {
    plan[index].node.entries.assign(entries.begin(), entries.end());
    return index;
  }
  unsigned height = 2;
  while (capacity(height) < n) ++height;
  const std::uint64_t child_cap = capacity(height - 1);
  // Fewest children that can hold the rest; separators sit between them.
  const std::size_t children = static_cast<std::size_t>((n + 1 + child_cap) / (child_cap + 1));
  const std::size_t in_children = n - (children - 1);
  const std::size_t base = in_children / children;
  const std::size_t extra = in_children % children;

  std::vector<dat::DatFileEntry> separators;
  std::vector<std::size_t> child_indices;
  std::size_t pos = 0;
  for (std::size_t j = 0; j < children; ++j) {
    const std::size_t size = base + (j < extra ? 1 : 0);
    child_indices.push_back(plan_subtree(entries.subspan(pos, size), plan));
    pos += size;
    if (j + 1 < children) separators.push_back(entries[pos++]);
  }
  plan[index].node.entries = std::move(separators);
  plan[index].children = std::move(child_indices);
  return index;
}

}  // namespace

std::vector<std::uint8_t> build_archive(std::vector<ArchiveFile> files,
                                        const ArchiveOptions& options) {
  // Sorted by id; the last of several files with one id stays.
  std::stable_sort(files.begin(), files.end(),
                   [](const ArchiveFile& a, const ArchiveFile& b) { return a.id < b.id; });
  std::vector<ArchiveFile> unique;
  unique.reserve(files.size());
  for (auto& f : files) {
    if (!unique.empty() && unique.back().id == f.id) {
      unique.back() = std::move(f);
    } else {
      unique.push_back(std::move(f));
    }
  }

  for (auto& f : unique) {
    if (f.compress) f.data = compress_lrs(f.data);
  }

  ArchiveImage image(options.block_size);
  image.trim_last_block = options.trim_last_block;
  const std::uint32_t block_size = options.block_size;

  std::vector<dat::DatFileEntry> entries;
  entries.reserve(unique.size());
  std::size_t total = image.size();
  for (const auto& f : unique) {
    entries.push_back(dat::DatFileEntry{
        f.extra_flags | (f.compress ? dat::DatFileEntry::kCompressed : 0u), f.id, 0,
        static_cast<std::uint32_t>(f.data.size()), 0, 0});
    total += image.chain_footprint(f.data.size(), blocks_needed(block_size, f.data.size()));
  }
  const std::size_t node_blocks = blocks_needed(block_size, dat::kNodeSize);
  const std::size_t node_footprint = image.chain_footprint(dat::kNodeSize, node_blocks);
  // Children are filled evenly, so n / 30 + 1 nodes is a safe estimate to reserve for.
  image.reserve_capacity(total + (unique.size() / 30 + 1) * node_footprint);

  for (std::size_t i = 0; i < unique.size(); ++i) {
    entries[i].offset = image.add_chain(unique[i].data);
  }

  std::uint32_t root = 0;
  if (!entries.empty()) {
    std::vector<PlannedNode> plan;
    plan_subtree(entries, plan);
    // Offsets first, so parents can name children that are written after them.
    std::vector<std::uint32_t> offsets(plan.size());
    for (auto& offset : offsets) offset = image.reserve(node_footprint);
    const std::size_t extent = std::max<std::uint32_t>(block_size, 4);
    std::vector<std::uint32_t> blocks(node_blocks);
    for (std::size_t k = 0; k < plan.size(); ++k) {
      PlannedNode& p = plan[k];
      for (std::size_t j = 0; j < p.children.size(); ++j) {
        p.node.branches[j] = offsets[p.children[j]];
      }
      for (std::size_t b = 0; b < node_blocks; ++b) {
        blocks[b] = static_cast<std::uint32_t>(offsets[k] + b * extent);
      }
      image.write_chain(blocks, encode_node(p.node));
    }
    root = offsets[0];
  }

  image.header.magic = options.magic;
  image.header.dataset = options.dataset;
  image.header.engine_version = options.engine_version;
  image.header.game_version = options.game_version;
  image.header.version_minor = options.version_minor;
  image.header.root_offset = root;
  image.header.file_size = static_cast<std::uint32_t>(image.size());
  return std::move(image).bytes();
}

bool write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace writer
