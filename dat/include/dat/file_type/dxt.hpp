#pragma once
// Decoders of the block-compressed pixel formats DXT1, DXT3 and DXT5 into RGBA8.
//
// Blocks cover 4 × 4 pixels, block row by block row from the top, left to right; edge blocks
// are decoded whole and clipped to the image. None of the decoders fails: data that ends
// before the last block leaves the undecoded pixels at (0, 0, 0, 0), and extra data after the
// last block is ignored.

#include <cstdint>
#include <span>
#include <vector>

namespace dat {

// The largest image (in pixels) that the texture decoders produce: 8192 × 8192. Larger sizes
// come only from damaged records and would need an unreasonable allocation.
inline constexpr std::uint64_t kMaxDecodedPixels = 67'108'864;

// Each returns width × height × 4 bytes (rows top to bottom, bytes R, G, B, A), or an empty
// buffer when width or height is 0 or width × height exceeds kMaxDecodedPixels (refused
// before anything is allocated).
std::vector<std::uint8_t> decompress_dxt1(std::span<const std::uint8_t> data, std::uint32_t width,
                                          std::uint32_t height);
std::vector<std::uint8_t> decompress_dxt3(std::span<const std::uint8_t> data, std::uint32_t width,
                                          std::uint32_t height);
std::vector<std::uint8_t> decompress_dxt5(std::span<const std::uint8_t> data, std::uint32_t width,
                                          std::uint32_t height);

struct Rgb8 {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb8&) const = default;
};

// Widens a 5:6:5 endpoint colour (red bits 11-15, green 5-10, blue 0-4) to 8 bits per channel
// with the decoders' own integer formula (not bit replication).
constexpr Rgb8 expand_rgb565(std::uint16_t c) {
  const auto five = [](unsigned v) {
    const unsigned t = v * 255 + 16;
    return static_cast<std::uint8_t>((t + (t >> 5)) >> 5);
  };
  const auto six = [](unsigned v) {
    const unsigned t = v * 255 + 32;
    return static_cast<std::uint8_t>((t + (t >> 6)) >> 6);
  };
  return Rgb8{five((c >> 11) & 0x1F), six((c >> 5) & 0x3F), five(c & 0x1F)};
}

}  // namespace dat
