#pragma once
// The contact sheet: one tile per decoded surface, as a binary PPM.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <vector>

#include "audit_record.hpp"
#include "report.hpp"

namespace tools {

struct SheetGeometry {
  std::uint64_t cols = 1;  // tiles per row
  std::uint64_t width = 0;
  std::uint64_t height = 0;
};

SheetGeometry sheet_geometry(std::size_t records, std::uint32_t tile, std::uint32_t cols);

// The tile x tile RGB pixels that a record contributes to a sheet: nearest-neighbour samples
// of its image (alpha ignored), black when the image has no pixels.
std::vector<std::uint8_t> sample_tile(const Decoded& d, std::uint32_t tile);

// Reduces a measured record to what a sheet with tiles of `tile` pixels needs of its pixels:
// its tile, when that is smaller than its image (the image is released), else its image.
// Without a sheet (nullopt) the pixels are released. The sheet drawn is the same either way.
void keep_for_sheet(Decoded& d, std::optional<std::uint32_t> tile);

// The PPM bytes: header then pixels. Fails when the sheet does not fit the format's
// 32-bit sizes.
std::expected<std::vector<std::uint8_t>, Failure> render_contact_sheet(
    const std::vector<Decoded>& decoded, std::uint32_t tile, std::uint32_t cols,
    std::string* header);

// Builds the sheet and writes it to `path` (the parent is not created here).
std::expected<void, Failure> write_contact_sheet(const std::vector<Decoded>& decoded,
                                                 const std::filesystem::path& path,
                                                 std::uint32_t tile, std::uint32_t cols);

}  // namespace tools
