#include "dat/file_type/env_cell.hpp"

#include "../list_reader.hpp"

namespace dat {

ReadResult<CellPortal> CellPortal::read(RecordCursor& cur) {
  CellPortal p;
  DAT_TRY_SET(p.flags, in_field(cur.read_u16(), "flags", "CellPortal"));
  DAT_TRY_SET(p.polygon_id, in_field(cur.read_u16(), "polygon_id", "CellPortal"));
  DAT_TRY_SET(p.other_cell_id, in_field(cur.read_u16(), "other_cell_id", "CellPortal"));
  DAT_TRY_SET(p.other_portal_id, in_field(cur.read_u16(), "other_portal_id", "CellPortal"));
  return p;
}

ReadResult<env_cell::Stab> env_cell::Stab::read(RecordCursor& cur) {
  Stab s;
  DAT_TRY_SET(s.stab_id, in_field(cur.read_u32(), "stab_id", "Stab"));
  DAT_TRY_SET(s.position, in_field(read_frame(cur), "position", "Stab"));
  return s;
}

// The cell's own fields add no context frames; only the nested records do.
ReadResult<EnvCell> EnvCell::unpack(RecordCursor& cur) {
  EnvCell cell;
  DAT_TRY_SET(cell.id, cur.read_u32());
  DAT_TRY_SET(cell.flags, cur.read_u32());
  DAT_TRY_SET(cell.aux_word, cur.read_u32());
  DAT_TRY(num_surfaces, cur.read_u8());
  DAT_TRY(num_portals, cur.read_u8());
  DAT_TRY(num_aux_values, cur.read_u16());
  // These counts are one or two bytes wide, so reserving from them is bounded.
  DAT_TRY_SET(cell.surfaces, detail::read_u16_list(cur, num_surfaces, num_surfaces));
  DAT_TRY_SET(cell.aux_a, cur.read_u16());
  DAT_TRY_SET(cell.aux_b, cur.read_u16());
  DAT_TRY_SET(cell.position, read_frame(cur));
  DAT_TRY_SET(cell.portals,
              detail::read_list<CellPortal>(cur, num_portals, &CellPortal::read, num_portals));
  DAT_TRY_SET(cell.aux_values, detail::read_u16_list(cur, num_aux_values, num_aux_values));
  if (cell.flags & 2) {
    DAT_TRY(num_stabs, cur.read_u32());
    DAT_TRY_SET(cell.stabs,
                detail::read_list<env_cell::Stab>(cur, num_stabs, &env_cell::Stab::read));
  }
  if (cell.flags & 8) {
    DAT_TRY_SET(cell.trailer, cur.read_u32());
  }
  return cell;
}

}  // namespace dat
