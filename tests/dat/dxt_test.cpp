// DXT1/3/5 decoders: endpoint expansion, both colour modes, alpha tables, clipping, short data.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "dat/file_type/dxt.hpp"
#include "writer/dxt_encoder.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixel = std::array<int, 4>;

Pixel pixel_at(const Bytes& img, std::uint32_t width, std::uint32_t x, std::uint32_t y) {
  const std::size_t o = (std::size_t{y} * width + x) * 4;
  return {img[o], img[o + 1], img[o + 2], img[o + 3]};
}

template <std::size_t N>
Bytes concat(std::initializer_list<std::array<std::uint8_t, N>> blocks) {
  Bytes out;
  for (const auto& b : blocks) out.insert(out.end(), b.begin(), b.end());
  return out;
}

TEST(DxtEndpoints, IntegerExpansionNotBitReplication) {
  const int five[32] = {0,   8,   16,  25,  33,  41,  49,  58,  66,  74,  82,
                        90,  99,  107, 115, 123, 132, 140, 148, 156, 164, 173,
                        181, 189, 197, 205, 214, 222, 230, 238, 247, 255};
  for (unsigned c = 0; c < 32; ++c) {
    const dat::Rgb8 e = dat::expand_rgb565(static_cast<std::uint16_t>((c << 11) | c));
    EXPECT_EQ(e.r, five[c]) << c;
    EXPECT_EQ(e.b, five[c]) << c;
    EXPECT_EQ(e.g, 0);
  }
  EXPECT_EQ(dat::expand_rgb565(53 << 5).g, 214);
  EXPECT_EQ(dat::expand_rgb565(63 << 5).g, 255);
  EXPECT_EQ(dat::expand_rgb565(1 << 5).g, 4);
}

TEST(Dxt1, FourColourMode) {
  const Bytes data = concat<8>({writer::dxt1_block(0xF800, 0x001F, 0xE4E4E4E4)});
  const Bytes img = dat::decompress_dxt1(data, 4, 4);
  ASSERT_EQ(img.size(), 64u);
  const Pixel row[4] = {{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255}, {85, 0, 170, 255}};
  for (std::uint32_t y = 0; y < 4; ++y) {
    for (std::uint32_t x = 0; x < 4; ++x) EXPECT_EQ(pixel_at(img, 4, x, y), row[x]) << x << "," << y;
  }
}

TEST(Dxt1, ThreeColourModeWhenC0NotAboveC1) {
  const Bytes swapped = dat::decompress_dxt1(concat<8>({writer::dxt1_block(0x001F, 0xF800, 0xE4E4E4E4)}), 4, 4);
  const Pixel row[4] = {{0, 0, 255, 255}, {255, 0, 0, 255}, {127, 0, 127, 255}, {0, 0, 0, 0}};
  for (std::uint32_t x = 0; x < 4; ++x) EXPECT_EQ(pixel_at(swapped, 4, x, 3), row[x]);

  // Equal endpoints are three-colour mode too: index 3 is transparent black.
  const Bytes equal = dat::decompress_dxt1(concat<8>({writer::dxt1_block(0x07E0, 0x07E0, 0xE4E4E4E4)}), 4, 4);
  const Pixel green = {0, 255, 0, 255};
  EXPECT_EQ(pixel_at(equal, 4, 0, 0), green);
  EXPECT_EQ(pixel_at(equal, 4, 2, 0), green);
  EXPECT_EQ(pixel_at(equal, 4, 3, 0), (Pixel{0, 0, 0, 0}));
}

TEST(Dxt1, PixelNumbersWithinTheBlock) {
  // Pixel p takes bits 2p, 2p+1: give each row its own index.
  const std::uint32_t indices = writer::pack_color_indices({0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3});
  const Bytes img = dat::decompress_dxt1(concat<8>({writer::dxt1_block(0xF800, 0x001F, indices)}), 4, 4);
  const Pixel by_row[4] = {{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255}, {85, 0, 170, 255}};
  for (std::uint32_t y = 0; y < 4; ++y) {
    for (std::uint32_t x = 0; x < 4; ++x) EXPECT_EQ(pixel_at(img, 4, x, y), by_row[y]);
  }
}

