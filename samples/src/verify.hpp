#pragma once
// Reads the written archives back through the DAT library and checks that every surface
// decodes (or fails) and classifies exactly as the catalogue intends.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dat/database.hpp"
#include "dat/surface_classify.hpp"
#include "world.hpp"

namespace sample {

// One surface as the audit will see it.
struct Measured {
  bool decoded = false;
  Breakage failure = Breakage::None;  // why it did not decode, when known
  std::string failure_text;
  dat::SurfaceStats stats;
  dat::MaterialCategory category = dat::MaterialCategory::Generic;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool solid = false;
};

// Surface record → solid colour, or texture list → last texture → RGBA8 (palettes fetched
// from the same archive) → statistics → category.
Measured measure_surface(const dat::DatDatabase& portal, std::uint32_t surface_id);

struct Verification {
  std::vector<Measured> measured;     // one per world.surfaces entry
  std::vector<std::string> problems;  // empty when the sample is what it claims to be
};

Verification verify_world(const SampleWorld& world, const std::filesystem::path& portal_path,
                          const std::filesystem::path& cell_path);

std::string describe(const dat::SurfaceStats& stats);

}  // namespace sample
