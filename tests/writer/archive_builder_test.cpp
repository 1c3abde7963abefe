// Archives built by the writer open and give every file back.

#include <gtest/gtest.h>

#include <vector>

#include "dat/database.hpp"
#include "support/temp_archive.hpp"
#include "writer/archive_builder.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::TempDir;

Bytes content(std::uint32_t id) {
  Bytes b(id % 97 * 13, static_cast<std::uint8_t>(id));
  for (std::size_t i = 0; i < b.size(); i += 5) b[i] = static_cast<std::uint8_t>(i ^ id);
  return b;
}

// Reads the stored node at `offset` and reports the greatest depth below it.
unsigned depth(const dat::DatDatabase& db, std::uint32_t offset) {
  const auto node = db.read_file_data(offset, dat::kNodeSize);
  EXPECT_TRUE(node);
  if (!node) return 0;
  auto u32 = [&](std::size_t at) {
    return std::uint32_t{(*node)[at]} | (std::uint32_t{(*node)[at + 1]} << 8) |
           (std::uint32_t{(*node)[at + 2]} << 16) | (std::uint32_t{(*node)[at + 3]} << 24);
  };
  if (u32(0) == 0) return 1;
  const std::uint32_t count = u32(248);
  unsigned deepest = 0;
  for (std::uint32_t j = 0; j <= count; ++j) {
    EXPECT_NE(u32(4 * j), 0u);  // an internal node has all N + 1 children
    deepest = std::max(deepest, depth(db, u32(4 * j)));
  }
  return deepest + 1;
}

TEST(ArchiveBuilder, ManyFilesOverSeveralLevels) {
  struct Case {
    std::size_t files;
    std::uint32_t block_size;
    bool trim;
    unsigned levels;
  };
  const Case cases[] = {
      {0, 1024, false, 0},    {1, 1024, false, 1},    {61, 256, false, 1},
      {62, 1024, true, 2},    {3843, 1024, true, 2},  {3844, 1024, true, 3},
      {300, 4, false, 2},     {300, 2, false, 2},     {300, 37, true, 2},
  };  // 3843 files fill two levels exactly: 61 separators over 62 full leaves
  TempDir dir;
  for (const auto& c : cases) {
    std::vector<writer::ArchiveFile> files;
    // Ids given out of order; every third file compressed.
    for (std::uint32_t i = 0; i < c.files; ++i) {
      const std::uint32_t id = (i * 2654435761u) | 0x01000000u;
      files.push_back({id, content(id), i % 3 == 0});
    }
    const Bytes bytes = writer::build_archive(files, {.block_size = c.block_size,
                                                      .trim_last_block = c.trim});
    const auto db = dat::DatDatabase::open(dir.write("b.dat", bytes));
    ASSERT_TRUE(db) << db.error().message();
    EXPECT_EQ(db->header.block_size, c.block_size);
    EXPECT_EQ(db->header.file_size, bytes.size());
    ASSERT_EQ(db->files.size(), c.files);
    for (const auto& f : files) {
      ASSERT_EQ(db->get_file(f.id), f.data) << c.files << " files, id " << f.id;
    }
    const unsigned levels = db->header.root_offset == 0 ? 0 : depth(*db, db->header.root_offset);
    EXPECT_EQ(levels, c.levels) << c.files << " files";
  }
}

TEST(ArchiveBuilder, LastFileWithAnIdWins) {
  const std::vector<writer::ArchiveFile> files{
      {7, {1, 2, 3}}, {9, {4}}, {7, {5, 6}, true}, {8, {}}};
  TempDir dir;
  const auto db = dat::DatDatabase::open(dir.write("d.dat", writer::build_archive(files)));
  ASSERT_TRUE(db) << db.error().message();
  EXPECT_EQ(db->files.size(), 3u);
  EXPECT_EQ(db->get_file(7), (Bytes{5, 6}));
  EXPECT_EQ(db->get_file(8), Bytes{});
  EXPECT_EQ(db->get_file(9), Bytes{4});
}

}  // namespace
