// The directory walk over explicitly laid out nodes.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "dat/database.hpp"
#include "support/temp_archive.hpp"
#include "writer/archive_image.hpp"

namespace {

using writer::DirectoryNode;
using test_support::TempDir;

constexpr std::uint32_t kNowhere = 0xFFFFFF00;  // a node offset past the end of every file

dat::DatFileEntry entry(std::uint32_t id, std::uint32_t version = 0) {
  return dat::DatFileEntry{0, id, 0, 0, 0, version};
}

DirectoryNode leaf(std::vector<dat::DatFileEntry> entries) {
  DirectoryNode n;
  n.entries = std::move(entries);
  return n;
}

// id -> version, for comparing a whole map at once.
std::map<std::uint32_t, std::uint32_t> versions(const dat::FileMap& files) {
  std::map<std::uint32_t, std::uint32_t> out;
  for (const auto& [id, e] : files) {
    EXPECT_EQ(id, e.id);
    out[id] = e.version;
  }
  return out;
}

class Directory : public ::testing::Test {
 protected:
  dat::DatResult<dat::DatDatabase> open(writer::ArchiveImage& image, std::uint32_t root) {
    image.header.root_offset = root;
    return dat::DatDatabase::open(dir_.write("d.dat", image.bytes()));
  }
  std::map<std::uint32_t, std::uint32_t> open_versions(writer::ArchiveImage& image,
                                                       std::uint32_t root) {
    auto db = open(image, root);
    if (!db) {
      ADD_FAILURE() << db.error().message();
      return {};
    }
    return versions(db->files);
  }
  writer::ArchiveImage image_{1024};
  TempDir dir_;
};

TEST_F(Directory, EmptyRootLeaf) {
  EXPECT_TRUE(open_versions(image_, image_.add_node(leaf({}))).empty());
}

TEST_F(Directory, LeafIgnoresStrayBranches) {
  const std::uint32_t other = image_.add_node(leaf({entry(99)}));
  DirectoryNode root = leaf({entry(1), entry(2)});
  root.branches[1] = other;
  root.branches[2] = kNowhere;
  EXPECT_EQ(open_versions(image_, image_.add_node(root)),
            (std::map<std::uint32_t, std::uint32_t>{{1, 0}, {2, 0}}));
}

TEST_F(Directory, InternalNodeVisitsBranchesZeroToNSkippingZeros) {
  DirectoryNode root = leaf({entry(10), entry(20), entry(30)});
  root.branches[0] = image_.add_node(leaf({entry(5)}));
  root.branches[1] = 0;  // skipped, the walk goes on
  root.branches[2] = image_.add_node(leaf({entry(25)}));
  root.branches[3] = image_.add_node(leaf({entry(35)}));
  root.branches[4] = image_.add_node(leaf({entry(777)}));  // beyond N: never read
  root.branches[5] = kNowhere;
  EXPECT_EQ(open_versions(image_, image_.add_node(root)),
            (std::map<std::uint32_t, std::uint32_t>{
                {5, 0}, {10, 0}, {20, 0}, {25, 0}, {30, 0}, {35, 0}}));
}

TEST_F(Directory, SixtyOneEntriesVisitSixtyTwoChildren) {
  DirectoryNode root;
  for (std::uint32_t i = 0; i < 61; ++i) root.entries.push_back(entry(1000 + i));
  for (std::uint32_t j = 0; j < 62; ++j) root.branches[j] = image_.add_node(leaf({entry(j)}));
  const auto got = open_versions(image_, image_.add_node(root));
  EXPECT_EQ(got.size(), 123u);
  EXPECT_TRUE(got.contains(61));  // the child behind the last branch
}

TEST_F(Directory, CountBeyondTheSlotsFails) {
  for (const std::uint32_t count : {62u, 0xFFFFFFFFu}) {
    DirectoryNode root;
    for (std::uint32_t i = 0; i < 61; ++i) root.entries.push_back(entry(i + 1));
    root.entry_count = count;
    const auto db = open(image_, image_.add_node(root));
    ASSERT_FALSE(db);
    ASSERT_TRUE(std::holds_alternative<dat::DatError::BinRead>(db.error().value));
    EXPECT_EQ(db.error().message(),
              "Binary read error: failed to fill whole buffer\n"
              "While parsing field 'bit_flags' in DatFileEntry");
  }
}

TEST_F(Directory, LaterEntriesInPreOrderWin) {
  // root {5:a}; child 0 {5:b, 6:a} with grandchild {5:c}; child 1 {6:b}.
  DirectoryNode child0 = leaf({entry(5, 2), entry(6, 1)});
  child0.branches[0] = image_.add_node(leaf({entry(5, 3)}));
  child0.branches[1] = 0;
  DirectoryNode root = leaf({entry(5, 1)});
  root.branches[0] = image_.add_node(child0);
  root.branches[1] = image_.add_node(leaf({entry(6, 2)}));
  EXPECT_EQ(open_versions(image_, image_.add_node(root)),
            (std::map<std::uint32_t, std::uint32_t>{{5, 3}, {6, 2}}));
}

TEST_F(Directory, FailingChildFailsTheOpen) {
  DirectoryNode root = leaf({entry(1)});
  root.branches[0] = image_.add_node(leaf({entry(2)}));
  root.branches[1] = kNowhere;
  const auto db = open(image_, image_.add_node(root));
  ASSERT_FALSE(db);
  EXPECT_EQ(db.error().message(), "IO error: failed to fill whole buffer");
}

// A chain of single-child nodes, `depth` levels including the root.
std::uint32_t add_spine(writer::ArchiveImage& image, unsigned depth) {
  std::uint32_t below = 0;
  for (unsigned level = depth; level >= 1; --level) {
    DirectoryNode n = leaf({entry(level)});
    n.branches[0] = below;
    below = image.add_node(n);
  }
  return below;
}

TEST_F(Directory, DepthIsBoundedAndCyclesEnd) {
  EXPECT_EQ(open_versions(image_, add_spine(image_, 64)).size(), 64u);

  const std::string corruption = "Corruption detected: directory deeper than 64 levels";
  auto deep = open(image_, add_spine(image_, 65));
  ASSERT_FALSE(deep);
  EXPECT_EQ(deep.error().message(), corruption);

  // A node that is its own first child.
  const auto self = image_.reserve_blocks(2);
  DirectoryNode loop = leaf({entry(1)});
  loop.branches[0] = self[0];
  image_.write_chain(self, writer::encode_node(loop));
  auto cyclic = open(image_, self[0]);
  ASSERT_FALSE(cyclic);
  ASSERT_TRUE(std::holds_alternative<dat::DatError::Corruption>(cyclic.error().value));
  EXPECT_EQ(cyclic.error().message(), corruption);
}

TEST_F(Directory, NodesSpanBlocksOfAnySize) {
  // 1716 bytes over 33-byte payloads: 52 blocks, the last one partly used.
  writer::ArchiveImage image(37);
  DirectoryNode root;
  for (std::uint32_t i = 0; i < 61; ++i) root.entries.push_back(entry(i, i * 3));
  std::map<std::uint32_t, std::uint32_t> want;
  for (std::uint32_t i = 0; i < 61; ++i) want[i] = i * 3;
  EXPECT_EQ(open_versions(image, image.add_node(root)), want);
}

}  // namespace
