#pragma once
// The benchmark world: a portal archive of models, surfaces, texture lists, textures and
// palettes, and a cell archive of landblocks with their cells, all drawn from one fixed seed.
// One landblock, kDenseLandblock, is dense with distinct surfaces; the audit of that
// landblock is the run the benchmark measures.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "synth.hpp"
#include "writer/archive_builder.hpp"

namespace bench {

inline constexpr std::uint16_t kDenseLandblock = 0xA9B4;
inline constexpr std::uint64_t kWorldSeed = 0x0A9B45EEDull;
inline constexpr std::uint32_t kPortalBlockSize = 1024;
inline constexpr std::uint32_t kCellBlockSize = 256;

enum class Scale { Quarter, Half, Full };
std::optional<Scale> parse_scale(std::string_view name);
std::string_view scale_name(Scale scale);
double scale_factor(Scale scale);

// File ids of the portal archive's record kinds (index from 1).
namespace ids {
inline constexpr std::uint32_t mesh(std::uint32_t i) { return 0x01000000 + i; }
inline constexpr std::uint32_t setup(std::uint32_t i) { return 0x02000000 + i; }
inline constexpr std::uint32_t palette(std::uint32_t i) { return 0x04000000 + i; }
inline constexpr std::uint32_t texture_list(std::uint32_t i) { return 0x05000000 + i; }
inline constexpr std::uint32_t texture(std::uint32_t i) { return 0x06000000 + i; }
inline constexpr std::uint32_t surface(std::uint32_t i) { return 0x08000000 + i; }
}  // namespace ids

struct WorldPlan {
  Scale scale = Scale::Full;
  std::uint64_t seed = kWorldSeed;
  // Portal archive: counts of each record kind.
  std::uint32_t meshes = 0;
  std::uint32_t setups = 0;
  std::uint32_t surfaces = 0;
  std::uint32_t texture_lists = 0;
  std::uint32_t textures = 0;
  std::uint32_t palettes = 0;      // the first p8_palettes hold 256 colours, the rest 4096
  std::uint32_t p8_palettes = 0;
  std::uint32_t dense_meshes = 0;  // the last meshes, placed only in the dense landblock
  // Cell archive: the landblocks form the rectangle x0..x1 by y0..y1 (both included).
  std::uint32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  // Distinct surface numbers (low 16 bits of their ids) of the dense landblock.
  std::vector<std::uint16_t> dense_surfaces;
};

WorldPlan plan_world(Scale scale, std::uint64_t seed = kWorldSeed);

// What texture i (from 1) of the plan holds; its palette id is 0 unless paletted.
struct TexturePlan {
  TextureRecipe recipe;
  std::uint32_t palette_id = 0;
};
TexturePlan texture_plan(const WorldPlan& plan, std::uint32_t index);

std::vector<writer::ArchiveFile> portal_files(const WorldPlan& plan);
std::vector<writer::ArchiveFile> cell_files(const WorldPlan& plan);

// A small archive of a few long files in 256-byte blocks, for timing block chains.
std::vector<writer::ArchiveFile> chain_files();

}  // namespace bench
