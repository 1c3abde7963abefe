#include "dat/file_type/dxt.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dat {
namespace {

// Pixels are handled as little-endian u32 words: R in the low byte, A in the high byte, so one
// store writes one RGBA pixel.
constexpr std::uint32_t pack_rgba(unsigned r, unsigned g, unsigned b, unsigned a) {
  return r | (g << 8) | (b << 16) | (a << 24);
}

std::uint16_t load_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t load_u32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
std::uint64_t load_u64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

void store_u32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// The endpoint expansion of expand_rgb565, one table per channel width.
constexpr std::array<std::uint8_t, 32> kFive = [] {
  std::array<std::uint8_t, 32> t{};
  for (unsigned c = 0; c < 32; ++c) t[c] = expand_rgb565(static_cast<std::uint16_t>(c)).b;
  return t;
}();
constexpr std::array<std::uint8_t, 64> kSix = [] {
  std::array<std::uint8_t, 64> t{};
  for (unsigned c = 0; c < 64; ++c) t[c] = expand_rgb565(static_cast<std::uint16_t>(c << 5)).g;
  return t;
}();

// The four colours of a colour block (8 bytes: c0, c1, indices), alpha 255 except for the
// transparent entry of three-colour mode. `three_colour_allowed` is set only for DXT1, which
// switches to three-colour mode when c0 <= c1.
struct ColourPalette {
  std::uint32_t entry[4];
};

inline ColourPalette colour_palette(const std::uint8_t* block, bool three_colour_allowed) {
  const std::uint16_t raw0 = load_u16(block);
  const std::uint16_t raw1 = load_u16(block + 2);
  const unsigned r0 = kFive[raw0 >> 11], g0 = kSix[(raw0 >> 5) & 0x3F], b0 = kFive[raw0 & 0x1F];
  const unsigned r1 = kFive[raw1 >> 11], g1 = kSix[(raw1 >> 5) & 0x3F], b1 = kFive[raw1 & 0x1F];
  ColourPalette p;
  p.entry[0] = pack_rgba(r0, g0, b0, 255);
  p.entry[1] = pack_rgba(r1, g1, b1, 255);
  if (!three_colour_allowed || raw0 > raw1) {
    p.entry[2] = pack_rgba((2u * r0 + r1) / 3, (2u * g0 + g1) / 3, (2u * b0 + b1) / 3, 255);
    p.entry[3] = pack_rgba((r0 + 2u * r1) / 3, (g0 + 2u * g1) / 3, (b0 + 2u * b1) / 3, 255);
  } else {
    p.entry[2] = pack_rgba((r0 + r1) / 2u, (g0 + g1) / 2u, (b0 + b1) / 2u, 255);
    p.entry[3] = 0;
  }
  return p;
}

// The four-colour palette of DXT3 and DXT5 blocks, alpha 0 (their alpha data supplies it),
// and the eight-entry alpha table of DXT5, shifted into the alpha byte. With SSE2 the
// arithmetic runs in 16-bit lanes; the truncating divisions by 3, 5 and 7 become high halves
// of products with 21846, 13108 and 9363, which equal the quotients for every numerator the
// formulas can produce (at most 3 x 255, 5 x 255 and 7 x 255).
inline void four_colour_palette(const std::uint8_t* colour_block, std::uint32_t* entry) {
#if defined(__SSE2__)
  const std::uint16_t raw0 = load_u16(colour_block);
  const std::uint16_t raw1 = load_u16(colour_block + 2);
  const __m128i e = _mm_setr_epi16(kFive[raw0 >> 11], kSix[(raw0 >> 5) & 0x3F], kFive[raw0 & 0x1F], 0,
                                   kFive[raw1 >> 11], kSix[(raw1 >> 5) & 0x3F], kFive[raw1 & 0x1F], 0);
  const __m128i c0 = _mm_unpacklo_epi64(e, e);
  const __m128i c1 = _mm_unpackhi_epi64(e, e);
  // Lanes 0-2: 2 x C0 + C1; lanes 4-6: C0 + 2 x C1.
  const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(c0, _mm_setr_epi16(2, 2, 2, 0, 1, 1, 1, 0)),
                                    _mm_mullo_epi16(c1, _mm_setr_epi16(1, 1, 1, 0, 2, 2, 2, 0)));
  const __m128i thirds = _mm_mulhi_epu16(sum, _mm_set1_epi16(21846));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(entry), _mm_packus_epi16(e, thirds));
