#pragma once
// Decoding, measuring and classifying each discovered surface.

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "audit_record.hpp"
#include "dat/database.hpp"

namespace tools {

// The decoded surface, or nothing when any step fails. Prints nothing.
std::optional<Decoded> classify_one(const dat::DatDatabase& portal, std::uint32_t surface_id);

struct SurfaceAuditResult {
  std::vector<Decoded> decoded;  // ascending surface id order
  CategoryCounts counts;
};

// Runs classify_one over the ids in ascending order, writing
// "  warn: surface 0x{:08X} failed to decode" for each failure.
SurfaceAuditResult audit_surfaces(const dat::DatDatabase& portal,
                                  const std::set<std::uint32_t>& ids);

// The same, keeping of each record's pixels only what a contact sheet with tiles of
// `sheet_tile` pixels needs (keep_for_sheet), or none without a sheet; the memory of each
// image is released before the next surface is decoded.
SurfaceAuditResult audit_surfaces(const dat::DatDatabase& portal,
                                  const std::set<std::uint32_t>& ids,
                                  std::optional<std::uint32_t> sheet_tile);

}  // namespace tools
