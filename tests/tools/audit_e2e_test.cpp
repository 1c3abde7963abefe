// Whole runs of the binary on archives built by the writer: console lines, the audit
// document and the contact sheet, byte for byte.

#include <gtest/gtest.h>
#include <fmt/format.h>

#include <sys/stat.h>

#include <map>

#include "dat/file_type/dxt.hpp"
#include "dat/surface_classify.hpp"
#include "json_writer.hpp"
#include "run_tool.hpp"
#include "writer/archive_builder.hpp"
#include "writer/cell_records.hpp"
#include "writer/dxt_encoder.hpp"
#include "writer/model_records.hpp"
#include "writer/texture_records.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::run_tool;
using testing_support::slurp;
using testing_support::TempDir;

constexpr std::uint32_t kMesh = 0x01000001;

Bytes texture(std::uint32_t id, std::int32_t w, std::int32_t h, std::uint32_t format, Bytes data,
              std::optional<std::uint32_t> palette = std::nullopt) {
  dat::Texture t;
  t.id = id;
  t.width = w;
  t.height = h;
  t.format_raw = format;
  t.source_data = std::move(data);
  t.default_palette_id = palette;
  return writer::encode_texture(t);
}

Bytes texture_list(std::uint32_t id, std::vector<std::uint32_t> textures) {
  dat::SurfaceTexture l;
  l.id = id;
  l.textures = std::move(textures);
  return writer::encode_surface_texture(l);
}

// What one decoded surface should come out as.
struct Expected {
  std::uint32_t id;
  std::uint32_t surface_type;
  Bytes rgba;
  std::uint32_t width, height;
  bool solid;
};

// The audit row's JSON text, assembled here from the statistics of the expected pixels.
std::string row_json(const Expected& e, std::string* category) {
  const auto s = dat::compute_stats(e.rgba, e.width, e.height);
  *category = std::string(dat::category_name(dat::classify(s, e.surface_type)));
  auto f = [](float v) { return tools::format_f32(v); };
  return fmt::format(
      "    {{\n      \"did\": \"0x{:08X}\",\n      \"category\": \"{}\",\n      \"surface_type\": {},\n"
      "      \"mean_rgb\": [\n        {},\n        {},\n        {}\n      ],\n"
      "      \"std_dev\": [\n        {},\n        {},\n        {}\n      ],\n"
      "      \"luminance\": {},\n      \"variance\": {},\n      \"dominant_hue\": {},\n"
      "      \"saturation\": {},\n      \"width\": {},\n      \"height\": {},\n      \"solid\": {}\n    }}",
      e.id, *category, e.surface_type, f(s.mean_rgb[0]), f(s.mean_rgb[1]), f(s.mean_rgb[2]),
      f(s.std_dev[0]), f(s.std_dev[1]), f(s.std_dev[2]), f(s.luminance), f(s.variance),
      f(s.dominant_hue), f(s.saturation), e.width, e.height, e.solid ? "true" : "false");
}

std::string document_json(const std::string& portal, const std::string& cell,
                          const std::vector<Expected>& rows, std::map<std::string, int>* counts) {
  std::string surfaces;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string category;
    surfaces += row_json(rows[i], &category);
    surfaces += i + 1 < rows.size() ? ",\n" : "\n";
    ++(*counts)[category];
  }
  std::string count_lines;
  for (auto it = counts->begin(); it != counts->end(); ++it)
    count_lines += fmt::format("    \"{}\": {}{}\n", it->first, it->second,
                               std::next(it) == counts->end() ? "" : ",");
  return fmt::format(
      "{{\n  \"landblock\": \"0xA9B4\",\n  \"portal_dat\": \"{}\",\n  \"cell_dat\": \"{}\",\n"
      "  \"total_surfaces\": {},\n  \"category_counts\": {{\n{}  }},\n  \"surfaces\": [\n{}  ]\n}}",
      portal, cell, rows.size(), count_lines, surfaces);
}

struct Fixture {
  TempDir dir;
  std::string portal, cell;
  std::vector<Expected> expected;  // ascending id order
  std::vector<std::uint32_t> failing;
  std::size_t portal_files = 0, cell_files = 0;

