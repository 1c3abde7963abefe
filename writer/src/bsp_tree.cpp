#include "writer/bsp_tree.hpp"

#include <bit>
#include <memory>

namespace writer::bsp {

namespace {

constexpr common::Plane kPlane{common::Vector3{0.0f, 0.0f, 1.0f}, 0.0f};
constexpr common::Sphere kUnitSphere{common::Vector3{0.0f, 0.0f, 0.0f}, 1.0f};

std::unique_ptr<dat::BspNode> own(std::optional<dat::BspNode> node) {
  if (!node) return nullptr;
  return std::make_unique<dat::BspNode>(std::move(*node));
}

void write_u16_list(ByteWriter& w, const std::vector<std::uint16_t>& ids) {
  w.u32(static_cast<std::uint32_t>(ids.size()));
  for (auto id : ids) w.u16(id);
}

void write_leaf(ByteWriter& w, const dat::BspLeaf& leaf, dat::BspTreeKind kind) {
  w.u32(dat::bsp_code::LEAF).u32(leaf.leaf_index);
  if (kind != dat::BspTreeKind::Physics) return;
  w.u32(leaf.solid).sphere(leaf.sphere.value_or(common::Sphere{}));
  write_u16_list(w, leaf.polygon_ids);
}

void write_portal(ByteWriter& w, const dat::BspPortal& portal, dat::BspTreeKind kind) {
  w.u32(dat::bsp_code::PORT).plane(portal.plane);
  // A portal always has both children; a missing one is written as an empty leaf.
  for (const auto* child : {portal.positive.get(), portal.negative.get()}) {
    if (child != nullptr) {
      write_node(w, *child, kind);
    } else {
      write_node(w, leaf(0), kind);
    }
  }
  if (kind != dat::BspTreeKind::Drawing) return;
  w.sphere(portal.sphere.value_or(common::Sphere{}));
  w.u32(static_cast<std::uint32_t>(portal.polygon_ids.size()));
  w.u32(static_cast<std::uint32_t>(portal.portals.size()));
  for (auto id : portal.polygon_ids) w.u16(id);
  for (const auto& p : portal.portals) w.u16(p.portal_index).u16(p.poly_id);
}

void write_internal(ByteWriter& w, const dat::InternalNode& node, dat::BspTreeKind kind) {
  w.u32(node.code()).plane(node.plane);
  if (node.positive) write_node(w, *node.positive, kind);
  if (node.negative) write_node(w, *node.negative, kind);
  if (kind != dat::BspTreeKind::Cell) w.sphere(node.sphere.value_or(common::Sphere{}));
  if (kind == dat::BspTreeKind::Drawing) write_u16_list(w, node.polygon_ids);
}

}  // namespace

dat::BspNode leaf(std::uint32_t leaf_index, std::uint32_t solid,
                  std::vector<std::uint16_t> polygon_ids) {
  dat::BspLeaf l;
  l.leaf_index = leaf_index;
  l.solid = solid;
  l.sphere = kUnitSphere;
  l.polygon_ids = std::move(polygon_ids);
  return dat::BspNode{std::move(l)};
}

dat::BspNode internal(std::uint32_t code, std::optional<dat::BspNode> positive,
                      std::optional<dat::BspNode> negative,
                      std::vector<std::uint16_t> polygon_ids) {
  dat::InternalNode n;
  n.tag = std::byteswap(code);
  n.plane = kPlane;
  n.positive = own(std::move(positive));
  n.negative = own(std::move(negative));
  n.sphere = kUnitSphere;
  n.polygon_ids = std::move(polygon_ids);
  return dat::BspNode{std::move(n)};
}

dat::BspNode portal(dat::BspNode positive, dat::BspNode negative,
                    std::vector<std::uint16_t> polygon_ids, std::vector<dat::PortalPoly> portals) {
  dat::BspPortal p;
  p.plane = kPlane;
  p.positive = std::make_unique<dat::BspNode>(std::move(positive));
  p.negative = std::make_unique<dat::BspNode>(std::move(negative));
  p.sphere = kUnitSphere;
  p.polygon_ids = std::move(polygon_ids);
  p.portals = std::move(portals);
  return dat::BspNode{std::move(p)};
}

dat::BspNode small_tree(std::vector<std::uint16_t> polygon_ids) {
  std::vector<std::uint16_t> first;
  if (!polygon_ids.empty()) first.push_back(polygon_ids.front());
  return internal(dat::bsp_code::BPIN,
                  portal(leaf(1, 1, first), leaf(2), first, {dat::PortalPoly{0, 0}}),
                  leaf(3, 0, polygon_ids), std::move(polygon_ids));
}

void write_node(ByteWriter& w, const dat::BspNode& node, dat::BspTreeKind kind) {
  if (const auto* l = std::get_if<dat::BspLeaf>(&node.value)) return write_leaf(w, *l, kind);
  if (const auto* p = std::get_if<dat::BspPortal>(&node.value)) return write_portal(w, *p, kind);
  write_internal(w, std::get<dat::InternalNode>(node.value), kind);
}

std::vector<std::uint8_t> encode_tree(const dat::BspNode& node, dat::BspTreeKind kind) {
  ByteWriter w;
  write_node(w, node, kind);
  return w.take();
}

std::vector<std::uint8_t> encode_chain(dat::BspTreeKind kind, std::uint64_t levels) {
  ByteWriter w;
  if (levels == 0) return w.take();
  // Each internal node's head (code and plane) comes before its child, its tail (sphere
  // and polygon list) after it; the tails of a chain are all alike.
  for (std::uint64_t i = 1; i < levels; ++i) w.u32(dat::bsp_code::BPnn).plane(kPlane);
  write_leaf(w, std::get<dat::BspLeaf>(leaf(0).value), kind);
  for (std::uint64_t i = 1; i < levels; ++i) {
    if (kind != dat::BspTreeKind::Cell) w.sphere(kUnitSphere);
    if (kind == dat::BspTreeKind::Drawing) w.u32(0);
  }
  return w.take();
}

}  // namespace writer::bsp