TEST(Dxt3, AlwaysFourColourWithExplicitAlpha) {
  std::array<std::uint8_t, 16> nibbles{};
  nibbles[0] = 0xF;
  nibbles[1] = 0x8;
  nibbles[2] = 0x1;
  nibbles[15] = 0x3;
  // c0 < c1 would be three-colour mode in DXT1; here index 2 and 3 interpolate by thirds.
  const Bytes data = concat<16>({writer::dxt3_block(writer::pack_alpha_nibbles(nibbles), 0x001F, 0xF800, 0xE4E4E4E4)});
  const Bytes img = dat::decompress_dxt3(data, 4, 4);
  EXPECT_EQ(pixel_at(img, 4, 0, 0), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(pixel_at(img, 4, 1, 0), (Pixel{255, 0, 0, 136}));
  EXPECT_EQ(pixel_at(img, 4, 2, 0), (Pixel{85, 0, 170, 17}));
  EXPECT_EQ(pixel_at(img, 4, 3, 0), (Pixel{170, 0, 85, 0}));
  EXPECT_EQ(pixel_at(img, 4, 3, 3), (Pixel{170, 0, 85, 51}));
}

TEST(Dxt5, AlphaTablesOfBothModes) {
  // Pixels 0-7 use alpha indices 0-7, pixels 8-15 use 7-0 (crossing the byte boundaries).
  const std::uint64_t ramp = writer::pack_alpha_indices({0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0});
  struct Case {
    std::uint8_t a0, a1;
    int alpha[8];
  };
  const Case cases[] = {
      {255, 0, {255, 0, 218, 182, 145, 109, 72, 36}},
      {0, 255, {0, 255, 51, 102, 153, 204, 0, 255}},
      {100, 100, {100, 100, 100, 100, 100, 100, 0, 255}},
  };
  for (const auto& c : cases) {
    // c0 < c1: still the four-colour palette
    const Bytes data = concat<16>({writer::dxt5_block(c.a0, c.a1, ramp, 0x001F, 0xF800, 0xFFFFFFFF)});
    const Bytes img = dat::decompress_dxt5(data, 4, 4);
    for (int p = 0; p < 16; ++p) {
      const int k = p < 8 ? p : 15 - p;
      const Pixel px = pixel_at(img, 4, p % 4, p / 4);
      EXPECT_EQ(px, (Pixel{170, 0, 85, c.alpha[k]})) << int{c.a0} << " " << int{c.a1} << " k=" << k;
    }
  }
}

// Every pair of alpha endpoints, every 3-bit index: one block per pair in a 1024 x 1024 image,
// pixel p of each block using index p mod 8.
TEST(Dxt5, EveryAlphaPairAndIndexFollowsTheFormula) {
  std::uint64_t indices = 0;
  for (int p = 0; p < 16; ++p) indices |= std::uint64_t(p % 8) << (3 * p);
  Bytes data;
  for (int a0 = 0; a0 < 256; ++a0) {
    for (int a1 = 0; a1 < 256; ++a1) {
      data.push_back(static_cast<std::uint8_t>(a0));
      data.push_back(static_cast<std::uint8_t>(a1));
      for (int b = 0; b < 6; ++b) data.push_back(static_cast<std::uint8_t>(indices >> (8 * b)));
      for (int b = 0; b < 8; ++b) data.push_back(0);  // black colour block
    }
  }
  const Bytes img = dat::decompress_dxt5(data, 1024, 1024);
  ASSERT_EQ(img.size(), 1024u * 1024 * 4);
  int wrong = 0;
  for (int a0 = 0; a0 < 256; ++a0) {
    for (int a1 = 0; a1 < 256; ++a1) {
      const int block = a0 * 256 + a1, bx = block % 256, by = block / 256;
      for (int p = 0; p < 16; ++p) {
        const int k = p % 8;
        int want;
        if (k == 0) want = a0;
        else if (k == 1) want = a1;
        else if (a0 > a1) want = ((8 - k) * a0 + (k - 1) * a1) / 7;
        else if (k <= 5) want = ((6 - k) * a0 + (k - 1) * a1) / 5;
        else want = k == 6 ? 0 : 255;
        const std::size_t at = ((std::size_t(by) * 4 + p / 4) * 1024 + bx * 4 + p % 4) * 4 + 3;
        if (img[at] != want && ++wrong <= 5) ADD_FAILURE() << a0 << "," << a1 << " k " << k;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(DxtImage, EdgeBlocksAreClipped) {
  // 5 × 3: two blocks, red then blue; 15 pixels written, nothing outside the image.
  Bytes data = concat<8>({writer::dxt1_block(0xF800, 0x0000, 0), writer::dxt1_block(0x001F, 0x0000, 0)});
  data.push_back(0x55);  // extra data is ignored
  const Bytes img = dat::decompress_dxt1(data, 5, 3);
  ASSERT_EQ(img.size(), 5u * 3 * 4);
  for (std::uint32_t y = 0; y < 3; ++y) {
    for (std::uint32_t x = 0; x < 5; ++x) {
      EXPECT_EQ(pixel_at(img, 5, x, y), (x < 4 ? Pixel{255, 0, 0, 255} : Pixel{0, 0, 255, 255}));
    }
  }
}

TEST(DxtImage, ShortDataStopsAtTheFirstIncompleteBlock) {
  const auto red = writer::dxt1_block(0xF800, 0x0000, 0);
  Bytes data = concat<8>({red, red, red});
  data.resize(24 + 7, 0xFF);  // the fourth block is incomplete
  const Bytes img = dat::decompress_dxt1(data, 8, 8);
  ASSERT_EQ(img.size(), 8u * 8 * 4);
  for (std::uint32_t y = 0; y < 8; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) {
      const bool last_block = x >= 4 && y >= 4;
      EXPECT_EQ(pixel_at(img, 8, x, y), (last_block ? Pixel{0, 0, 0, 0} : Pixel{255, 0, 0, 255}));
    }
  }

  EXPECT_EQ(dat::decompress_dxt3({}, 4, 4), Bytes(64, 0));
  EXPECT_EQ(dat::decompress_dxt5(Bytes(15, 0xFF), 4, 4), Bytes(64, 0));
}

TEST(DxtImage, NoPixelsOrOversizedGiveEmpty) {
  const Bytes data(64, 0xAB);
  EXPECT_TRUE(dat::decompress_dxt1(data, 0, 4).empty());
  EXPECT_TRUE(dat::decompress_dxt3(data, 4, 0).empty());
  EXPECT_TRUE(dat::decompress_dxt5(data, 0xFFFFFFFF, 0xFFFFFFFF).empty());
  EXPECT_TRUE(dat::decompress_dxt1(data, 8193, 8192).empty());
}

// A per-pixel restatement of the block formats, for comparison on random data.
Pixel reference_pixel(int format, const Bytes& data, std::uint32_t width, std::uint32_t x, std::uint32_t y) {
  const std::size_t block_size = format == 1 ? 8 : 16;
  const std::size_t block = std::size_t{y / 4} * ((width + 3) / 4) + x / 4;
  if ((block + 1) * block_size > data.size()) return {0, 0, 0, 0};
  const std::uint8_t* b = data.data() + block * block_size;
  const int p = static_cast<int>((y % 4) * 4 + x % 4);
  const std::uint8_t* colour = format == 1 ? b : b + 8;
  const unsigned raw0 = colour[0] | (colour[1] << 8), raw1 = colour[2] | (colour[3] << 8);
  const std::uint32_t word = colour[4] | (colour[5] << 8) | (colour[6] << 16) | (std::uint32_t{colour[7]} << 24);
  const int index = (word >> (2 * p)) & 3;
  const dat::Rgb8 e0 = dat::expand_rgb565(static_cast<std::uint16_t>(raw0));
  const dat::Rgb8 e1 = dat::expand_rgb565(static_cast<std::uint16_t>(raw1));
  const int c0[3] = {e0.r, e0.g, e0.b}, c1[3] = {e1.r, e1.g, e1.b};
  Pixel px{0, 0, 0, 255};
  const bool three = format == 1 && raw0 <= raw1;
  for (int ch = 0; ch < 3; ++ch) {
    if (index == 0) px[ch] = c0[ch];
    if (index == 1) px[ch] = c1[ch];
    if (index == 2) px[ch] = three ? (c0[ch] + c1[ch]) / 2 : (2 * c0[ch] + c1[ch]) / 3;
    if (index == 3) px[ch] = three ? 0 : (c0[ch] + 2 * c1[ch]) / 3;
  }
  if (three && index == 3) px[3] = 0;
  if (format == 3) px[3] = ((b[p / 2] >> (p % 2 == 0 ? 0 : 4)) & 0xF) * 17;
  if (format == 5) {
    const int a0 = b[0], a1 = b[1];
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= std::uint64_t{b[2 + i]} << (8 * i);
    const int k = static_cast<int>((bits >> (3 * p)) & 7);
    if (k == 0) px[3] = a0;
    else if (k == 1) px[3] = a1;
    else if (a0 > a1) px[3] = ((8 - k) * a0 + (k - 1) * a1) / 7;
    else if (k <= 5) px[3] = ((6 - k) * a0 + (k - 1) * a1) / 5;
    else px[3] = k == 6 ? 0 : 255;
  }
  return px;
}

TEST(DxtImage, MatchesPerPixelReferenceOnRandomData) {
  std::mt19937 rng(12345);
  const std::pair<std::uint32_t, std::uint32_t> sizes[] = {{1, 1}, {3, 7}, {4, 4}, {9, 5}, {12, 8}, {13, 13}, {16, 3}};
  for (int format : {1, 3, 5}) {
    for (const auto& [w, h] : sizes) {
      const std::size_t block_size = format == 1 ? 8 : 16;
      const std::size_t full = std::size_t{(w + 3) / 4} * ((h + 3) / 4) * block_size;
      for (std::size_t len : {full, full - 1, full / 2}) {
        Bytes data(len);
        for (auto& v : data) v = static_cast<std::uint8_t>(rng());
        const Bytes img = format == 1 ? dat::decompress_dxt1(data, w, h)
                          : format == 3 ? dat::decompress_dxt3(data, w, h)
                                        : dat::decompress_dxt5(data, w, h);
        ASSERT_EQ(img.size(), std::size_t{w} * h * 4);
        for (std::uint32_t y = 0; y < h; ++y) {
          for (std::uint32_t x = 0; x < w; ++x) {
            ASSERT_EQ(pixel_at(img, w, x, y), reference_pixel(format, data, w, x, y))
                << "DXT" << format << " " << w << "x" << h << " len " << len << " at " << x << "," << y;
          }
        }
      }
    }
  }
}

}  // namespace
