#pragma once
// A small DXT1/DXT3/DXT5 encoder for building test and sample textures: the block's two most
// distant colours as endpoints, nearest palette entries as indices. Not a quality
// encoder; its point is predictable output in every mode the decoders distinguish.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace writer {

// RGB888 to 5:6:5 (red bits 11-15, green 5-10, blue 0-4), each channel rounded to nearest.
constexpr std::uint16_t pack_rgb565(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  const unsigned r5 = (r * 31u + 127u) / 255u;
  const unsigned g6 = (g * 63u + 127u) / 255u;
  const unsigned b5 = (b * 31u + 127u) / 255u;
  return static_cast<std::uint16_t>((r5 << 11) | (g6 << 5) | b5);
}

// Packs 16 per-pixel values (pixel p = 4 * row + column) into the blocks' index fields.
std::uint32_t pack_color_indices(const std::array<std::uint8_t, 16>& indices);  // 2 bits each
std::uint64_t pack_alpha_nibbles(const std::array<std::uint8_t, 16>& nibbles);  // DXT3, 4 bits
std::uint64_t pack_alpha_indices(const std::array<std::uint8_t, 16>& indices);  // DXT5, 3 bits

// Raw blocks with exactly the given fields.
std::array<std::uint8_t, 8> dxt1_block(std::uint16_t c0, std::uint16_t c1, std::uint32_t indices);
std::array<std::uint8_t, 16> dxt3_block(std::uint64_t alpha_nibbles, std::uint16_t c0,
                                        std::uint16_t c1, std::uint32_t indices);
std::array<std::uint8_t, 16> dxt5_block(std::uint8_t a0, std::uint8_t a1,
                                        std::uint64_t alpha_indices, std::uint16_t c0,
                                        std::uint16_t c1, std::uint32_t indices);

enum class Dxt1Mode {
  Auto,         // three-colour mode when some pixel has alpha < 128, else four-colour
  FourColour,   // c0 > c1; alpha ignored
  ThreeColour,  // c0 <= c1; pixels with alpha < 128 become transparent black
};

// Block encoders over 16 RGBA pixels, row-major (64 bytes).
std::array<std::uint8_t, 8> encode_dxt1_block(std::span<const std::uint8_t, 64> rgba,
                                              Dxt1Mode mode = Dxt1Mode::Auto);
std::array<std::uint8_t, 16> encode_dxt3_block(std::span<const std::uint8_t, 64> rgba);
std::array<std::uint8_t, 16> encode_dxt5_block(std::span<const std::uint8_t, 64> rgba);

// Image encoders over width × height RGBA pixels (at least 4 × width × height bytes). Edge
// blocks of sizes that are not multiples of 4 are padded by repeating the last column / row.
std::vector<std::uint8_t> encode_dxt1(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                      std::uint32_t height, Dxt1Mode mode = Dxt1Mode::Auto);
std::vector<std::uint8_t> encode_dxt3(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                      std::uint32_t height);
std::vector<std::uint8_t> encode_dxt5(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                      std::uint32_t height);

}  // namespace writer
