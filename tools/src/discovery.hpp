#pragma once
// Which surfaces does one landblock use? Every failure on the way contributes nothing.

#include <cstdint>
#include <set>
#include <vector>

#include "dat/database.hpp"

namespace tools {

using SurfaceIdSet = std::set<std::uint32_t>;

// The ascending set of surface ids of the landblock's objects, buildings and interior
// cells; writes "  found {} unique surface DIDs" to standard error.
SurfaceIdSet discover_surfaces(const dat::DatDatabase& cell, const dat::DatDatabase& portal,
                               std::uint16_t key);

// The surfaces of a setup's parts or of a mesh, in model order, duplicates kept.
std::vector<std::uint32_t> surfaces_for_setup_or_gfx(const dat::DatDatabase& portal,
                                                     std::uint32_t model_id);

// A mesh's surface list as stored, or nothing when it cannot be read.
std::vector<std::uint32_t> surfaces_for_gfx(const dat::DatDatabase& portal, std::uint32_t gfx_id);

}  // namespace tools
