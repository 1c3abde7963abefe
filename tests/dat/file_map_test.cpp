// The file map: insertion, replacement by a later entry, lookup, iteration, growth, copies.

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "dat/file_map.hpp"

namespace {

dat::DatFileEntry entry(std::uint32_t id, std::uint32_t version) {
  return dat::DatFileEntry{0, id, id * 16, 100, 0, version};
}

std::map<std::uint32_t, std::uint32_t> versions(const dat::FileMap& files) {
  std::map<std::uint32_t, std::uint32_t> out;
  for (const auto& [id, e] : files) {
    EXPECT_EQ(id, e.id);
    EXPECT_TRUE(out.emplace(id, e.version).second) << "id " << id << " iterated twice";
  }
  return out;
}

TEST(FileMap, EmptyMapFindsNothing) {
  const dat::FileMap files;
  EXPECT_TRUE(files.empty());
  EXPECT_EQ(files.size(), 0u);
  EXPECT_EQ(files.begin(), files.end());
  EXPECT_EQ(files.find(0), files.end());
  EXPECT_FALSE(files.contains(7));
  EXPECT_THROW((void)files.at(7), std::out_of_range);
}

TEST(FileMap, LaterEntryReplacesEarlierAndSizeCountsIds) {
  dat::FileMap files;
  EXPECT_TRUE(files.insert_or_assign(5, entry(5, 1)));
  EXPECT_TRUE(files.insert_or_assign(0, entry(0, 1)));  // id 0 is an ordinary id
  EXPECT_FALSE(files.insert_or_assign(5, entry(5, 2)));
  EXPECT_EQ(files.size(), 2u);
  EXPECT_EQ(files.at(5).version, 2u);
  EXPECT_EQ(files.find(0)->second.version, 1u);
  EXPECT_EQ(files.count(0), 1u);
  EXPECT_EQ(files.count(1), 0u);
}

// Ids as the archives use them: whole landblocks of cells, models and textures, repeated in
// part, and ids that collide in the low bits.
TEST(FileMap, ManyStructuredIdsMatchAStandardMap) {
  dat::FileMap files;
  std::map<std::uint32_t, std::uint32_t> expected;
  std::uint32_t version = 0;
  const auto put = [&](std::uint32_t id) {
    files.insert_or_assign(id, entry(id, ++version));
    expected[id] = version;
  };
  for (std::uint32_t lb = 0; lb < 300; ++lb)
    for (std::uint32_t cell : {0x0100u, 0x0101u, 0x0102u, 0xFFFEu, 0xFFFFu}) put((lb << 16) | cell);
  // Enough entries that the storage moves from the heap to mapped memory and grows there.
  for (std::uint32_t i = 0; i < 400000; ++i) put(0x06000000u + i);
  for (std::uint32_t i = 0; i < 400000; i += 3) put(0x06000000u + i);  // replaced
  for (std::uint32_t i = 0; i < 2000; ++i) put(i << 20);
  put(0xFFFFFFFFu);
  EXPECT_EQ(files.size(), expected.size());
  EXPECT_EQ(versions(files), expected);
  for (const auto& [id, v] : expected) ASSERT_EQ(files.at(id).version, v) << id;
  EXPECT_FALSE(files.contains(0x06000000u + 400000));
  EXPECT_FALSE(files.contains(0x05000001u));
  const dat::FileMap copy = files;  // a copy of mapped storage
  EXPECT_EQ(versions(copy), expected);
}

TEST(FileMap, CopiesAreIndependentAndMovesEmptyTheSource) {
  dat::FileMap files;
  for (std::uint32_t i = 0; i < 100; ++i) files.insert_or_assign(i * 7, entry(i * 7, 1));
  dat::FileMap copy = files;
  copy.insert_or_assign(7, entry(7, 9));
  copy.insert_or_assign(1000000, entry(1000000, 1));
  EXPECT_EQ(files.at(7).version, 1u);
  EXPECT_EQ(files.size(), 100u);
  EXPECT_EQ(copy.size(), 101u);
  EXPECT_EQ(copy.at(7).version, 9u);

  dat::FileMap moved = std::move(copy);
  EXPECT_EQ(moved.size(), 101u);
  EXPECT_TRUE(copy.empty());  // NOLINT: a moved-from map is empty and usable
  copy.insert_or_assign(3, entry(3, 1));
  EXPECT_EQ(copy.size(), 1u);
  moved = files;
  EXPECT_EQ(versions(moved), versions(files));
  moved.clear();
  EXPECT_TRUE(moved.empty());
  EXPECT_FALSE(moved.contains(7));
}

}  // namespace