  Fixture() {
    std::vector<writer::ArchiveFile> p;
    auto add = [&](std::uint32_t id, Bytes data, bool compress = false) {
      p.push_back({id, std::move(data), compress, 0});
    };
    // Solid surfaces: the colour value is 0xAARRGGBB.
    add(0x08000001, writer::encode_surface(writer::solid_surface(0x80FF2010, 0x1)));
    add(0x08000002, writer::encode_surface(writer::solid_surface(0xFFFFFFFF, 0x0)));
    // Raw textures; the list's last texture is the one decoded.
    add(0x08000003, writer::encode_surface(writer::textured_surface(0x05000003, 0x2)), true);
    add(0x05000003, texture_list(0x05000003, {0x06000099, 0x06000003}));
    add(0x06000003, texture(0x06000003, 2, 1, 20, {0, 0, 0, 255, 255, 255}), true);
    add(0x08000004, writer::encode_surface(writer::textured_surface(0x05000004, 0x12)));
    add(0x05000004, texture_list(0x05000004, {0x06000004}));
    add(0x06000004, texture(0x06000004, 1, 2, 21, {160, 60, 30, 255, 150, 50, 20, 128}));
    // Paletted.
    add(0x08000005, writer::encode_surface(writer::textured_surface(0x05000005, 0x4)));
    add(0x05000005, texture_list(0x05000005, {0x06000005}));
    add(0x06000005, texture(0x06000005, 2, 2, 41, {0, 1, 1, 0}, 0x04000001));
    add(0x04000001, writer::encode_palette(dat::Palette{0x04000001, {0xFF285A28, 0xFF3C8C32}}));
    // DXT1, 5 x 3: a block row of two blocks, clipped.
    Bytes green(5 * 3 * 4);
    for (std::size_t i = 0; i < green.size(); i += 4) {
      green[i] = 40;
      green[i + 1] = static_cast<std::uint8_t>(120 + i);
      green[i + 2] = 50;
      green[i + 3] = 255;
    }
    add(0x08000006, writer::encode_surface(writer::textured_surface(0x05000006, 0x2)));
    add(0x05000006, texture_list(0x05000006, {0x06000006}));
    add(0x06000006, texture(0x06000006, 5, 3, 0x31545844, writer::encode_dxt1(green, 5, 3)));
    // Failures: missing palette, unsupported format, empty list, not a surface, absent.
    add(0x08000010, writer::encode_surface(writer::textured_surface(0x05000010, 0x2)));
    add(0x05000010, texture_list(0x05000010, {0x06000010}));
    add(0x06000010, texture(0x06000010, 1, 1, 41, {0}, 0x04000099));
    add(0x08000011, writer::encode_surface(writer::textured_surface(0x05000011, 0x2)));
    add(0x05000011, texture_list(0x05000011, {0x06000011}));
    add(0x06000011, texture(0x06000011, 1, 1, 23, {0, 0}));
    add(0x08000012, writer::encode_surface(writer::textured_surface(0x05000012, 0x2)));
    add(0x05000012, texture_list(0x05000012, {}));
    add(0x08000013, Bytes{1, 2});
    add(kMesh, writer::encode_gfx_obj(writer::simple_mesh(
                   kMesh, {0x08000014, 0x08000006, 0x08000013, 0x08000012, 0x08000011, 0x08000010,
                           0x08000005, 0x08000004, 0x08000003})));
    portal_files = p.size();
    portal = dir.write("portal.dat", writer::build_archive(std::move(p), {.block_size = 512}))
                 .string();

    writer::LandblockInfoDesc lb;
    lb.objects.push_back(dat::Stab{kMesh, {}});
    dat::EnvCell c;
    c.surfaces = {0x0002, 0x0001};
    std::vector<writer::ArchiveFile> cells = {
        {0xA9B4FFFE, writer::encode_landblock_info(lb), true, 0},
        {0xA9B40100, writer::encode_env_cell(c), false, 0},
    };
    cell_files = cells.size();
    cell = dir.write("cell.dat", writer::build_archive(std::move(cells), {.block_size = 256})).string();

    expected = {
        {0x08000001, 0x1, {0xFF, 0x20, 0x10, 0x80}, 1, 1, true},
        {0x08000002, 0x0, {255, 255, 255, 255}, 1, 1, true},
        {0x08000003, 0x2, {0, 0, 0, 255, 255, 255, 255, 255}, 2, 1, false},
        {0x08000004, 0x12, {30, 60, 160, 255, 20, 50, 150, 128}, 1, 2, false},
        {0x08000005, 0x4, {40, 90, 40, 255, 60, 140, 50, 255, 60, 140, 50, 255, 40, 90, 40, 255}, 2, 2, false},
        {0x08000006, 0x2, dat::decompress_dxt1(writer::encode_dxt1(green, 5, 3), 5, 3), 5, 3, false},
    };
    failing = {0x08000010, 0x08000011, 0x08000012, 0x08000013, 0x08000014};
  }

