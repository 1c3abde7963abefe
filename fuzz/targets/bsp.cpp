// BspNode::read of any of the three tree kinds (named by the first byte) over the rest.

#include "dat/physics.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const auto kind = static_cast<dat::BspTreeKind>(in.u8() % 3);
  const auto tree = in.rest();
  dat::RecordCursor cur(tree);
  const auto node = dat::BspNode::read(cur, kind);
  if (node) {
    // The smallest node is a Drawing or Cell leaf of 8 bytes.
    FUZZ_CHECK(cur.position() >= 8 && cur.position() <= tree.size());
  } else {
    FUZZ_CHECK(!node.error().text().empty());
  }
  return 0;
}
