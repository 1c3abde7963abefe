#include <gtest/gtest.h>

#include "contact_sheet.hpp"

namespace {

tools::Decoded image(std::uint32_t w, std::uint32_t h, std::vector<std::uint8_t> rgba) {
  tools::Decoded d;
  d.width = w;
  d.height = h;
  d.rgba = std::move(rgba);
  return d;
}

tools::Decoded solid(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
  return image(1, 1, {r, g, b, a});
}

// A w x h image whose pixel (x, y) is (x, y, 7, 0).
tools::Decoded coords(std::uint32_t w, std::uint32_t h) {
  std::vector<std::uint8_t> rgba;
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x)
      rgba.insert(rgba.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7, 0});
  return image(w, h, rgba);
}

struct Sheet {
  std::string header;
  std::vector<std::uint8_t> pixels;
  std::uint64_t width;
  std::array<std::uint8_t, 3> at(std::uint64_t x, std::uint64_t y) const {
    const auto* p = &pixels[(y * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

Sheet render(const std::vector<tools::Decoded>& d, std::uint32_t tile, std::uint32_t cols) {
  Sheet s;
  auto px = tools::render_contact_sheet(d, tile, cols, &s.header);
  EXPECT_TRUE(px.has_value());
  s.pixels = std::move(*px);
  s.width = tools::sheet_geometry(d.size(), tile, cols).width;
  return s;
}

using Rgb = std::array<std::uint8_t, 3>;

TEST(ContactSheet, GeometryEdgeCases) {
  EXPECT_EQ(render({}, 64, 10).header, "P6\n640 0\n255\n");
  EXPECT_TRUE(render({}, 64, 10).pixels.empty());
  const std::vector<tools::Decoded> three = {solid(1, 2, 3), solid(4, 5, 6), solid(7, 8, 9)};
  EXPECT_EQ(render(three, 0, 10).header, "P6\n0 0\n255\n");
  EXPECT_EQ(render(three, 5, 0).header, "P6\n5 15\n255\n");  // cols 0 behaves as 1
  std::vector<tools::Decoded> twelve(12, solid(0, 0, 0));
  const auto s = render(twelve, 64, 10);
  EXPECT_EQ(s.header, "P6\n640 128\n255\n");
  EXPECT_EQ(s.pixels.size(), 245760u);
}

TEST(ContactSheet, TilesBackgroundAndAlpha) {
  const std::vector<tools::Decoded> three = {solid(200, 100, 50, 0), solid(4, 5, 6),
                                             image(0, 3, {})};
  const auto s = render(three, 2, 2);
  EXPECT_EQ(s.header, "P6\n4 4\n255\n");
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) {
      EXPECT_EQ(s.at(x, y), (Rgb{200, 100, 50}));  // alpha 0 is not transparent
      EXPECT_EQ(s.at(x + 2, y), (Rgb{4, 5, 6}));
      EXPECT_EQ(s.at(x, y + 2), (Rgb{0, 0, 0}));  // width 0: black tile
      EXPECT_EQ(s.at(x + 2, y + 2), (Rgb{32, 32, 32}));  // unfilled position
    }
}

TEST(ContactSheet, NearestNeighbourSampling) {
  const auto down = render({coords(4, 4)}, 2, 1);
  EXPECT_EQ(down.at(1, 1), (Rgb{2, 2, 7}));
  EXPECT_EQ(down.at(0, 1), (Rgb{0, 2, 7}));
  const auto up = render({coords(4, 4)}, 8, 1);
  EXPECT_EQ(up.at(0, 3), (Rgb{0, 1, 7}));
  EXPECT_EQ(up.at(1, 3), (Rgb{0, 1, 7}));
  EXPECT_EQ(up.at(2, 3), (Rgb{1, 1, 7}));
  EXPECT_EQ(up.at(7, 7), (Rgb{3, 3, 7}));
  const auto odd = render({coords(5, 3)}, 4, 1);  // columns 0,1,2,3 from 0,1,2,3; rows 0,0,1,2
  EXPECT_EQ(odd.at(3, 1), (Rgb{3, 0, 7}));
  EXPECT_EQ(odd.at(3, 3), (Rgb{3, 2, 7}));
}

// A run keeps of each record only its tile when that is smaller than its image; the sheet
// drawn from the reduced records must be the sheet drawn from the images.
TEST(ContactSheet, RecordsReducedToTheirTilesDrawTheSameSheet) {
  const std::vector<tools::Decoded> records = {coords(16, 16), coords(5, 3), solid(9, 8, 7),
                                               image(0, 4, {}), coords(1, 40), coords(40, 1)};
  for (const std::uint32_t tile : {0u, 1u, 2u, 3u, 7u, 8u, 9u, 16u, 17u, 64u}) {
    SCOPED_TRACE(testing::Message() << "tile " << tile);
    std::vector<tools::Decoded> reduced = records;
    for (auto& d : reduced) tools::keep_for_sheet(d, tile);
    for (std::size_t k = 0; k < records.size(); ++k) {
      // Never more than the image: the tile is kept only when it is strictly smaller.
      EXPECT_LE(reduced[k].rgba.size() + reduced[k].tile.size(), records[k].rgba.size());
      if (!reduced[k].tile.empty()) {
        EXPECT_TRUE(reduced[k].rgba.empty());
        EXPECT_EQ(reduced[k].tile, tools::sample_tile(records[k], tile));
      }
    }
    EXPECT_EQ(!reduced[0].tile.empty(), tile > 0 && 3 * tile * tile < 16 * 16 * 4);
    EXPECT_EQ(render(reduced, tile, 4).pixels, render(records, tile, 4).pixels);
    EXPECT_EQ(render(reduced, tile, 0).pixels, render(records, tile, 0).pixels);
  }
  // Without a sheet nothing of the pixels is kept; the sizes stay.
  tools::Decoded none = coords(16, 16);
  tools::keep_for_sheet(none, std::nullopt);
  EXPECT_TRUE(none.rgba.empty());
  EXPECT_TRUE(none.tile.empty());
  EXPECT_EQ(none.width, 16u);
  EXPECT_EQ(tools::sample_tile(image(0, 4, {}), 2), std::vector<std::uint8_t>(12, 0));
}

TEST(ContactSheet, TooLargeFailsWithItsMessage) {
  const std::vector<tools::Decoded> one = {solid(1, 1, 1)};
  const auto r = tools::render_contact_sheet(one, 65536, 65536, nullptr);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().message, "contact sheet too large: 4294967296 x 65536 pixels");
  EXPECT_TRUE(r.error().causes.empty());
  const auto r2 = tools::render_contact_sheet(one, 40000, 1, nullptr);  // 4.8e9 bytes
  ASSERT_FALSE(r2.has_value());
  EXPECT_EQ(r2.error().message, "contact sheet too large: 40000 x 40000 pixels");
  // Sides that each fit in 32 bits while their byte count is beyond even 64 bits.
  const auto r3 = tools::render_contact_sheet(one, 3000000000u, 1, nullptr);
  ASSERT_FALSE(r3.has_value());
  EXPECT_EQ(r3.error().message, "contact sheet too large: 3000000000 x 3000000000 pixels");
}

}  // namespace
