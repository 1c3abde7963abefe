#include "contact_sheet.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "file_output.hpp"

namespace tools {

namespace {

constexpr std::uint64_t kU32Max = 0xFFFFFFFFull;
constexpr std::uint8_t kBackground = 0x20;

// Samples record `d` into a tile x tile RGB buffer whose rows are `row_bytes` apart; alpha is
// ignored. `src_columns` is scratch space for the source offsets of the tile's columns.
void sample_into(std::uint8_t* out, std::uint64_t row_bytes, std::uint64_t tile, const Decoded& d,
                 std::vector<std::uint64_t>& src_columns) {
  const std::uint64_t w = d.width, h = d.height;
  // An image shorter than its size (its pixels were released for a tile of another size)
  // draws like one without pixels rather than being read past its end.
  if (w == 0 || h == 0 || d.rgba.size() / 4 / w < h) {
    for (std::uint64_t ty = 0; ty < tile; ++ty) std::memset(out + ty * row_bytes, 0, tile * 3);
    return;
  }
  src_columns.resize(tile);
  for (std::uint64_t tx = 0; tx < tile; ++tx) src_columns[tx] = std::min(tx * w / tile, w - 1) * 4;
  for (std::uint64_t ty = 0; ty < tile; ++ty) {
    const std::uint64_t sy = std::min(ty * h / tile, h - 1);
    const std::uint8_t* src_row = d.rgba.data() + sy * w * 4;
    std::uint8_t* dst = out + ty * row_bytes;
    for (std::uint64_t tx = 0; tx < tile; ++tx) {
      const std::uint8_t* s = src_row + src_columns[tx];
      dst[0] = s[0];
      dst[1] = s[1];
      dst[2] = s[2];
      dst += 3;
    }
  }
}

// Draws one record's tile at its place: its kept tile when it has one for this size, else
// sampled from its image.
void draw_tile(std::vector<std::uint8_t>& pixels, std::uint64_t sheet_width, std::uint64_t x0,
               std::uint64_t y0, std::uint64_t tile, const Decoded& d,
               std::vector<std::uint64_t>& src_columns) {
  const std::uint64_t row_bytes = sheet_width * 3;
  std::uint8_t* at = &pixels[y0 * row_bytes + x0 * 3];
  if (d.tile_edge == tile && d.tile.size() == tile * tile * 3) {
    for (std::uint64_t ty = 0; ty < tile; ++ty)
      std::memcpy(at + ty * row_bytes, d.tile.data() + ty * tile * 3, tile * 3);
    return;
  }
  sample_into(at, row_bytes, tile, d, src_columns);
}

}  // namespace

std::vector<std::uint8_t> sample_tile(const Decoded& d, std::uint32_t tile) {
  std::vector<std::uint8_t> out(std::uint64_t{tile} * tile * 3);
  std::vector<std::uint64_t> src_columns;
  sample_into(out.data(), std::uint64_t{tile} * 3, tile, d, src_columns);
  return out;
}

void keep_for_sheet(Decoded& d, std::optional<std::uint32_t> tile) {
  const std::uint64_t size = d.rgba.size();
  const std::uint64_t edge = tile.value_or(0);
  // The tile is kept when 3 * edge^2 < size (written so it cannot overflow).
  if (tile && size > 0 && edge > 0 && edge * edge <= (size - 1) / 3) {
    d.tile = sample_tile(d, *tile);
    d.tile_edge = *tile;
  } else if (tile && edge > 0) {
    return;  // the image is the smaller of the two
  }
  std::vector<std::uint8_t>().swap(d.rgba);
}

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
