#include "dat/physics.hpp"

#include <bit>

#include "dat/shared_records.hpp"
#include "list_reader.hpp"

namespace dat {

std::uint32_t InternalNode::code() const { return std::byteswap(tag); }

ReadResult<PortalPoly> PortalPoly::read(RecordCursor& cur) {
  PortalPoly p;
  DAT_TRY_SET(p.portal_index, in_field(cur.read_u16(), "portal_index", "PortalPoly"));
  DAT_TRY_SET(p.poly_id, in_field(cur.read_u16(), "poly_id", "PortalPoly"));
  return p;
}

namespace {

// Recursion is bounded by kMaxBspDepth, so hostile data cannot exhaust the stack.
ReadResult<BspNode> read_node(RecordCursor& cur, BspTreeKind kind, std::uint32_t level);

ReadResult<std::unique_ptr<BspNode>> read_child(RecordCursor& cur, BspTreeKind kind,
                                                std::uint32_t level) {
  DAT_TRY(node, read_node(cur, kind, level));
  return std::make_unique<BspNode>(std::move(node));
}

ReadResult<BspPortal> read_portal_body(RecordCursor& cur, BspTreeKind kind, std::uint32_t level) {
  BspPortal p;
  DAT_TRY_SET(p.plane, read_plane(cur));
  DAT_TRY_SET(p.positive, read_child(cur, kind, level + 1));
  DAT_TRY_SET(p.negative, read_child(cur, kind, level + 1));
  if (kind == BspTreeKind::Drawing) {
    DAT_TRY_SET(p.sphere, read_sphere(cur));
    // Both counts come before both lists.
    DAT_TRY(num_polygons, cur.read_u32());
    DAT_TRY(num_portals, cur.read_u32());
    DAT_TRY_SET(p.polygon_ids, detail::read_u16_list(cur, num_polygons));
    DAT_TRY_SET(p.portals, detail::read_list<PortalPoly>(cur, num_portals, &PortalPoly::read));
  }
  return p;
}

ReadResult<BspLeaf> read_leaf(RecordCursor& cur, BspTreeKind kind) {
  BspLeaf leaf;
  DAT_TRY_SET(leaf.leaf_index, cur.read_u32());
  if (kind == BspTreeKind::Physics) {
    DAT_TRY_SET(leaf.solid, cur.read_u32());
    DAT_TRY_SET(leaf.sphere, read_sphere(cur));
    DAT_TRY(num_polygons, cur.read_u32());
    DAT_TRY_SET(leaf.polygon_ids, detail::read_u16_list(cur, num_polygons));
  }
  return leaf;
}

struct ChildSet {
  bool positive;
  bool negative;
};

ChildSet children_of(std::uint32_t code) {
  switch (code) {
    case bsp_code::BPnn:
    case bsp_code::BPIn:
      return {true, false};
    case bsp_code::BpIN:
    case bsp_code::BpnN:
      return {false, true};
    case bsp_code::BPIN:
    case bsp_code::BPnN:
      return {true, true};
    default:
      return {false, false};
  }
}

ReadResult<InternalNode> read_internal(RecordCursor& cur, BspTreeKind kind, std::uint32_t code,
                                       std::uint32_t level) {
  InternalNode n;
  n.tag = std::byteswap(code);
  DAT_TRY_SET(n.plane, read_plane(cur));
  const ChildSet children = children_of(code);
  if (children.positive) DAT_TRY_SET(n.positive, read_child(cur, kind, level + 1));
  if (children.negative) DAT_TRY_SET(n.negative, read_child(cur, kind, level + 1));
  if (kind != BspTreeKind::Cell) DAT_TRY_SET(n.sphere, read_sphere(cur));
  if (kind == BspTreeKind::Drawing) {
    DAT_TRY(num_polygons, cur.read_u32());
    DAT_TRY_SET(n.polygon_ids, detail::read_u16_list(cur, num_polygons));
  }
  return n;
}

ReadResult<BspNode> read_node(RecordCursor& cur, BspTreeKind kind, std::uint32_t level) {
  if (level > kMaxBspDepth) {
    return std::unexpected(
        ReadError::invalid_data("BSP tree deeper than 256 levels", cur.position()));
  }
  DAT_TRY(code, cur.read_u32());
  switch (code) {
    case bsp_code::LEAF: {
      DAT_TRY(leaf, read_leaf(cur, kind));
      return BspNode{std::move(leaf)};
    }
    case bsp_code::PORT: {
      DAT_TRY(portal, read_portal_body(cur, kind, level));
      return BspNode{std::move(portal)};
    }
    default: {
      DAT_TRY(internal, read_internal(cur, kind, code, level));
      return BspNode{std::move(internal)};
    }
  }
}

}  // namespace

ReadResult<BspPortal> BspPortal::read(RecordCursor& cur, BspTreeKind kind) {
  return read_portal_body(cur, kind, 1);
}

ReadResult<BspNode> BspNode::read(RecordCursor& cur, BspTreeKind kind) {
  return read_node(cur, kind, 1);
}

}  // namespace dat
