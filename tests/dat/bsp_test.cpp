#include <gtest/gtest.h>

#include <cstring>

#include "dat/physics.hpp"
#include "record_test_support.hpp"
#include "writer/bsp_tree.hpp"

namespace {

using namespace record_test;
using dat::BspTreeKind;
namespace bsp = writer::bsp;
namespace code = dat::bsp_code;

constexpr BspTreeKind kKinds[] = {BspTreeKind::Drawing, BspTreeKind::Physics, BspTreeKind::Cell};

const char* name(BspTreeKind kind) {
  switch (kind) {
    case BspTreeKind::Drawing:
      return "Drawing";
    case BspTreeKind::Physics:
      return "Physics";
    case BspTreeKind::Cell:
      return "Cell";
  }
  return "?";
}

// Reads a tree, checks it consumed exactly `bytes`, and that it encodes back to them.
dat::BspNode read_all(const Bytes& bytes, BspTreeKind kind) {
  dat::RecordCursor cur(bytes);
  auto node = dat::BspNode::read(cur, kind);
  EXPECT_TRUE(node.has_value()) << name(kind) << ": " << node.error().text();
  if (!node) return bsp::leaf(0);
  EXPECT_EQ(cur.position(), bytes.size()) << name(kind);
  EXPECT_EQ(bsp::encode_tree(*node, kind), bytes) << name(kind);
  return std::move(*node);
}

TEST(BspNode, LeavesCarryWhatTheirKindCarries) {
  {
    const Bytes bytes = bsp::encode_tree(bsp::leaf(7, 9, {1, 2}), BspTreeKind::Drawing);
    ASSERT_EQ(bytes.size(), 8u);
    const auto leaf = std::get<dat::BspLeaf>(read_all(bytes, BspTreeKind::Drawing).value);
    EXPECT_EQ(leaf.leaf_index, 7u);
    EXPECT_EQ(leaf.solid, 0u);
    EXPECT_FALSE(leaf.sphere.has_value());
    EXPECT_TRUE(leaf.polygon_ids.empty());
  }
  {
    const Bytes bytes = bsp::encode_tree(bsp::leaf(7, 1), BspTreeKind::Physics);
    ASSERT_EQ(bytes.size(), 32u);
    const auto leaf = std::get<dat::BspLeaf>(read_all(bytes, BspTreeKind::Physics).value);
    EXPECT_EQ(leaf.solid, 1u);
    ASSERT_TRUE(leaf.sphere.has_value());
    EXPECT_EQ(leaf.sphere->radius, 1.0f);
    EXPECT_TRUE(leaf.polygon_ids.empty());
  }
}

// Node sizes without subtrees: leaf 8 / 32 + 2n / 8, internal 40 + 2n / 36 / 20, portal
// 44 + 2n + 4m / 20 / 20 (Drawing / Physics / Cell).
TEST(BspNode, NodeSizesFollowTheKind) {
  struct Case {
    BspTreeKind kind;
    std::size_t internal_two_ids;  // a "BPIN" node with two polygon ids over two leaves
    std::size_t portal_two_ids_one_portal;
  };
  const Case cases[] = {
      {BspTreeKind::Drawing, 40 + 4 + 2 * 8, 44 + 4 + 4 + 2 * 8},
      {BspTreeKind::Physics, 36 + 2 * (32 + 2), 20 + 2 * (32 + 2)},
      {BspTreeKind::Cell, 20 + 2 * 8, 20 + 2 * 8},
  };
  for (const auto& c : cases) {
    const Bytes internal = bsp::encode_tree(
        bsp::internal(code::BPIN, bsp::leaf(1, 0, {5}), bsp::leaf(2, 0, {6}), {1, 2}), c.kind);
    EXPECT_EQ(internal.size(), c.internal_two_ids) << name(c.kind);
    read_all(internal, c.kind);

    const Bytes portal = bsp::encode_tree(
        bsp::portal(bsp::leaf(1, 0, {5}), bsp::leaf(2, 0, {6}), {3, 4}, {{9, 10}}), c.kind);
    EXPECT_EQ(portal.size(), c.portal_two_ids_one_portal) << name(c.kind);
    const auto node = read_all(portal, c.kind);
    const auto& p = std::get<dat::BspPortal>(node.value);
    ASSERT_TRUE(p.positive && p.negative);
    EXPECT_EQ(std::get<dat::BspLeaf>(p.negative->value).leaf_index, 2u);
    if (c.kind == BspTreeKind::Drawing) {
      EXPECT_EQ(p.polygon_ids, (std::vector<std::uint16_t>{3, 4}));
      ASSERT_EQ(p.portals.size(), 1u);
      EXPECT_EQ(p.portals[0].portal_index, 9);
      EXPECT_EQ(p.portals[0].poly_id, 10);
    } else {
      EXPECT_FALSE(p.sphere.has_value());
      EXPECT_TRUE(p.portals.empty());
    }
  }
}

TEST(BspNode, EveryCodeNamesItsChildren) {
  struct Case {
    std::uint32_t code;
    const char* chars;
    bool positive;
    bool negative;
  };
  const Case cases[] = {
      {code::BPnn, "BPnn", true, false},
      {code::BPIn, "BPIn", true, false},
      {code::BpIN, "BpIN", false, true},
      {code::BpnN, "BpnN", false, true},
      {code::BPIN, "BPIN", true, true},
      {code::BPnN, "BPnN", true, true},
      {0x4270496E, "BpIn", false, false},
      {0x42706E6E, "Bpnn", false, false},
      {0x12345678, "\x12\x34\x56\x78", false, false},
  };
  for (const auto kind : kKinds) {
    for (const auto& c : cases) {
      std::optional<dat::BspNode> pos, neg;
      if (c.positive) pos = bsp::leaf(1);
      if (c.negative) neg = bsp::leaf(2);
      const Bytes bytes =
          bsp::encode_tree(bsp::internal(c.code, std::move(pos), std::move(neg)), kind);
      const auto node = read_all(bytes, kind);
      const auto& n = std::get<dat::InternalNode>(node.value);
      EXPECT_EQ(n.code(), c.code);
      EXPECT_EQ(std::memcmp(&n.tag, c.chars, 4), 0) << c.chars;
      ASSERT_EQ(n.positive != nullptr, c.positive) << c.chars << " " << name(kind);
      ASSERT_EQ(n.negative != nullptr, c.negative) << c.chars << " " << name(kind);
      if (c.positive) {
        EXPECT_EQ(std::get<dat::BspLeaf>(n.positive->value).leaf_index, 1u);
      }
      if (c.negative) {
        EXPECT_EQ(std::get<dat::BspLeaf>(n.negative->value).leaf_index, 2u);
      }
      EXPECT_EQ(n.sphere.has_value(), kind != BspTreeKind::Cell);
    }
  }
}

TEST(BspNode, EveryCutFailsWithItsFrames) {
  // Drawing: every node type and every optional list.
  const auto tree = bsp::internal(
      code::BPnN,
      bsp::portal(bsp::leaf(1), bsp::internal(code::BpnN, std::nullopt, bsp::leaf(2), {7}), {8},
                  {{1, 2}, {3, 4}}),
      bsp::leaf(3), {9, 10});
  const Bytes bytes = bsp::encode_tree(tree, BspTreeKind::Drawing);
  expect_every_cut_fails(bytes,
                         [](std::span<const std::uint8_t> b) -> std::optional<dat::ReadError> {
                           dat::RecordCursor cur(b);
                           auto node = dat::BspNode::read(cur, BspTreeKind::Drawing);
                           if (node) return std::nullopt;
                           return std::move(node).error();
                         });

  // Layout: root head 20 | portal head 20 | leaf 8 | BpnN head 20 | leaf 8 | BpnN tail 16+4+2
  //         | portal tail 16 + 8 + 2 + 8 | leaf 8 | root tail 16 + 4 + 4.
  constexpr std::size_t kPortalTail = 20 + 20 + 8 + 20 + 8 + 22;
  constexpr std::size_t kRootTail = kPortalTail + 34 + 8;
  struct Case {
    std::size_t cut;
    Frames frames;
  };
  const Case cases[] = {
      {2, {}},
      {4 + 14, {"While parsing field 'd' in Plane"}},
      {20 + 4 + 5, {"While parsing field 'y' in Vector3", "While parsing field 'normal' in Plane"}},
      {kPortalTail + 13, {"While parsing field 'radius' in Sphere"}},
      {kPortalTail + 16 + 6, {}},  // inside the portal count
      {kPortalTail + 26 + 1, {"While parsing field 'portal_index' in PortalPoly"}},
      {kPortalTail + 30 + 3, {"While parsing field 'poly_id' in PortalPoly"}},
      {kRootTail + 16 + 4 + 3, {}},  // inside the root's polygon ids
  };
  for (const auto& c : cases) {
    dat::RecordCursor cur(prefix(bytes, c.cut));
    auto node = dat::BspNode::read(cur, BspTreeKind::Drawing);
    ASSERT_FALSE(node.has_value()) << "cut " << c.cut;
    EXPECT_EQ(frames(node.error()), c.frames) << "cut " << c.cut;
  }
  ASSERT_EQ(kRootTail + 24, bytes.size());
}

TEST(BspNode, HugePolygonCountFailsAtTheEndOfTheData) {
  writer::ByteWriter w;
  w.u32(code::LEAF).u32(0).u32(0).sphere({}).u32(0xFFFFFFFF).u16(1).u16(2).u16(3);
  dat::RecordCursor cur(w.view());
  auto node = dat::BspNode::read(cur, BspTreeKind::Physics);
  ASSERT_FALSE(node.has_value());
  EXPECT_EQ(node.error().text(), "failed to fill whole buffer");
  EXPECT_EQ(cur.position(), w.size());
}

// A chain whose nodes alternate between portals and internal nodes, `levels` deep.
dat::BspNode mixed_chain(std::uint32_t levels) {
  dat::BspNode node = bsp::leaf(0);
  for (std::uint32_t level = levels - 1; level >= 1; --level) {
    node = level % 2 ? bsp::portal(std::move(node), bsp::leaf(level))
                     : bsp::internal(code::BPIn, std::move(node), std::nullopt);
  }
  return node;
}

TEST(BspNode, TreesDeeperThan256LevelsFail) {
  const std::string deep = "BSP tree deeper than 256 levels at 0x1400";  // 256 heads of 20
  for (const auto kind : kKinds) {
    const Bytes fits = bsp::encode_chain(kind, 256);
    dat::RecordCursor ok(fits);
    EXPECT_TRUE(dat::BspNode::read(ok, kind).has_value()) << name(kind);

    for (std::uint64_t levels : {257u, 100'000u}) {
      const Bytes bytes = bsp::encode_chain(kind, levels);
      dat::RecordCursor cur(bytes);
      auto node = dat::BspNode::read(cur, kind);
      ASSERT_FALSE(node.has_value()) << name(kind) << " " << levels;
      EXPECT_EQ(node.error().kind, dat::ReadErrorKind::InvalidData);
      EXPECT_EQ(node.error().text(), deep) << name(kind) << " " << levels;
    }
  }
  // Portals count as levels like any other node.
  for (const auto kind : kKinds) {
    const Bytes fits = bsp::encode_tree(mixed_chain(256), kind);
    read_all(fits, kind);
    const Bytes too_deep = bsp::encode_tree(mixed_chain(257), kind);
    dat::RecordCursor cur(too_deep);
    auto node = dat::BspNode::read(cur, kind);
    ASSERT_FALSE(node.has_value()) << name(kind);
    EXPECT_EQ(node.error().message, "BSP tree deeper than 256 levels") << name(kind);
  }
}

}  // namespace
