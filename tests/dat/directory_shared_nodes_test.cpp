// Damaged directories whose nodes are reachable along several paths: shared subtrees and
// cycles. Opening must end quickly and give exactly what a plain pre-order walk of the
// paths gives: its map, or the first error that walk meets.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "dat/database.hpp"
#include "support/child_process.hpp"
#include "support/temp_archive.hpp"
#include "writer/archive_image.hpp"

namespace {

using test_support::TempDir;
using writer::DirectoryNode;

// One block holds a whole node, so nodes can be rewritten in place once every offset is known.
constexpr std::uint32_t kBlockSize = 2048;
constexpr std::uint32_t kNowhere = 0xFFFFFF00;

dat::DatFileEntry entry(std::uint32_t id, std::uint32_t version) {
  return dat::DatFileEntry{0, id, 0, 0, 0, version};
}

// A directory laid out from nodes whose branches name other nodes by index.
struct Graph {
  static constexpr int kNone = -1;
  static constexpr int kMissing = -2;  // an offset past the end of the file
  struct Node {
    std::vector<dat::DatFileEntry> entries;
    std::optional<std::uint32_t> count;
    std::vector<int> branches;  // up to 62
  };
  std::vector<Node> nodes;  // node 0 is the root
};

std::vector<std::uint8_t> build(const Graph& g, std::vector<std::uint32_t>& offsets) {
  writer::ArchiveImage image(kBlockSize);
  offsets.clear();
  for (std::size_t i = 0; i < g.nodes.size(); ++i) offsets.push_back(image.add_node({}));
  for (std::size_t i = 0; i < g.nodes.size(); ++i) {
    DirectoryNode n;
    n.entries = g.nodes[i].entries;
    n.entry_count = g.nodes[i].count;
    for (std::size_t j = 0; j < g.nodes[i].branches.size(); ++j) {
      const int b = g.nodes[i].branches[j];
      n.branches[j] = b == Graph::kNone ? 0 : b == Graph::kMissing ? kNowhere : offsets[b];
    }
    image.write_at(offsets[i] + 4, writer::encode_node(n));
  }
  image.header.root_offset = offsets.empty() ? 0 : offsets[0];
  return std::move(image).bytes();
}

// The walk exactly as a directory is defined, following every path again.
struct Reference {
  const Graph& g;
  std::map<std::uint32_t, dat::DatFileEntry> files;