  std::string head_lines() const {
    return fmt::format(
        "Loading portal dat: {}\n  portal files: {}\nLoading cell dat: {}\n  cell files: {}\n"
        "Discovering surfaces for landblock 0xA9B4...\n  found {} unique surface DIDs\n",
        portal, portal_files, cell, cell_files, expected.size() + failing.size());
  }
  std::string warn_lines() const {
    std::string out;
    for (const auto id : failing) out += fmt::format("  warn: surface 0x{:08X} failed to decode\n", id);
    return out;
  }
};

std::string histogram(const std::map<std::string, int>& counts) {
  std::string out = "Category histogram:\n";
  for (const auto& [name, n] : counts) out += fmt::format("  {:>8} {}\n", n, name);
  return out;
}

// The sheet as the tile rules draw it, restated here for small cases.
Bytes expected_sheet(const std::vector<Expected>& rows, std::uint32_t tile, std::uint32_t cols) {
  const std::uint32_t c = cols == 0 ? 1 : cols;
  const std::uint32_t rows_n = (static_cast<std::uint32_t>(rows.size()) + c - 1) / c;
  const std::uint32_t w = c * tile, h = rows_n * tile;
  Bytes px(std::size_t{w} * h * 3, 0x20);
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const auto& e = rows[k];
    for (std::uint32_t ty = 0; ty < tile; ++ty)
      for (std::uint32_t tx = 0; tx < tile; ++tx) {
        const std::uint32_t sx = std::min(tx * e.width / tile, e.width - 1);
        const std::uint32_t sy = std::min(ty * e.height / tile, e.height - 1);
        const std::size_t x = (k % c) * tile + tx, y = (k / c) * tile + ty;
        for (int ch = 0; ch < 3; ++ch)
          px[(y * w + x) * 3 + ch] = e.rgba[(sy * e.width + sx) * 4 + ch];
      }
  }
  std::string header = fmt::format("P6\n{} {}\n255\n", w, h);
  Bytes out(header.begin(), header.end());
  out.insert(out.end(), px.begin(), px.end());
  return out;
}

TEST(AuditRun, DocumentHistogramAndSheetByteForByte) {
  Fixture f;
  const std::string out = (f.dir.path() / "reports/a/b.json").string();
  const std::string sheet = (f.dir.path() / "sheets/s.ppm").string();
  const auto r = run_tool({"--portal-dat", f.portal, "--cell-dat", f.cell, "--out", out,
                           "--contact-sheet", sheet, "--tile", "3", "--cols", "4"});
  std::map<std::string, int> counts;
  const std::string json = document_json(f.portal, f.cell, f.expected, &counts);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.err, f.head_lines() + f.warn_lines() + "Wrote audit: " + out + "\n" +
                       histogram(counts) + "Wrote contact sheet: " + sheet + "\n");
  EXPECT_EQ(slurp(out), json);
  const Bytes want = expected_sheet(f.expected, 3, 4);
  const std::string got = slurp(sheet);
  EXPECT_EQ(Bytes(got.begin(), got.end()), want);

  // The categories the fixture's colours were picked for.
  EXPECT_EQ(counts, (std::map<std::string, int>{
                        {"Foliage", 2}, {"Generic", 1}, {"Snow", 1}, {"Stone", 1}, {"Water", 1}}));

  // A second run writes the same bytes.
  const auto again = run_tool({"--portal-dat", f.portal, "--cell-dat", f.cell, "--out", out});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(slurp(out), json);
}

