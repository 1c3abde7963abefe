#pragma once
// Binary space partitioning trees carried by meshes. One node encoding serves three kinds
// of tree; the kind is not stored, the caller names it, and it decides which optional
// fields each node carries on disk.
//
// Every node starts with a u32 type code (four ASCII characters, the first in the most
// significant byte, so on disk they stand in reverse order):
//   "LEAF": leaf_index u32; Physics trees add solid u32, sphere Sphere, count u32,
//           count × u16 polygon ids.
//   "PORT": plane Plane, positive node, negative node; Drawing trees add sphere Sphere,
//           polygon count u32, portal count u32, polygon ids u16[], PortalPoly[].
//   other: plane Plane, then the children the code names (positive first), then, unless
//          Cell, sphere Sphere, then, in Drawing trees, count u32 + count × u16 polygon ids.
//          Codes outside the table below have no children.

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "common/math.hpp"
#include "dat/cursor.hpp"

namespace dat {

enum class BspTreeKind : std::uint8_t { Drawing = 0, Physics = 1, Cell = 2 };

// Node type codes as read from the data (a little-endian u32).
namespace bsp_code {
inline constexpr std::uint32_t LEAF = 0x4C454146;
inline constexpr std::uint32_t PORT = 0x504F5254;
inline constexpr std::uint32_t BPnn = 0x42506E6E;  // positive child only
inline constexpr std::uint32_t BPIn = 0x4250496E;  // positive child only
inline constexpr std::uint32_t BpIN = 0x4270494E;  // negative child only
inline constexpr std::uint32_t BpnN = 0x42706E4E;  // negative child only
inline constexpr std::uint32_t BPIN = 0x4250494E;  // both children
inline constexpr std::uint32_t BPnN = 0x42506E4E;  // both children
}  // namespace bsp_code

// Deeper trees fail with InvalidData "BSP tree deeper than 256 levels"; the root is level 1.
inline constexpr std::uint32_t kMaxBspDepth = 256;

struct BspNode;

struct PortalPoly {
  std::uint16_t portal_index = 0;
  std::uint16_t poly_id = 0;

  static ReadResult<PortalPoly> read(RecordCursor& cur);
};

struct BspPortal {
  common::Plane plane;
  std::unique_ptr<BspNode> positive;       // always present once read
  std::unique_ptr<BspNode> negative;       // always present once read
  std::optional<common::Sphere> sphere;    // Drawing trees only
  std::vector<std::uint16_t> polygon_ids;  // Drawing trees only
  std::vector<PortalPoly> portals;         // Drawing trees only

  // Reads the body of a portal node, after its "PORT" code; the portal counts as level 1.
  static ReadResult<BspPortal> read(RecordCursor& cur, BspTreeKind kind);
};

struct BspLeaf {
  std::uint32_t leaf_index = 0;
  std::uint32_t solid = 0;                 // Physics trees only, else 0
  std::optional<common::Sphere> sphere;    // Physics trees only
  std::vector<std::uint16_t> polygon_ids;  // Physics trees only
};

struct InternalNode {
  // The type code, held so that its four bytes in memory spell the code in character
  // order ("BPIN"): the byte-swapped value of the u32 read from the data.
  std::uint32_t tag = 0;
  common::Plane plane;
  std::unique_ptr<BspNode> positive;
  std::unique_ptr<BspNode> negative;
  std::optional<common::Sphere> sphere;    // absent in Cell trees
  std::vector<std::uint16_t> polygon_ids;  // Drawing trees only

  // The type code as it is stored in the data (one of bsp_code, or any other value).
  std::uint32_t code() const;
};

struct BspNode {
  std::variant<BspPortal, BspLeaf, InternalNode> value;

  // Reads one node and its whole subtree; the cursor ends just past the subtree.
  static ReadResult<BspNode> read(RecordCursor& cur, BspTreeKind kind);
};

}  // namespace dat