#else
  ColourPalette pal = colour_palette(colour_block, false);
  for (int k = 0; k < 4; ++k) entry[k] = pal.entry[k] & 0x00FFFFFFu;
#endif
}

inline void dxt5_alpha_table(const std::uint8_t* block, std::uint32_t* alpha) {
  const unsigned a0 = block[0];
  const unsigned a1 = block[1];
#if defined(__SSE2__)
  const __m128i v0 = _mm_set1_epi16(static_cast<short>(a0));
  const __m128i v1 = _mm_set1_epi16(static_cast<short>(a1));
  // Weights of a0 and a1 for k = 0..7 (k = 0 and 1 give a0 and a1 themselves).
  const __m128i eighths = _mm_mulhi_epu16(
      _mm_add_epi16(_mm_mullo_epi16(v0, _mm_setr_epi16(7, 0, 6, 5, 4, 3, 2, 1)),
                    _mm_mullo_epi16(v1, _mm_setr_epi16(0, 7, 1, 2, 3, 4, 5, 6))),
      _mm_set1_epi16(9363));
  const __m128i sixths = _mm_or_si128(
      _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(v0, _mm_setr_epi16(5, 0, 4, 3, 2, 1, 0, 0)),
                                    _mm_mullo_epi16(v1, _mm_setr_epi16(0, 5, 1, 2, 3, 4, 0, 0))),
                      _mm_set1_epi16(13108)),
      _mm_setr_epi16(0, 0, 0, 0, 0, 0, 0, 255));  // k = 6 gives 0, k = 7 gives 255
  const __m128i eight = a0 > a1 ? _mm_set1_epi16(-1) : _mm_setzero_si128();
  const __m128i q = _mm_or_si128(_mm_and_si128(eight, eighths), _mm_andnot_si128(eight, sixths));
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(alpha), _mm_slli_epi32(_mm_unpacklo_epi16(zero, q), 8));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(alpha + 4), _mm_slli_epi32(_mm_unpackhi_epi16(zero, q), 8));
#else
  alpha[0] = a0;
  alpha[1] = a1;
  if (a0 > a1) {
    for (unsigned k = 2; k < 8; ++k) alpha[k] = ((8 - k) * a0 + (k - 1) * a1) / 7;
  } else {
    for (unsigned k = 2; k < 6; ++k) alpha[k] = ((6 - k) * a0 + (k - 1) * a1) / 5;
    alpha[6] = 0;
    alpha[7] = 255;
  }
  for (int k = 0; k < 8; ++k) alpha[k] <<= 24;
#endif
}

// Block decoders: one block in, sixteen pixels out (pixel p = 4 * row + column), written as
// four rows of 16 bytes `pitch` apart. Each pixel is stored once, straight into place.
void decode_dxt1_block(const std::uint8_t* block, std::uint8_t* dst, std::size_t pitch) {
  const ColourPalette pal = colour_palette(block, true);
  std::uint32_t indices = load_u32(block + 4);
  for (int row = 0; row < 4; ++row, dst += pitch) {
    for (int col = 0; col < 4; ++col, indices >>= 2) store_u32(dst + 4 * col, pal.entry[indices & 3]);
  }
}

// DXT3 alpha, one byte (two pixels' nibbles, low nibble first) at a time: each nibble a
// gives alpha a × 17, already shifted into the alpha byte of its pixel word.
struct AlphaPair {
  std::uint32_t first, second;
};
constexpr std::array<AlphaPair, 256> kAlphaPairs = [] {
  std::array<AlphaPair, 256> t{};
  for (unsigned b = 0; b < 256; ++b) t[b] = AlphaPair{(b & 0xF) * 17u << 24, (b >> 4) * 17u << 24};
  return t;
}();

