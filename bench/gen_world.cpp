// qv-bench-world: writes the benchmark world (portal.dat, cell.dat, chains.dat and the
// manifest world.txt, written last) into a folder. The same scale always gives the same bytes.
//
//   qv-bench-world --out bench-world/full [--scale quarter|half|full]

#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "world.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Builds and writes one archive through a temporary name, so a half-written world is never
// taken for a whole one.
bool write_archive(const std::filesystem::path& path, std::vector<writer::ArchiveFile> files,
                   std::uint32_t block_size, std::size_t& count, std::size_t& bytes) {
  count = files.size();
  writer::ArchiveOptions options;
  options.block_size = block_size;
  options.trim_last_block = true;
  const std::vector<std::uint8_t> image = writer::build_archive(std::move(files), options);
  bytes = image.size();
  std::filesystem::path tmp = path;
  tmp += ".tmp";
  if (!writer::write_file(tmp, image)) return false;
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  return !ec;
}

int usage() {
  std::fputs("usage: qv-bench-world --out DIR [--scale quarter|half|full]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path out;
  bench::Scale scale = bench::Scale::Full;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (arg == "--scale" && i + 1 < argc) {
      const auto parsed = bench::parse_scale(argv[++i]);
      if (!parsed) return usage();
      scale = *parsed;
    } else {
      return usage();
    }
  }
  if (out.empty()) return usage();

  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  std::filesystem::remove(out / "world.txt", ec);

  const auto start = Clock::now();
  const bench::WorldPlan plan = bench::plan_world(scale);
  std::size_t portal_count = 0, portal_bytes = 0, cell_count = 0, cell_bytes = 0;
  std::size_t chain_count = 0, chain_bytes = 0;

  if (!write_archive(out / "portal.dat", bench::portal_files(plan), bench::kPortalBlockSize,
                     portal_count, portal_bytes)) {
    fmt::print(stderr, "cannot write {}\n", (out / "portal.dat").string());
    return 1;
  }
  fmt::print(stderr, "portal.dat: {} files, {} bytes ({:.1f} s)\n", portal_count, portal_bytes,
             seconds_since(start));
  if (!write_archive(out / "cell.dat", bench::cell_files(plan), bench::kCellBlockSize,
                     cell_count, cell_bytes)) {
    fmt::print(stderr, "cannot write {}\n", (out / "cell.dat").string());
    return 1;
  }
  fmt::print(stderr, "cell.dat: {} files, {} bytes ({:.1f} s)\n", cell_count, cell_bytes,
             seconds_since(start));
  if (!write_archive(out / "chains.dat", bench::chain_files(), bench::kCellBlockSize,
                     chain_count, chain_bytes)) {
    fmt::print(stderr, "cannot write {}\n", (out / "chains.dat").string());
    return 1;
  }

  const std::string manifest = fmt::format(
      "scale {}\nseed {:#x}\nportal_files {}\nportal_bytes {}\ncell_files {}\ncell_bytes {}\n"
      "landblocks {}\ndense_landblock {:#06x}\ndense_surfaces {}\nmeshes {}\nsetups {}\n"
      "surfaces {}\ntexture_lists {}\ntextures {}\npalettes {}\n",
      bench::scale_name(scale), plan.seed, portal_count, portal_bytes, cell_count, cell_bytes,
      (plan.x1 - plan.x0 + 1) * (plan.y1 - plan.y0 + 1), bench::kDenseLandblock,
      plan.dense_surfaces.size(), plan.meshes, plan.setups, plan.surfaces, plan.texture_lists,
      plan.textures, plan.palettes);
  if (!writer::write_file(out / "world.txt",
                          std::span(reinterpret_cast<const std::uint8_t*>(manifest.data()),
                                    manifest.size()))) {
    fmt::print(stderr, "cannot write {}\n", (out / "world.txt").string());
    return 1;
  }
  fmt::print(stderr, "world {} written to {} in {:.1f} s\n", bench::scale_name(scale),
             out.string(), seconds_since(start));
  return 0;
}
