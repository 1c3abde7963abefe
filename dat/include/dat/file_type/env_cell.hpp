#pragma once
// An interior cell of a landblock, one file of the cell archive.
//
// On disk (little-endian, no padding anywhere):
//   id u32, flags u32, aux_word u32, num_surfaces u8, num_portals u8, num_aux_values u16,
//   surfaces[num_surfaces] u16, aux_a u16, aux_b u16, position Frame,
//   portals[num_portals] CellPortal, aux_values[num_aux_values] u16,
//   num_stabs u32 + stabs[num_stabs] env_cell::Stab   (only if flags bit 1, value 2)
//   trailer u32                                        (only if flags bit 3, value 8)
//   CellPortal: flags u16, polygon_id u16, other_cell_id u16, other_portal_id u16
//   Stab:       stab_id u32, position Frame

#include <cstdint>
#include <optional>
#include <vector>

#include "dat/cursor.hpp"
#include "dat/graphics.hpp"

namespace dat {

struct CellPortal {
  std::uint16_t flags = 0;
  std::uint16_t polygon_id = 0;
  std::uint16_t other_cell_id = 0;
  std::uint16_t other_portal_id = 0;

  static ReadResult<CellPortal> read(RecordCursor& cur);
};

namespace env_cell {

// An object placed inside the cell: the landblock's Stab bytes under this record's names.
struct Stab {
  std::uint32_t stab_id = 0;  // a SetupModel or GfxObj id
  Frame position;

  static ReadResult<Stab> read(RecordCursor& cur);
};

}  // namespace env_cell

struct EnvCell {
  std::uint32_t id = 0;
  std::uint32_t flags = 0;
  std::uint32_t aux_word = 0;
  // Low 16 bits of surface ids whose high half is 0x0800, kept raw.
  std::vector<std::uint16_t> surfaces;
  std::uint16_t aux_a = 0;
  std::uint16_t aux_b = 0;
  Frame position;
  std::vector<CellPortal> portals;
  std::vector<std::uint16_t> aux_values;
  std::vector<env_cell::Stab> stabs;     // empty unless flags bit 1
  std::optional<std::uint32_t> trailer;  // present exactly when flags bit 3

  static ReadResult<EnvCell> unpack(RecordCursor& cur);
};

}  // namespace dat