void decode_dxt3_block(const std::uint8_t* block, std::uint8_t* dst, std::size_t pitch) {
  alignas(16) std::uint32_t pal[4];  // alpha comes from the alpha data
  four_colour_palette(block + 8, pal);
  std::uint32_t indices = load_u32(block + 12);
  for (int row = 0; row < 4; ++row, dst += pitch) {
    for (int col = 0; col < 4; col += 2, indices >>= 4) {
      const AlphaPair a = kAlphaPairs[block[2 * row + col / 2]];  // pixels 4 * row + col, + 1
      store_u32(dst + 4 * col, pal[indices & 3] | a.first);
      store_u32(dst + 4 * col + 4, pal[(indices >> 2) & 3] | a.second);
    }
  }
}

void decode_dxt5_block(const std::uint8_t* block, std::uint8_t* dst, std::size_t pitch) {
  alignas(16) std::uint32_t alpha[8];
  dxt5_alpha_table(block, alpha);
  alignas(16) std::uint32_t pal[4];
  four_colour_palette(block + 8, pal);
  std::uint64_t alpha_indices = load_u64(block) >> 16;  // bytes 2-7 as one 48-bit number
  std::uint32_t indices = load_u32(block + 12);
  for (int row = 0; row < 4; ++row, dst += pitch) {
    for (int col = 0; col < 4; ++col, indices >>= 2, alpha_indices >>= 3) {
      store_u32(dst + 4 * col, pal[indices & 3] | alpha[alpha_indices & 7]);
    }
  }
}

using BlockDecoder = void (*)(const std::uint8_t*, std::uint8_t*, std::size_t);

// Walks the image's blocks, clips the edge blocks and owns the one output allocation.
template <BlockDecoder decode_block, std::size_t block_size>
std::vector<std::uint8_t> decompress(std::span<const std::uint8_t> data, std::uint32_t width,
                                     std::uint32_t height) {
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels == 0 || pixels > kMaxDecodedPixels) return {};

  std::vector<std::uint8_t> out(pixels * 4);
  const std::size_t pitch = std::size_t{width} * 4;
  const std::uint32_t blocks_x = (width + 3) / 4;  // width <= 2^26 here, so no wrap
  const std::uint32_t blocks_y = (height + 3) / 4;
  const std::uint32_t full_x = width / 4;  // blocks of a row that need no clipping in x
  std::size_t blocks_left = data.size() / block_size;
  const std::uint8_t* src = data.data();
  std::uint8_t edge[64];  // an edge block, decoded whole before it is clipped

  for (std::uint32_t by = 0; by < blocks_y; ++by) {
    const std::uint32_t y0 = by * 4;
    const std::uint32_t rows = std::min<std::uint32_t>(4, height - y0);
    std::uint8_t* row_dst = out.data() + y0 * pitch;
    for (std::uint32_t bx = 0; bx < blocks_x; ++bx, src += block_size) {
      if (blocks_left == 0) return out;  // the data ends before this block
      --blocks_left;
      std::uint8_t* dst = row_dst + std::size_t{bx} * 16;
      if (rows == 4 && bx < full_x) {
        decode_block(src, dst, pitch);
      } else {
        decode_block(src, edge, 16);
        const std::size_t cols = std::min<std::uint32_t>(4, width - bx * 4);
        for (std::uint32_t r = 0; r < rows; ++r) std::memcpy(dst + r * pitch, edge + 16 * r, cols * 4);
      }
    }
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> decompress_dxt1(std::span<const std::uint8_t> data, std::uint32_t width,
                                          std::uint32_t height) {
  return decompress<decode_dxt1_block, 8>(data, width, height);
}

std::vector<std::uint8_t> decompress_dxt3(std::span<const std::uint8_t> data, std::uint32_t width,
                                          std::uint32_t height) {
  return decompress<decode_dxt3_block, 16>(data, width, height);
}

std::vector<std::uint8_t> decompress_dxt5(std::span<const std::uint8_t> data, std::uint32_t width,
                                          std::uint32_t height) {
  return decompress<decode_dxt5_block, 16>(data, width, height);
}

}  // namespace dat
