#include "writer/dxt_encoder.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <utility>

#include "dat/file_type/dxt.hpp"

namespace writer {
namespace {

struct Rgb {
  int r, g, b;
};

Rgb decoded(std::uint16_t c) {
  const dat::Rgb8 e = dat::expand_rgb565(c);
  return Rgb{e.r, e.g, e.b};
}

int distance2(const Rgb& a, const std::uint8_t* px) {
  const int dr = a.r - px[0], dg = a.g - px[1], db = a.b - px[2];
  return dr * dr + dg * dg + db * db;
}

// The colours the decoder will derive from (c0, c1): four-colour or three-colour mode.
std::array<Rgb, 4> palette(std::uint16_t c0, std::uint16_t c1, bool three_colour) {
  const Rgb a = decoded(c0), b = decoded(c1);
  if (three_colour) {
    return {a, b, Rgb{(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2}, Rgb{0, 0, 0}};
  }
  return {a, b, Rgb{(2 * a.r + b.r) / 3, (2 * a.g + b.g) / 3, (2 * a.b + b.b) / 3},
          Rgb{(a.r + 2 * b.r) / 3, (a.g + 2 * b.g) / 3, (a.b + 2 * b.b) / 3}};
}

// The two most distant colours among the pixels that `use` accepts, packed to 5:6:5, the
// larger packed value first. Exact for blocks of one or two colours, a fair line for gradients.
template <class Use>
std::pair<std::uint16_t, std::uint16_t> endpoints(std::span<const std::uint8_t, 64> rgba, Use use) {
  int best_a = -1, best_b = -1, best_d = -1;
  for (int a = 0; a < 16; ++a) {
    const std::uint8_t* pa = rgba.data() + 4 * a;
    if (!use(pa)) continue;
    for (int b = a; b < 16; ++b) {
      const std::uint8_t* pb = rgba.data() + 4 * b;
      if (!use(pb)) continue;
      const int d = distance2(Rgb{pa[0], pa[1], pa[2]}, pb);
      if (d > best_d) {
        best_a = a;
        best_b = b;
        best_d = d;
      }
    }
  }
  if (best_a < 0) return {0, 0};
  const std::uint8_t* pa = rgba.data() + 4 * best_a;
  const std::uint8_t* pb = rgba.data() + 4 * best_b;
  const std::uint16_t ca = pack_rgb565(pa[0], pa[1], pa[2]);
  const std::uint16_t cb = pack_rgb565(pb[0], pb[1], pb[2]);
  return {std::max(ca, cb), std::min(ca, cb)};
}

// Nearest of the first `choices` palette entries for each pixel; `transparent` pixels get 3.
template <class Transparent>
std::uint32_t nearest_indices(std::span<const std::uint8_t, 64> rgba, const std::array<Rgb, 4>& pal,
                              int choices, Transparent transparent) {
  std::array<std::uint8_t, 16> idx{};
  for (int p = 0; p < 16; ++p) {
    const std::uint8_t* px = rgba.data() + 4 * p;
    if (transparent(px)) {
      idx[p] = 3;
      continue;
    }
    int best = 0;
    for (int i = 1; i < choices; ++i) {
      if (distance2(pal[i], px) < distance2(pal[best], px)) best = i;
    }
    idx[p] = static_cast<std::uint8_t>(best);
  }
  return pack_color_indices(idx);
}

// The four-colour block of DXT3 and DXT5 (c0 >= c1; the decoders ignore the order there).
void four_colour(std::span<const std::uint8_t, 64> rgba, std::uint16_t& c0, std::uint16_t& c1,
                 std::uint32_t& indices) {
  std::tie(c0, c1) = endpoints(rgba, [](const std::uint8_t*) { return true; });
  indices = nearest_indices(rgba, palette(c0, c1, false), 4, [](const std::uint8_t*) { return false; });
}

template <std::size_t N, class EncodeBlock>
std::vector<std::uint8_t> encode_image(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                       std::uint32_t height, EncodeBlock encode_block) {
  std::vector<std::uint8_t> out;
  if (width == 0 || height == 0) return out;
  const std::uint32_t bw = (width + 3) / 4, bh = (height + 3) / 4;
  out.reserve(std::size_t{bw} * bh * N);
  std::array<std::uint8_t, 64> block;
  for (std::uint32_t by = 0; by < bh; ++by) {
    for (std::uint32_t bx = 0; bx < bw; ++bx) {
      for (std::uint32_t j = 0; j < 4; ++j) {
        for (std::uint32_t i = 0; i < 4; ++i) {
          const std::size_t x = std::min(bx * 4 + i, width - 1);
          const std::size_t y = std::min(by * 4 + j, height - 1);
          std::memcpy(&block[(j * 4 + i) * 4], rgba.data() + (y * width + x) * 4, 4);
        }
      }
      const std::array<std::uint8_t, N> encoded = encode_block(std::span<const std::uint8_t, 64>(block));
      out.insert(out.end(), encoded.begin(), encoded.end());
    }
  }
  return out;
}

void put16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }
void put32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
void put64(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

}  // namespace

std::uint32_t pack_color_indices(const std::array<std::uint8_t, 16>& indices) {
  std::uint32_t w = 0;
  for (int p = 0; p < 16; ++p) w |= std::uint32_t{indices[p] & 3u} << (2 * p);
  return w;
}

std::uint64_t pack_alpha_nibbles(const std::array<std::uint8_t, 16>& nibbles) {
  std::uint64_t w = 0;
  for (int p = 0; p < 16; ++p) w |= std::uint64_t{nibbles[p] & 0xFu} << (4 * p);
  return w;
}

std::uint64_t pack_alpha_indices(const std::array<std::uint8_t, 16>& indices) {
  std::uint64_t w = 0;
  for (int p = 0; p < 16; ++p) w |= std::uint64_t{indices[p] & 7u} << (3 * p);
  return w;
}

std::array<std::uint8_t, 8> dxt1_block(std::uint16_t c0, std::uint16_t c1, std::uint32_t indices) {
  std::array<std::uint8_t, 8> b{};
  put16(&b[0], c0);
  put16(&b[2], c1);
  put32(&b[4], indices);
  return b;
}

std::array<std::uint8_t, 16> dxt3_block(std::uint64_t alpha_nibbles, std::uint16_t c0,
                                        std::uint16_t c1, std::uint32_t indices) {
  std::array<std::uint8_t, 16> b{};
  put64(&b[0], alpha_nibbles);
  const auto colour = dxt1_block(c0, c1, indices);
  std::memcpy(&b[8], colour.data(), 8);
  return b;
}

std::array<std::uint8_t, 16> dxt5_block(std::uint8_t a0, std::uint8_t a1,
                                        std::uint64_t alpha_indices, std::uint16_t c0,
                                        std::uint16_t c1, std::uint32_t indices) {
  std::array<std::uint8_t, 16> b{};
  put64(&b[0], a0 | (std::uint64_t{a1} << 8) | ((alpha_indices & 0xFFFFFFFFFFFFull) << 16));
  const auto colour = dxt1_block(c0, c1, indices);
  std::memcpy(&b[8], colour.data(), 8);
  return b;
}

std::array<std::uint8_t, 8> encode_dxt1_block(std::span<const std::uint8_t, 64> rgba,
                                              Dxt1Mode mode) {
  const auto is_transparent = [](const std::uint8_t* px) { return px[3] < 128; };
  if (mode == Dxt1Mode::Auto) {
    bool any_transparent = false;
    for (int p = 0; p < 16; ++p) any_transparent |= is_transparent(rgba.data() + 4 * p);
    mode = any_transparent ? Dxt1Mode::ThreeColour : Dxt1Mode::FourColour;
  }

  if (mode == Dxt1Mode::ThreeColour) {
    auto [hi, lo] = endpoints(rgba, [&](const std::uint8_t* px) { return !is_transparent(px); });
    const std::uint16_t c0 = lo, c1 = hi;  // c0 <= c1 selects this mode
    const std::uint32_t indices = nearest_indices(rgba, palette(c0, c1, true), 3, is_transparent);
    return dxt1_block(c0, c1, indices);
  }

  auto [c0, c1] = endpoints(rgba, [](const std::uint8_t*) { return true; });
  if (c0 == c1) {
    // Four-colour mode needs c0 > c1: move one endpoint by the smallest step.
    if (c1 > 0) {
      --c1;
    } else {
      c0 = 1;
    }
  }
  const std::uint32_t indices =
      nearest_indices(rgba, palette(c0, c1, false), 4, [](const std::uint8_t*) { return false; });
  return dxt1_block(c0, c1, indices);
}

std::array<std::uint8_t, 16> encode_dxt3_block(std::span<const std::uint8_t, 64> rgba) {
  std::array<std::uint8_t, 16> nibbles{};
  for (int p = 0; p < 16; ++p) nibbles[p] = static_cast<std::uint8_t>((rgba[4 * p + 3] + 8) / 17);
  std::uint16_t c0, c1;
  std::uint32_t indices;
  four_colour(rgba, c0, c1, indices);
  return dxt3_block(pack_alpha_nibbles(nibbles), c0, c1, indices);
}

std::array<std::uint8_t, 16> encode_dxt5_block(std::span<const std::uint8_t, 64> rgba) {
  std::uint8_t a0 = 0, a1 = 255;
  for (int p = 0; p < 16; ++p) {
    a0 = std::max(a0, rgba[4 * p + 3]);
    a1 = std::min(a1, rgba[4 * p + 3]);
  }
  std::array<std::uint8_t, 16> idx{};  // a0 == a1: every pixel takes index 0
  if (a0 > a1) {
    // Eight-value mode: the same table as the decoder's.
    int values[8] = {a0, a1};
    for (int k = 2; k < 8; ++k) values[k] = ((8 - k) * a0 + (k - 1) * a1) / 7;
    for (int p = 0; p < 16; ++p) {
      const int a = rgba[4 * p + 3];
      int best = 0;
      for (int k = 1; k < 8; ++k) {
        if (std::abs(values[k] - a) < std::abs(values[best] - a)) best = k;
      }
      idx[p] = static_cast<std::uint8_t>(best);
    }
  }
  std::uint16_t c0, c1;
  std::uint32_t indices;
  four_colour(rgba, c0, c1, indices);
  return dxt5_block(a0, a1, pack_alpha_indices(idx), c0, c1, indices);
}

std::vector<std::uint8_t> encode_dxt1(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                      std::uint32_t height, Dxt1Mode mode) {
  return encode_image<8>(rgba, width, height,
                         [mode](std::span<const std::uint8_t, 64> b) { return encode_dxt1_block(b, mode); });
}

std::vector<std::uint8_t> encode_dxt3(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                      std::uint32_t height) {
  return encode_image<16>(rgba, width, height, encode_dxt3_block);
}

std::vector<std::uint8_t> encode_dxt5(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                      std::uint32_t height) {
  return encode_image<16>(rgba, width, height, encode_dxt5_block);
}

}  // namespace writer
