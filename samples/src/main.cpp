// quorvane-sample: writes a small, deterministic world for the audit to run on.
//
//   quorvane-sample --out-dir DIR [--stats]
//
// DIR receives client_portal.dat, client_cell_1.dat and sample-manifest.tsv. Before the
// manifest is written the archives are read back and every surface is decoded and
// classified; if any is not what the catalogue says, nothing is claimed: the program names
// the surface, writes no manifest and exits with status 1.

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "manifest.hpp"
#include "verify.hpp"
#include "world.hpp"

namespace {

constexpr std::string_view kUsage = "usage: quorvane-sample --out-dir DIR [--stats]\n";

struct Options {
  std::filesystem::path out_dir;
  bool stats = false;
};

// Status 2 on a usage error, 0 after the help; nullopt to go on.
std::optional<int> parse(int argc, char** argv, Options& options) {
  bool have_dir = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      fmt::print("{}", kUsage);
      return 0;
    }
    if (arg == "--stats") {
      options.stats = true;
    } else if (arg == "--out-dir" && i + 1 < argc) {
      options.out_dir = argv[++i];
      have_dir = true;
    } else if (arg.starts_with("--out-dir=")) {
      options.out_dir = std::string(arg.substr(10));
      have_dir = true;
    } else {
      fmt::print(stderr, "quorvane-sample: unexpected argument '{}'\n{}", arg, kUsage);
      return 2;
    }
  }
  if (!have_dir || options.out_dir.empty()) {
    fmt::print(stderr, "quorvane-sample: --out-dir is required\n{}", kUsage);
    return 2;
  }
  return std::nullopt;
}

std::size_t compressed(const std::vector<writer::ArchiveFile>& files) {
  return static_cast<std::size_t>(
      std::count_if(files.begin(), files.end(), [](const auto& f) { return f.compress; }));
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (auto status = parse(argc, argv, options)) return *status;

  std::error_code ec;
  std::filesystem::create_directories(options.out_dir, ec);
  const auto portal_path = options.out_dir / "client_portal.dat";
  const auto cell_path = options.out_dir / "client_cell_1.dat";
  const auto manifest_path = options.out_dir / sample::kManifestName;
  // A manifest from an earlier run must not outlive a failed one.
  std::filesystem::remove(manifest_path, ec);

  const sample::SampleWorld world = sample::build_world();
  const auto portal = writer::build_archive(world.portal_files, world.portal_options);
  const auto cell = writer::build_archive(world.cell_files, world.cell_options);
  if (!writer::write_file(portal_path, portal) || !writer::write_file(cell_path, cell)) {
    fmt::print(stderr, "quorvane-sample: cannot write the archives into {}\n",
               options.out_dir.string());
    return 1;
  }

  const sample::Verification check = sample::verify_world(world, portal_path, cell_path);
  if (options.stats) {
    for (std::size_t i = 0; i < check.measured.size(); ++i) {
      const auto& m = check.measured[i];
      const auto& recipe = *world.surfaces[i].recipe;
      fmt::print("0x{:08X}  {:<8} {:<8} {}  {}\n", recipe.id, sample::expect_name(recipe.expect),
                 m.decoded ? dat::category_name(m.category) : "-",
                 m.decoded ? sample::describe(m.stats) : m.failure_text, recipe.description);
    }
  }
  if (!check.problems.empty()) {
    for (const auto& p : check.problems) fmt::print(stderr, "quorvane-sample: {}\n", p);
    fmt::print(stderr,
               "quorvane-sample: the sample is not what it claims to be; no manifest written\n");
    return 1;
  }

  const std::string manifest = sample::manifest_text(world);
  if (!writer::write_file(manifest_path, {reinterpret_cast<const std::uint8_t*>(manifest.data()),
                                          manifest.size()})) {
    fmt::print(stderr, "quorvane-sample: cannot write {}\n", manifest_path.string());
    return 1;
  }

  std::size_t decode = 0, fail = 0, absent = 0;
  for (const auto& s : world.surfaces) {
    switch (s.recipe->expect) {
      case sample::Expect::Decode: ++decode; break;
      case sample::Expect::Fail: ++fail; break;
      case sample::Expect::Absent: ++absent; break;
    }
  }
  fmt::print("Sample world for landblock 0x{:04X} written to {}\n", sample::kLandblock,
             options.out_dir.string());
  fmt::print("  client_portal.dat: {} files ({} compressed), block size {}, {} bytes\n",
             world.portal_files.size(), compressed(world.portal_files),
             world.portal_options.block_size, portal.size());
  fmt::print("  client_cell_1.dat: {} files ({} compressed), block size {}, {} bytes\n",
             world.cell_files.size(), compressed(world.cell_files), world.cell_options.block_size,
             cell.size());
  fmt::print("  {}: {} surfaces on the landblock ({} decode, {} fail on purpose), {} elsewhere\n",
             sample::kManifestName, decode + fail, decode, fail, absent);
  fmt::print(
      "  checked: every model and cell reads back; every surface decodes (or fails) and classifies "
      "as built\n");
  return 0;
}
