#pragma once
// The landblock record of the cell archive: the objects and buildings placed on one
// landblock, and its optional restriction table.
//
// On disk (little-endian, no padding except inside PortalInternal):
//   LandblockInfo: id u32, num_cells u32, num_objects u32, objects[num_objects] Stab,
//                  num_buildings u16, pack_mask u16, buildings[num_buildings] BuildInfo,
//                  restriction_tables RestrictionTable (only if pack_mask bit 0)
//   Stab:          id u32, frame Frame (32 bytes)
//   BuildInfo:     model_id u32, frame Frame, num_leaves u32, num_portals u32,
//                  portals[num_portals] PortalInternal
//   PortalInternal: flags u16, other_cell_id u16, other_portal_id u16, num_stabs u16,
//                  stab_list[num_stabs] u16, 2 padding bytes when num_stabs is odd
//   RestrictionTable: count u16, _bucket_size u16 (discarded), count × (key u32, value u32)

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "dat/cursor.hpp"
#include "dat/error.hpp"
#include "dat/graphics.hpp"

namespace dat {

// An object placed on the landblock.
struct Stab {
  std::uint32_t id = 0;  // a SetupModel or GfxObj id
  Frame frame;

  static ReadResult<Stab> read(RecordCursor& cur);
};

struct PortalInternal {
  std::uint16_t flags = 0;
  std::uint16_t other_cell_id = 0;
  std::uint16_t other_portal_id = 0;
  std::vector<std::uint16_t> stab_list;

  static ReadResult<PortalInternal> read(RecordCursor& cur);
};

struct BuildInfo {
  std::uint32_t model_id = 0;  // a SetupModel or GfxObj id
  Frame frame;
  std::uint32_t num_leaves = 0;
  std::vector<PortalInternal> portals;

  static ReadResult<BuildInfo> read(RecordCursor& cur);
};

struct RestrictionTable {
  // When a key repeats in the data, the later pair wins.
  std::unordered_map<std::uint32_t, std::uint32_t> tables;

  static ReadResult<RestrictionTable> read(RecordCursor& cur);
};

struct LandblockInfo {
  std::uint32_t id = 0;
  std::uint32_t num_cells = 0;
  std::vector<Stab> objects;
  std::uint16_t pack_mask = 0;
  std::vector<BuildInfo> buildings;
  std::optional<RestrictionTable> restriction_tables;  // present when pack_mask bit 0 is set

  // Decodes a whole record; a decoding failure is reported as DatError::BinRead.
  static DatResult<LandblockInfo> unpack(std::span<const std::uint8_t> bytes);
};

}  // namespace dat
