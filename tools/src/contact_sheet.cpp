#include "contact_sheet.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "file_output.hpp"

namespace tools {

namespace {

constexpr std::uint64_t kU32Max = 0xFFFFFFFFull;
constexpr std::uint8_t kBackground = 0x20;

// Draws one record's tile at its place by nearest-neighbour sampling; alpha is ignored.
void draw_tile(std::vector<std::uint8_t>& pixels, std::uint64_t sheet_width, std::uint64_t x0,
               std::uint64_t y0, std::uint64_t tile, const Decoded& d,
               std::vector<std::uint64_t>& src_columns) {
  const std::uint64_t row_bytes = sheet_width * 3;
  if (d.width == 0 || d.height == 0) {
    for (std::uint64_t ty = 0; ty < tile; ++ty)
      std::memset(&pixels[(y0 + ty) * row_bytes + x0 * 3], 0, tile * 3);
    return;
  }
  const std::uint64_t w = d.width, h = d.height;
  src_columns.resize(tile);
  for (std::uint64_t tx = 0; tx < tile; ++tx) src_columns[tx] = std::min(tx * w / tile, w - 1) * 4;
  for (std::uint64_t ty = 0; ty < tile; ++ty) {
    const std::uint64_t sy = std::min(ty * h / tile, h - 1);
    const std::uint8_t* src_row = d.rgba.data() + sy * w * 4;
    std::uint8_t* dst = &pixels[(y0 + ty) * row_bytes + x0 * 3];
    for (std::uint64_t tx = 0; tx < tile; ++tx) {
      const std::uint8_t* s = src_row + src_columns[tx];
      dst[0] = s[0];
      dst[1] = s[1];
      dst[2] = s[2];
      dst += 3;
    }
  }
}

}  // namespace

SheetGeometry sheet_geometry(std::size_t records, std::uint32_t tile, std::uint32_t cols) {
  SheetGeometry g;
  g.cols = cols == 0 ? 1 : cols;
  const std::uint64_t rows = (records + g.cols - 1) / g.cols;
  g.width = g.cols * tile;
  g.height = rows * tile;
  return g;
}

std::expected<std::vector<std::uint8_t>, Failure> render_contact_sheet(
    const std::vector<Decoded>& decoded, std::uint32_t tile, std::uint32_t cols,
    std::string* header) {
  const SheetGeometry g = sheet_geometry(decoded.size(), tile, cols);
  // W x Hs x 3 > max, written so that the product itself is never formed.
  const bool too_many_bytes = g.height != 0 && g.width > kU32Max / 3 / g.height;
  if (g.width > kU32Max || g.height > kU32Max || too_many_bytes) {
    return std::unexpected(
        Failure{fmt::format("contact sheet too large: {} x {} pixels", g.width, g.height), {}});
  }
  if (header) *header = fmt::format("P6\n{} {}\n255\n", g.width, g.height);

  std::vector<std::uint8_t> pixels(g.width * g.height * 3, kBackground);
  if (tile == 0) return pixels;
  std::vector<std::uint64_t> src_columns;
  for (std::size_t k = 0; k < decoded.size(); ++k) {
    const std::uint64_t x0 = (k % g.cols) * tile;
    const std::uint64_t y0 = (k / g.cols) * tile;
    draw_tile(pixels, g.width, x0, y0, tile, decoded[k], src_columns);
  }
  return pixels;
}

std::expected<void, Failure> write_contact_sheet(const std::vector<Decoded>& decoded,
                                                 const std::filesystem::path& path,
                                                 std::uint32_t tile, std::uint32_t cols) {
  std::string header;
  auto pixels = render_contact_sheet(decoded, tile, cols, &header);
  if (!pixels) return std::unexpected(std::move(pixels).error());

  auto file = OutputFile::create(path);
  if (!file) {
    return std::unexpected(Failure::with_context(
        fmt::format("create {}", dat::display_path(path)), file.error().text()));
  }
  auto written = file->write_all(header);
  if (written) written = file->write_all(*pixels);
  if (!written) return std::unexpected(Failure{written.error().text(), {}});
  return {};
}

}  // namespace tools
