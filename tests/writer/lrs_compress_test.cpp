// The LRS compressor against the reader's decompressor.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dat/utils.hpp"
#include "writer/lrs.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Tokens {
  std::size_t literals = 0;
  std::size_t references = 0;
};

// Walks the token stream, checking every reference stays inside what is already written.
Tokens count_tokens(const Bytes& c, std::size_t total) {
  Tokens t;
  std::size_t i = 4, produced = 0;
  while (produced < total) {
    const std::uint8_t flags = c.at(i++);
    for (int bit = 7; bit >= 0 && produced < total; --bit) {
      if (flags & (1u << bit)) {
        const std::size_t distance = c.at(i) + 256u * (c.at(i + 1) >> 4);
        const std::size_t count = (c.at(i + 1) & 0x0F) + 2;
        EXPECT_GE(distance, 1u);
        EXPECT_LE(distance, produced);
        i += 2;
        produced += count;
        ++t.references;
      } else {
        ++i;
        ++produced;
        ++t.literals;
      }
    }
  }
  EXPECT_EQ(i, c.size()) << "trailing bytes after the last token";
  EXPECT_EQ(produced, total);
  return t;
}

TEST(LrsCompress, RoundTripsVariedData) {
  std::mt19937 rng(7);
  std::vector<Bytes> inputs;
  for (std::size_t n = 0; n <= 40; ++n) {  // every token count modulo 8
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>("abcab"[i % 5]);
    inputs.push_back(b);
  }
  inputs.push_back(Bytes(100000, 0x41));  // one long run
  Bytes noise(30000);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  inputs.push_back(noise);
  // Repeats exactly at, and just past, the largest distance.
  for (const std::size_t gap : {4095u, 4096u, 4094u}) {
    Bytes b(gap + 300);
    for (std::size_t i = 0; i < gap; ++i) b[i] = static_cast<std::uint8_t>(rng());
    for (std::size_t i = gap; i < b.size(); ++i) b[i] = b[i - gap];
    inputs.push_back(b);
  }
  // Text-like data with near repeats and runs of every length up to 40.
  Bytes mixed;
  for (int k = 0; k < 2000; ++k) {
    const std::string word = "surface" + std::to_string(rng() % 50) + " ";
    mixed.insert(mixed.end(), word.begin(), word.end());
    mixed.insert(mixed.end(), k % 41, static_cast<std::uint8_t>(k));
  }
  inputs.push_back(mixed);

  for (const auto& in : inputs) {
    const Bytes c = writer::compress_lrs(in);
    ASSERT_EQ(dat::decompress_lrs(c), in) << "length " << in.size();
    count_tokens(c, in.size());
  }
}

TEST(LrsCompress, RepetitiveDataUsesBackReferences) {
  const Bytes run(100000, 0x41);
  const Bytes c = writer::compress_lrs(run);
  const Tokens t = count_tokens(c, run.size());
  EXPECT_EQ(t.literals, 1u);
  EXPECT_GT(t.references, 5000u);
  EXPECT_LT(c.size(), run.size() / 7);

  Bytes pattern(50000);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i % 251);
  EXPECT_LT(writer::compress_lrs(pattern).size(), pattern.size() / 6);
}

}  // namespace