TEST(AuditRun, EmptyLandblockWritesEmptyDocument) {
  Fixture f;
  const std::string out = (f.dir.path() / "e.json").string();
  const auto r = run_tool({"--portal-dat", f.portal, "--cell-dat", f.cell, "--landblock", "0x0012",
                           "--out", out, "--contact-sheet", (f.dir.path() / "e.ppm").string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.err, fmt::format("Loading portal dat: {}\n  portal files: {}\nLoading cell dat: {}\n"
                               "  cell files: {}\nDiscovering surfaces for landblock 0x0012...\n"
                               "  found 0 unique surface DIDs\nWrote audit: {}\nCategory histogram:\n"
                               "Wrote contact sheet: {}\n",
                               f.portal, f.portal_files, f.cell, f.cell_files, out,
                               (f.dir.path() / "e.ppm").string()));
  EXPECT_EQ(slurp(out), fmt::format("{{\n  \"landblock\": \"0x0012\",\n  \"portal_dat\": \"{}\",\n"
                                    "  \"cell_dat\": \"{}\",\n  \"total_surfaces\": 0,\n"
                                    "  \"category_counts\": {{}},\n  \"surfaces\": []\n}}",
                                    f.portal, f.cell));
  EXPECT_EQ(slurp(f.dir.path() / "e.ppm"), "P6\n640 0\n255\n");
}

TEST(AuditRun, RelativePathsAreWrittenAsGiven) {
  Fixture f;
  const auto r = run_tool({"--portal-dat", "portal.dat", "--cell-dat", "./cell.dat", "--out", "o.json"},
                          f.dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string json = slurp(f.dir.path() / "o.json");
  EXPECT_NE(json.find("\"portal_dat\": \"portal.dat\",\n  \"cell_dat\": \"./cell.dat\","), std::string::npos);
  EXPECT_NE(r.err.find("Wrote audit: o.json\n"), std::string::npos);
}

TEST(AuditRun, OutputFailures) {
  Fixture f;
  std::map<std::string, int> counts;
  document_json(f.portal, f.cell, f.expected, &counts);

  // `out` is a directory: the run ends before the histogram.
  const auto is_dir = run_tool({"--portal-dat", f.portal, "--cell-dat", f.cell, "--out", f.dir.path().string()});
  EXPECT_EQ(is_dir.status, 1);
  EXPECT_TRUE(is_dir.out.empty());
  EXPECT_EQ(is_dir.err, f.head_lines() + f.warn_lines() + "Error: write " + f.dir.path().string() +
                            "\n\nCaused by:\n    Is a directory\n");

  // The sheet's parent is a regular file: audit and histogram are complete first.
  const std::string out = (f.dir.path() / "ok.json").string();
  const std::string sheet = f.portal + "/s.ppm";
  const auto bad_sheet = run_tool({"--portal-dat", f.portal, "--cell-dat", f.cell, "--out", out,
                                   "--contact-sheet", sheet});
  EXPECT_EQ(bad_sheet.status, 1);
  EXPECT_TRUE(bad_sheet.out.empty());
  EXPECT_EQ(bad_sheet.err, f.head_lines() + f.warn_lines() + "Wrote audit: " + out + "\n" +
                               histogram(counts) + "Error: create " + sheet +
                               "\n\nCaused by:\n    Not a directory\n");

  // A sheet too large for the format fails before its file is created.
  const std::string big = (f.dir.path() / "big.ppm").string();
  const auto too_large = run_tool({"--portal-dat", f.portal, "--cell-dat", f.cell, "--out", out,
                                   "--contact-sheet", big, "--tile", "100000"});
  EXPECT_EQ(too_large.status, 1);
  EXPECT_NE(too_large.err.find("Error: contact sheet too large: 1000000 x 100000 pixels\n"),
            std::string::npos)
      << too_large.err;
  EXPECT_FALSE(std::filesystem::exists(big));
}

TEST(AuditRun, ArchivesThatCannotBeOpened) {
  Fixture f;
  const std::string out = (f.dir.path() / "x.json").string();
  const std::string missing = (f.dir.path() / "missing.dat").string();

  const auto no_portal = run_tool({"--portal-dat", missing, "--cell-dat", f.cell, "--out", out});
  EXPECT_EQ(no_portal.status, 1);
  EXPECT_TRUE(no_portal.out.empty());
  EXPECT_EQ(no_portal.err, "Loading portal dat: " + missing + "\nError: Failed to open file at " +
                               missing + ": No such file or directory\n\nCaused by:\n    No such file or directory\n");

  const auto no_cell = run_tool({"--portal-dat", f.portal, "--cell-dat", missing, "--out", out});
  EXPECT_EQ(no_cell.status, 1);
  EXPECT_EQ(no_cell.err, fmt::format("Loading portal dat: {}\n  portal files: {}\nLoading cell dat: {}\n"
                                     "Error: Failed to open file at {}: No such file or directory\n\n"
                                     "Caused by:\n    No such file or directory\n",
                                     f.portal, f.portal_files, missing, missing));

  const auto dir_portal = run_tool({"--portal-dat", f.dir.path().string(), "--out", out});
  EXPECT_EQ(dir_portal.status, 1);
  EXPECT_NE(dir_portal.err.find(": Is a directory\n\nCaused by:\n    Is a directory\n"), std::string::npos);

  const auto short_portal = f.dir.write("short.dat", Bytes(390, 0));
  const auto truncated = run_tool({"--portal-dat", short_portal.string(), "--out", out});
  EXPECT_EQ(truncated.status, 1);
  EXPECT_EQ(truncated.err,
            "Loading portal dat: " + short_portal.string() +
                "\nError: Binary read error: not enough bytes in reader\nWhile parsing field "
                "'version_string' in DatHeader\n\nCaused by:\n    not enough bytes in reader\n"
                "    While parsing field 'version_string' in DatHeader\n");
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
