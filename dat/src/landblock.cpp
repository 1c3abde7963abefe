#include "dat/landblock.hpp"

#include "list_reader.hpp"

namespace dat {

ReadResult<Stab> Stab::read(RecordCursor& cur) {
  Stab s;
  DAT_TRY_SET(s.id, in_field(cur.read_u32(), "id", "Stab"));
  DAT_TRY_SET(s.frame, in_field(read_frame(cur), "frame", "Stab"));
  return s;
}

ReadResult<PortalInternal> PortalInternal::read(RecordCursor& cur) {
  PortalInternal p;
  DAT_TRY_SET(p.flags, in_field(cur.read_u16(), "flags", "PortalInternal"));
  DAT_TRY_SET(p.other_cell_id, in_field(cur.read_u16(), "other_cell_id", "PortalInternal"));
  DAT_TRY_SET(p.other_portal_id, in_field(cur.read_u16(), "other_portal_id", "PortalInternal"));
  DAT_TRY(num_stabs, in_field(cur.read_u16(), "num_stabs", "PortalInternal"));
  DAT_TRY_SET(p.stab_list,
              in_field(detail::read_u16_list(cur, num_stabs), "stab_list", "PortalInternal"));
  // Keeps the record a multiple of 4 bytes long. Skipped, not read: a record that ends the
  // data needs no padding bytes.
  if (num_stabs % 2 != 0) cur.skip(2);
  return p;
}

ReadResult<BuildInfo> BuildInfo::read(RecordCursor& cur) {
  BuildInfo b;
  DAT_TRY_SET(b.model_id, in_field(cur.read_u32(), "model_id", "BuildInfo"));
  DAT_TRY_SET(b.frame, in_field(read_frame(cur), "frame", "BuildInfo"));
  DAT_TRY_SET(b.num_leaves, in_field(cur.read_u32(), "num_leaves", "BuildInfo"));
  DAT_TRY(num_portals, in_field(cur.read_u32(), "num_portals", "BuildInfo"));
  DAT_TRY_SET(b.portals,
              in_field(detail::read_list<PortalInternal>(cur, num_portals, &PortalInternal::read),
                       "portals", "BuildInfo"));
  return b;
}

ReadResult<RestrictionTable> RestrictionTable::read(RecordCursor& cur) {
  RestrictionTable t;
  DAT_TRY(count, in_field(cur.read_u16(), "count", "RestrictionTable"));
  DAT_TRY(bucket_size, in_field(cur.read_u16(), "_bucket_size", "RestrictionTable"));
  (void)bucket_size;
  const auto read_word = [](RecordCursor& c) { return c.read_u32(); };
  DAT_TRY_VOID(in_field(detail::read_map_into(cur, count, read_word, read_word, t.tables), "tables",
                        "RestrictionTable"));
  return t;
}

namespace {

ReadResult<LandblockInfo> read_landblock_info(RecordCursor& cur) {
  LandblockInfo info;
  DAT_TRY_SET(info.id, in_field(cur.read_u32(), "id", "LandblockInfo"));
  DAT_TRY_SET(info.num_cells, in_field(cur.read_u32(), "num_cells", "LandblockInfo"));
  DAT_TRY(num_objects, in_field(cur.read_u32(), "num_objects", "LandblockInfo"));
  DAT_TRY_SET(info.objects, in_field(detail::read_list<Stab>(cur, num_objects, &Stab::read),
                                     "objects", "LandblockInfo"));
  DAT_TRY(num_buildings, in_field(cur.read_u16(), "num_buildings", "LandblockInfo"));
  DAT_TRY_SET(info.pack_mask, in_field(cur.read_u16(), "pack_mask", "LandblockInfo"));
  DAT_TRY_SET(info.buildings,
              in_field(detail::read_list<BuildInfo>(cur, num_buildings, &BuildInfo::read),
                       "buildings", "LandblockInfo"));
  if (info.pack_mask & 1) {
    DAT_TRY_SET(info.restriction_tables,
                in_field(RestrictionTable::read(cur), "restriction_tables", "LandblockInfo"));
  }
  return info;
}

}  // namespace

DatResult<LandblockInfo> LandblockInfo::unpack(std::span<const std::uint8_t> bytes) {
  RecordCursor cur(bytes);
  auto info = read_landblock_info(cur);
  if (!info) return std::unexpected(DatError(std::move(info).error()));
  return std::move(*info);
}

}  // namespace dat
