#pragma once
// The sample world as archive files: the portal archive (surfaces, texture lists, textures,
// palettes, meshes, setups) and the cell archive (landblock records, interior cells).

#include <cstdint>
#include <set>
#include <vector>

#include "catalogue.hpp"
#include "writer/archive_builder.hpp"

namespace sample {

// Where one catalogued surface ended up in the portal archive.
struct StoredSurface {
  const SurfaceRecipe* recipe = nullptr;
  std::uint32_t list_id = 0;               // its texture list; 0 for a solid surface
  std::vector<std::uint32_t> texture_ids;  // the list's entries; the last is the one drawn
  std::uint32_t palette_id = 0;            // 0 unless indexed
};

struct SampleWorld {
  std::vector<writer::ArchiveFile> portal_files;
  std::vector<writer::ArchiveFile> cell_files;
  writer::ArchiveOptions portal_options;
  writer::ArchiveOptions cell_options;
  std::vector<StoredSurface> surfaces;  // catalogue order
  // Surface ids that kLandblock's objects, buildings and cells name, followed through the
  // models as they were built (not read back).
  std::set<std::uint32_t> on_landblock;
  std::set<std::uint32_t> on_neighbour;
};

// Appends every surface of the catalogue with its texture lists, textures and palettes.
void add_surfaces(SampleWorld& world);
// Appends the meshes and setups to the portal archive and the landblocks and their cells to
// the cell archive, and fills on_landblock / on_neighbour.
void add_models_and_landblocks(SampleWorld& world);

SampleWorld build_world();

}  // namespace sample
