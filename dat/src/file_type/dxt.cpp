#include "dat/file_type/dxt.hpp"

#include <algorithm>
#include <cstring>

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

// The four colours of a colour block (8 bytes: c0, c1, indices). `three_colour_allowed` is set
// only for DXT1, which switches to three-colour mode when c0 <= c1. The palette's alpha is 255
// except for the transparent entry of three-colour mode.
struct ColourPalette {
  std::uint32_t entry[4];
};

ColourPalette colour_palette(const std::uint8_t* block, bool three_colour_allowed) {
  const std::uint16_t raw0 = load_u16(block);
  const std::uint16_t raw1 = load_u16(block + 2);
  const Rgb8 c0 = expand_rgb565(raw0);
  const Rgb8 c1 = expand_rgb565(raw1);
  ColourPalette p;
  p.entry[0] = pack_rgba(c0.r, c0.g, c0.b, 255);
  p.entry[1] = pack_rgba(c1.r, c1.g, c1.b, 255);
  if (!three_colour_allowed || raw0 > raw1) {
    p.entry[2] = pack_rgba((2u * c0.r + c1.r) / 3, (2u * c0.g + c1.g) / 3,
                           (2u * c0.b + c1.b) / 3, 255);
    p.entry[3] = pack_rgba((c0.r + 2u * c1.r) / 3, (c0.g + 2u * c1.g) / 3,
                           (c0.b + 2u * c1.b) / 3, 255);
  } else {
    p.entry[2] = pack_rgba((c0.r + c1.r) / 2u, (c0.g + c1.g) / 2u, (c0.b + c1.b) / 2u, 255);
    p.entry[3] = 0;
  }
  return p;
}

// Block decoders: one block in, sixteen pixels out (pixel p = 4 * row + column).
using BlockPixels = std::uint32_t[16];

void decode_dxt1_block(const std::uint8_t* block, BlockPixels px) {
  const ColourPalette pal = colour_palette(block, true);
  std::uint32_t indices = load_u32(block + 4);
  for (int p = 0; p < 16; ++p, indices >>= 2) px[p] = pal.entry[indices & 3];
}

void decode_dxt3_block(const std::uint8_t* block, BlockPixels px) {
  ColourPalette pal = colour_palette(block + 8, false);
  for (auto& e : pal.entry) e &= 0x00FFFFFFu;  // alpha comes from the alpha data
  std::uint64_t alpha = load_u64(block);       // nibble p is pixel p, low nibble first
  std::uint32_t indices = load_u32(block + 12);
  for (int p = 0; p < 16; ++p, indices >>= 2, alpha >>= 4) {
    px[p] = pal.entry[indices & 3] | (static_cast<std::uint32_t>(alpha & 0xF) * 17u << 24);
  }
}

void decode_dxt5_block(const std::uint8_t* block, BlockPixels px) {
  const unsigned a0 = block[0];
  const unsigned a1 = block[1];
  std::uint32_t alpha[8];  // shifted into the alpha byte below
  alpha[0] = a0;
  alpha[1] = a1;
  if (a0 > a1) {
    for (unsigned k = 2; k < 8; ++k) alpha[k] = ((8 - k) * a0 + (k - 1) * a1) / 7;
  } else {
    for (unsigned k = 2; k < 6; ++k) alpha[k] = ((6 - k) * a0 + (k - 1) * a1) / 5;
    alpha[6] = 0;
    alpha[7] = 255;
  }
  for (auto& a : alpha) a <<= 24;

  ColourPalette pal = colour_palette(block + 8, false);
  for (auto& e : pal.entry) e &= 0x00FFFFFFu;
  std::uint64_t alpha_indices = load_u64(block) >> 16;  // bytes 2-7 as one 48-bit number
  std::uint32_t indices = load_u32(block + 12);
  for (int p = 0; p < 16; ++p, indices >>= 2, alpha_indices >>= 3) {
    px[p] = pal.entry[indices & 3] | alpha[alpha_indices & 7];
  }
}

using BlockDecoder = void (*)(const std::uint8_t*, BlockPixels);

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
  BlockPixels px;

  for (std::uint32_t by = 0; by < blocks_y; ++by) {
    const std::uint32_t y0 = by * 4;
    const std::uint32_t rows = std::min<std::uint32_t>(4, height - y0);
    std::uint8_t* row_dst = out.data() + y0 * pitch;
    for (std::uint32_t bx = 0; bx < blocks_x; ++bx, src += block_size) {
      if (blocks_left == 0) return out;  // the data ends before this block
      --blocks_left;
      decode_block(src, px);
      std::uint8_t* dst = row_dst + std::size_t{bx} * 16;
      if (rows == 4 && bx < full_x) {
        std::memcpy(dst, px, 16);
        std::memcpy(dst + pitch, px + 4, 16);
        std::memcpy(dst + 2 * pitch, px + 8, 16);
        std::memcpy(dst + 3 * pitch, px + 12, 16);
      } else {
        const std::size_t cols = std::min<std::uint32_t>(4, width - bx * 4);
        for (std::uint32_t r = 0; r < rows; ++r) std::memcpy(dst + r * pitch, px + 4 * r, cols * 4);
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