  std::optional<std::string> walk(int node, unsigned level) {
    if (node == Graph::kNone) return std::nullopt;
    if (level > 64) return "Corruption detected: directory deeper than 64 levels";
    if (node == Graph::kMissing) return "IO error: failed to fill whole buffer";
    const Graph::Node& n = g.nodes[static_cast<std::size_t>(node)];
    const std::uint32_t count = n.count.value_or(static_cast<std::uint32_t>(n.entries.size()));
    if (count > 61) {
      // The slots are inserted before the walk fails, but a failed open keeps no map.
      return "Binary read error: failed to fill whole buffer\n"
             "While parsing field 'bit_flags' in DatFileEntry";
    }
    for (const auto& e : n.entries) files[e.id] = e;
    if (n.branches.empty() || n.branches[0] == Graph::kNone) return std::nullopt;
    for (std::uint32_t j = 0; j <= count && j < 62 && j < n.branches.size(); ++j) {
      if (auto e = walk(n.branches[j], level + 1)) return e;
    }
    return std::nullopt;
  }
};

bool same_entry(const dat::DatFileEntry& a, const dat::DatFileEntry& b) {
  return a.id == b.id && a.version == b.version;
}

// Opens `g` and compares with the reference walk; returns a description of a difference.
std::string compare(const Graph& g, const TempDir& dir) {
  std::vector<std::uint32_t> offsets;
  const auto path = dir.write("g.dat", build(g, offsets));
  const auto db = dat::DatDatabase::open(path);
  Reference ref{g, {}};
  const auto error = ref.walk(0, 1);
  if (error) {
    if (db) return "opened, expected: " + *error;
    if (db.error().message() != *error) return "error " + db.error().message() + ", expected " + *error;
    return {};
  }
  if (!db) return "failed: " + db.error().message();
  if (db->files.size() != ref.files.size()) return "map sizes differ";
  for (const auto& [id, e] : ref.files) {
    const auto it = db->files.find(id);
    if (it == db->files.end() || !same_entry(it->second, e)) return "entry differs: " + std::to_string(id);
  }
  return {};
}

// `levels` nodes, each naming the next one from two branches: 2^levels paths to the last.
Graph doubling_chain(int levels) {
  Graph g;
  for (int i = 0; i < levels; ++i) {
    Graph::Node n;
    n.entries = {entry(static_cast<std::uint32_t>(i), 1)};
    if (i + 1 < levels) n.branches = {i + 1, i + 1};
    g.nodes.push_back(n);
  }
  return g;
}

TEST(DirectorySharedNodes, ExponentiallyManyPathsOpenPromptly) {
  TempDir dir;
  std::vector<std::uint32_t> offsets;
  const auto path = dir.write("chain.dat", build(doubling_chain(40), offsets));
  // A walk that followed every path would read 2^40 nodes.
  const auto outcome = test_support::run_in_child(
      [&path] {
        const auto db = dat::DatDatabase::open(path);
        return db && db->files.size() == 40 ? 0 : 1;
      },
      std::chrono::seconds(20));
  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.exit_status, 0);
}

TEST(DirectorySharedNodes, SharedSubtreesResolveDuplicatesAsTheFullWalk) {
  // root {1:a} -> A {2:a}, B {1:b}, A again: the second visit of A is the last word on 2.
  Graph g;
  g.nodes.resize(3);
  g.nodes[0].entries = {entry(1, 1), entry(7, 1)};
  g.nodes[0].branches = {1, 2, 1};
  g.nodes[1].entries = {entry(2, 1)};
  g.nodes[2].entries = {entry(1, 2), entry(2, 2)};
  TempDir dir;
  EXPECT_EQ(compare(g, dir), "");
  std::vector<std::uint32_t> offsets;
  const auto db = dat::DatDatabase::open(dir.write("g2.dat", build(g, offsets)));
  ASSERT_TRUE(db);
  EXPECT_EQ(db->files.at(1).version, 2u);
  EXPECT_EQ(db->files.at(2).version, 1u);  // A's entry, read again after B's
}

TEST(DirectorySharedNodes, CyclesAndSharingMatchThePlainWalk) {
  // Small random graphs: shared children, cycles, missing nodes, over-full counts, and
  // ids from a small pool so that duplicates decide.
  std::mt19937 rng(20240607);
  TempDir dir;
  int failures = 0;
  for (int round = 0; round < 1500 && failures < 5; ++round) {
    Graph g;
    const int n = 1 + static_cast<int>(rng() % 7);
    g.nodes.resize(static_cast<std::size_t>(n));
    for (auto& node : g.nodes) {
      const int entries = static_cast<int>(rng() % 4);
      for (int e = 0; e < entries; ++e) node.entries.push_back(entry(rng() % 6, rng() % 100));
      if (rng() % 40 == 0) node.count = 62;
      const int children = static_cast<int>(rng() % 4);
      for (int c = 0; c < children && c <= entries; ++c) {
        const unsigned pick = rng() % 12;
        node.branches.push_back(pick == 0   ? Graph::kNone
                                : pick == 1 ? Graph::kMissing
                                            : static_cast<int>(rng() % static_cast<unsigned>(n)));
      }
    }
    const std::string diff = compare(g, dir);
    if (!diff.empty()) {
      ADD_FAILURE() << "round " << round << ": " << diff;
      ++failures;
    }
  }
}

}  // namespace
