#pragma once
// The contact sheet: one tile per decoded surface, as a binary PPM.

#include <cstdint>
#include <expected>
#include <filesystem>
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
