// Opening an archive: the path checks, the header, and gathering block chains.

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "dat/database.hpp"
#include "support/temp_archive.hpp"
#include "writer/archive_image.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::TempDir;

Bytes pattern(std::size_t n, std::uint8_t seed = 1) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
  return b;
}

dat::DatDatabase open_ok(const TempDir& dir, const Bytes& bytes) {
  auto db = dat::DatDatabase::open(dir.write("a.dat", bytes));
  EXPECT_TRUE(db) << db.error().message();
  return std::move(*db);
}

TEST(ArchiveOpen, HeaderOnlyArchiveOpensEmptyAndKeepsEveryField) {
  writer::ArchiveImage image(1024);
  dat::DatHeader& h = image.header;
  h.magic = 0;
  h.file_size = 3, h.dataset = 4, h.subset = 5, h.free_head = 6, h.free_tail = 7;
  h.free_count = 8, h.new_lru = 10, h.old_lru = 11, h.use_lru = 12, h.master_map_id = 13;
  h.engine_version = 0xDEADBEEF, h.game_version = 15, h.version_minor = 17;
  h.version_string = {0xFF, 0x80, 'v', '1', 0xC3, 0x28, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xFE};
  Bytes bytes = image.bytes();
  bytes.resize(400);

  TempDir dir;
  const dat::DatDatabase db = open_ok(dir, bytes);
  EXPECT_EQ(db.header, h);
  EXPECT_TRUE(db.files.empty());
}

