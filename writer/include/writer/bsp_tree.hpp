#pragma once
// Builders and encoder of BSP trees. The builders make kind-independent nodes (a unit
// bounding sphere, the plane z = 0); the encoder writes what the given tree kind carries,
// a zero sphere where a node has none. Children are written as held, so an internal
// node's children must match its code (the builders' callers choose both).

#include <cstdint>
#include <optional>
#include <vector>

#include "dat/physics.hpp"
#include "writer/byte_writer.hpp"

namespace writer::bsp {

dat::BspNode leaf(std::uint32_t leaf_index, std::uint32_t solid = 0,
                  std::vector<std::uint16_t> polygon_ids = {});
dat::BspNode internal(std::uint32_t code, std::optional<dat::BspNode> positive,
                      std::optional<dat::BspNode> negative,
                      std::vector<std::uint16_t> polygon_ids = {});
dat::BspNode portal(dat::BspNode positive, dat::BspNode negative,
                    std::vector<std::uint16_t> polygon_ids = {},
                    std::vector<dat::PortalPoly> portals = {});

// A small tree that names `polygon_ids`: a "BPIN" root listing them, whose positive child
// is a "PORT" node over two leaves and whose negative child is a leaf.
dat::BspNode small_tree(std::vector<std::uint16_t> polygon_ids);

void write_node(ByteWriter& w, const dat::BspNode& node, dat::BspTreeKind kind);
std::vector<std::uint8_t> encode_tree(const dat::BspNode& node, dat::BspTreeKind kind);

// A chain of `levels` levels: levels - 1 "BPnn" nodes, each the positive child of the one
// before, ending in a leaf. Built without recursion, so any depth can be encoded.
std::vector<std::uint8_t> encode_chain(dat::BspTreeKind kind, std::uint64_t levels);

}  // namespace writer::bsp
