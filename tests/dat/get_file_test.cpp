// Fetching files by id from archives built by the writer.

#include <gtest/gtest.h>

#include <vector>

#include "dat/database.hpp"
#include "support/temp_archive.hpp"
#include "writer/archive_builder.hpp"
#include "writer/archive_image.hpp"
#include "writer/lrs.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::TempDir;

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes repetitive(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>("landblock "[i % 10]);
  return b;
}

TEST(GetFile, PlainAndCompressedFiles) {
  const Bytes plain = text("stored as it is");
  const Bytes big = repetitive(20000);
  const Bytes lrs_looking = writer::compress_lrs(big);
  std::vector<writer::ArchiveFile> files{
      {0x08000001, plain},
      {0x08000002, big, true},
      // Bit 0 clear: returned as stored however compressed it looks.
      {0x08000003, lrs_looking},
      // Bits other than bit 0 change nothing.
      {0x08000004, plain, false, 0xFFFFFFFE},
      {0x08000005, big, true, 0xFFFFFFFE},
  };
  TempDir dir;
  const auto db = dat::DatDatabase::open(dir.write("g.dat", writer::build_archive(files)));
  ASSERT_TRUE(db) << db.error().message();
  EXPECT_LT(db->files.at(0x08000002).size, big.size() / 4);  // really stored compressed
  EXPECT_EQ(db->get_file(0x08000001), plain);
  EXPECT_EQ(db->get_file(0x08000002), big);
  EXPECT_EQ(db->get_file(0x08000003), lrs_looking);
  EXPECT_EQ(db->get_file(0x08000004), plain);
  EXPECT_EQ(db->get_file(0x08000005), big);
  EXPECT_EQ(db->get_file(0x08000002).value(), db->get_file(0x08000002).value());

  const auto missing = db->get_file(0x2A);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message(), "File ID 0000002A not found in provider");
  EXPECT_EQ(missing.error().cause(), std::nullopt);
}

// Entries written by hand, for sizes and offsets no builder would produce.
class DamagedEntries : public ::testing::Test {
 protected:
  dat::DatDatabase open(writer::ArchiveImage& image, std::vector<dat::DatFileEntry> entries) {
    writer::DirectoryNode root;
    root.entries = std::move(entries);
    image.header.root_offset = image.add_node(root);
    auto db = dat::DatDatabase::open(dir_.write("e.dat", image.bytes()));
    EXPECT_TRUE(db) << db.error().message();
    return std::move(*db);
  }
  static void expect_eof(const dat::DatResult<Bytes>& got) {
    ASSERT_FALSE(got);
    ASSERT_TRUE(std::holds_alternative<dat::DatError::Io>(got.error().value));
    EXPECT_EQ(got.error().message(), "IO error: failed to fill whole buffer");
  }
  TempDir dir_;
};

TEST_F(DamagedEntries, SizeZeroNeverTouchesTheFile) {
  writer::ArchiveImage image(1024);
  const auto db = open(image, {{0, 1, 0xFFFFFF00, 0, 0, 0}, {1, 2, 0xFFFFFF00, 0, 0, 0}});
  EXPECT_EQ(db.get_file(1), Bytes{});
  EXPECT_EQ(db.get_file(2), Bytes{});
}

TEST_F(DamagedEntries, SizeBeyondTheFileFailsAndOthersStayReadable) {
  writer::ArchiveImage image(1024);
  const Bytes data = text("still here");
  const std::uint32_t at = image.add_chain(data);
  const auto db = open(image, {{0, 1, at, 0xFFFFFFF0, 0, 0},
                               {0, 2, at, static_cast<std::uint32_t>(data.size()), 0, 0}});
  expect_eof(db.get_file(1));
  EXPECT_EQ(db.get_file(2), data);
}

TEST_F(DamagedEntries, LoopingChainWithoutPayloadEnds) {
  // Block size 4 carries no payload: only the links move, and this one points at itself.
  writer::ArchiveImage image(4);
  const std::uint32_t block = image.reserve_blocks(1)[0];
  image.write_u32_at(block, block);
  const auto db = open(image, {{0, 1, block, 10, 0, 0}});
  expect_eof(db.get_file(1));
}

TEST_F(DamagedEntries, PayloadlessChainEndsAtItsLastLink) {
  // With block size 4 the block whose link is 0 supplies the whole file.
  writer::ArchiveImage image(4);
  const auto blocks = image.reserve_blocks(3);
  const Bytes data = text("all in the last block");
  image.write_chain(blocks, data);
  const auto db = open(image, {{0, 1, blocks[0], static_cast<std::uint32_t>(data.size()), 0, 0}});
  EXPECT_EQ(db.get_file(1), data);
}

}  // namespace