TEST(ArchiveOpen, TruncatedHeaderNamesFirstIncompleteField) {
  struct Case {
    std::size_t length;
    const char* text;
  };
  const Case cases[] = {
      {0, "failed to fill whole buffer\nWhile parsing field 'magic' in DatHeader"},
      {323, "failed to fill whole buffer\nWhile parsing field 'magic' in DatHeader"},
      {324, "failed to fill whole buffer\nWhile parsing field 'block_size' in DatHeader"},
      {355, "failed to fill whole buffer\nWhile parsing field 'root_offset' in DatHeader"},
      {380, "not enough bytes in reader\nWhile parsing field 'version_string' in DatHeader"},
      {390, "not enough bytes in reader\nWhile parsing field 'version_string' in DatHeader"},
      {399, "failed to fill whole buffer\nWhile parsing field 'version_minor' in DatHeader"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    Bytes bytes = writer::ArchiveImage(1024).bytes();
    bytes.resize(c.length);
    const auto db = dat::DatDatabase::open(dir.write("t.dat", bytes));
    ASSERT_FALSE(db) << c.length;
    ASSERT_TRUE(std::holds_alternative<dat::DatError::BinRead>(db.error().value)) << c.length;
    EXPECT_EQ(db.error().message(), std::string("Binary read error: ") + c.text) << c.length;
    EXPECT_EQ(db.error().cause(), c.text) << c.length;
  }
}

TEST(ArchiveOpen, PathFailures) {
  TempDir dir;
  const auto missing = dir.path() / "missing.dat";
  const auto a = dat::DatDatabase::open(missing);
  ASSERT_FALSE(a);
  ASSERT_TRUE(std::holds_alternative<dat::DatError::PathError>(a.error().value));
  EXPECT_EQ(a.error().message(),
            "Failed to open file at " + missing.string() + ": No such file or directory");
  EXPECT_EQ(a.error().cause(), "No such file or directory");

  const auto b = dat::DatDatabase::open(dir.path());
  ASSERT_FALSE(b);
  ASSERT_TRUE(std::holds_alternative<dat::DatError::PathError>(b.error().value));
  EXPECT_EQ(b.error().message(),
            "Failed to open file at " + dir.path().string() + ": Is a directory");
}

// The chain tests read through read_file_data on an archive with no directory.
class Chains : public ::testing::Test {
 protected:
  dat::DatDatabase open(writer::ArchiveImage& image) { return open_ok(dir_, image.bytes()); }
  TempDir dir_;
};

TEST_F(Chains, FirstLinkZeroReadsContiguously) {
  writer::ArchiveImage image(1024);
  const Bytes data = pattern(5000);
  const std::uint32_t at = image.add_chain(data, 1);
  const auto db = open(image);
  EXPECT_EQ(db.read_file_data(at, 5000), data);
  EXPECT_EQ(db.read_file_data(at, 0), Bytes{});
  EXPECT_EQ(db.read_file_data(0xFFFFFFF0, 0), Bytes{});
}

TEST_F(Chains, LinksAreFollowedAndEachBlockGivesOnePayload) {
  writer::ArchiveImage image(1024);
  // Blocks laid out back to front, so reading them in file order would give wrong bytes.
  const auto blocks = image.reserve_blocks(3);
  const std::vector<std::uint32_t> chain{blocks[2], blocks[0], blocks[1]};
  const Bytes data = pattern(2500);
  image.write_chain(chain, data);
  const Bytes raw = image.bytes();
  const auto db = open_ok(dir_, raw);
  EXPECT_EQ(db.read_file_data(chain[0], 2500), data);
  // Independently of the writer: 1020, 1020 and 460 bytes sit behind the three links.
  const auto at = [&](std::uint32_t block, std::size_t n) {
    return Bytes(raw.begin() + block + 4, raw.begin() + block + 4 + n);
  };
  EXPECT_EQ(at(chain[0], 1020), Bytes(data.begin(), data.begin() + 1020));
  EXPECT_EQ(at(chain[1], 1020), Bytes(data.begin() + 1020, data.begin() + 2040));
  EXPECT_EQ(at(chain[2], 460), Bytes(data.begin() + 2040, data.end()));
}

TEST_F(Chains, StopsOnceTheLengthIsComplete) {
  writer::ArchiveImage image(1024);
  const auto blocks = image.reserve_blocks(2);
  const Bytes data = pattern(2040);
  image.write_chain(blocks, data);
  // The completing block links to a block that does not exist; following it would fail.
  image.write_u32_at(blocks[1], 0xFFFFFF00);
  const auto db = open(image);
  EXPECT_EQ(db.read_file_data(blocks[0], 2040), data);
}

TEST_F(Chains, LastBlockSuppliesEverythingStillMissing) {
  writer::ArchiveImage image(64);
  const Bytes data = pattern(500);
  const std::uint32_t at = image.add_chain(data, 2);  // 60 bytes, then 440 from the last
  const auto db = open(image);
  EXPECT_EQ(db.read_file_data(at, 500), data);
}

TEST_F(Chains, BlockSizeBelowFourReadsAllFromTheFirstPayload) {
  for (const std::uint32_t block_size : {0u, 1u, 2u, 3u}) {
    writer::ArchiveImage image(block_size);
    const Bytes data = pattern(3000, static_cast<std::uint8_t>(block_size));
    const std::uint32_t at = image.add_chain(data, 1);
    image.write_u32_at(at, 0xFFFFFF00);  // a link that must not be followed
    const auto db = open(image);
    EXPECT_EQ(db.read_file_data(at, 3000), data) << block_size;
  }
}

TEST_F(Chains, FileEndingEarlyFailsWithEndOfData) {
  writer::ArchiveImage image(1024);
  const std::uint32_t at = image.add_chain(pattern(100), 1);
  auto db = open(image);
  for (const auto& [offset, length] : {std::pair{at, 2000u}, std::pair{0xFFFFFF00u, 10u}}) {
    const auto got = db.read_file_data(offset, length);
    ASSERT_FALSE(got);
    ASSERT_TRUE(std::holds_alternative<dat::DatError::Io>(got.error().value));
    EXPECT_EQ(got.error().message(), "IO error: failed to fill whole buffer");
  }
}

// Consecutive blocks are read in runs; these chains mix long runs with jumps backwards and
// forwards, so a run that was read ahead must be cut exactly where the links leave it.
TEST_F(Chains, RunsOfConsecutiveBlocksAndJumpsBetweenThem) {
  writer::ArchiveImage image(64);  // 60 payload bytes per block
  const auto blocks = image.reserve_blocks(3000);
  std::vector<std::uint32_t> chain;
  for (std::size_t i = 0; i < 1500; ++i) chain.push_back(blocks[1000 + i]);  // several runs
  for (std::size_t i = 0; i < 7; ++i) chain.push_back(blocks[10 + i]);      // jump back
  chain.push_back(blocks[2999]);                                             // jump to the end
  for (std::size_t i = 0; i < 20; ++i) chain.push_back(blocks[500 + 2 * i]);  // every other block
  const Bytes data = pattern(chain.size() * 60 - 13);
  image.write_chain(chain, data);
  const auto db = open(image);
  EXPECT_EQ(db.read_file_data(chain[0], static_cast<std::uint32_t>(data.size())), data);
  // Starting in the middle of a run, and stopping inside one.
  EXPECT_EQ(db.read_file_data(chain[0], 6000), Bytes(data.begin(), data.begin() + 6000));
}

TEST_F(Chains, ReadingAheadPastTheEndOfTheFileIsHarmless) {
  // The chain's blocks sit at the very end of the file, trimmed to what they carry: a run
  // planned from the first block reaches past the end, and the links decide.
  writer::ArchiveImage image(1024);
  image.trim_last_block = true;
  const Bytes data = pattern(3000);
  const std::uint32_t at = image.add_chain(data);
  const auto db = open(image);
  EXPECT_EQ(db.read_file_data(at, 3000), data);
  // The chain starts with a block at the very end of the file that links back to the start;
  // its last block there supplies the rest from consecutive bytes.
  writer::ArchiveImage jump(1024);
  const auto early = jump.reserve_blocks(3);
  const std::uint32_t end = jump.reserve(4 + 1020);  // the file ends with this payload
  jump.write_chain(std::vector<std::uint32_t>{end, early[0]}, data);
  const Bytes raw = jump.bytes();
  ASSERT_EQ(raw.size(), std::size_t{end} + 1024);
  const auto db2 = open_ok(dir_, raw);
  EXPECT_EQ(db2.read_file_data(end, 3000), data);
}

TEST_F(Chains, FileCutInsideALongRunFailsWithEndOfData) {
  writer::ArchiveImage image(256);
  const Bytes data = pattern(100000);
  const std::uint32_t at = image.add_chain(data);
  Bytes raw = image.bytes();
  for (const std::size_t cut : {std::size_t{at} + 50000, std::size_t{at} + 256 * 100 + 2}) {
    const auto db = open_ok(dir_, Bytes(raw.begin(), raw.begin() + cut));
    const auto got = db.read_file_data(at, 100000);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error().message(), "IO error: failed to fill whole buffer") << cut;
    EXPECT_EQ(db.read_file_data(at, 252 * 20), Bytes(data.begin(), data.begin() + 252 * 20));
  }
}

TEST_F(Chains, PayloadOffsetWrapsAtFourGigabytes) {
  // A last block at 0xFFFFFFFE has its payload at (0xFFFFFFFE + 4) mod 2^32 = 2. The file is
  // made sparse up to just past that block, whose link reads as 0.
  writer::ArchiveImage image(1024);
  const Bytes data = pattern(100);
  image.write_at(2, data);
  const auto path = dir_.write("w.dat", image.bytes());
  std::error_code ec;
  std::filesystem::resize_file(path, 0x100000002ull, ec);
  if (ec) GTEST_SKIP() << "no sparse file: " << ec.message();
  const auto db = dat::DatDatabase::open(path);
  ASSERT_TRUE(db) << db.error().message();
  EXPECT_EQ(db->read_file_data(0xFFFFFFFE, 100), data);
}

}  // namespace
