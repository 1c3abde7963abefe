// GfxObj::unpack, BSP trees included, over arbitrary record bytes.

#include "dat/file_type/gfx_obj.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dat::RecordCursor cur(std::span<const std::uint8_t>(data, size));
  const auto mesh = dat::GfxObj::unpack(cur);
  if (mesh) {
    FUZZ_CHECK(cur.position() <= size);
    FUZZ_CHECK(mesh->physics_bsp.has_value() == ((mesh->flags & 0x1) != 0));
    FUZZ_CHECK(mesh->drawing_bsp.has_value() == ((mesh->flags & 0x2) != 0));
    FUZZ_CHECK(mesh->linked_id.has_value() == ((mesh->flags & 0x8) != 0));
  } else {
    FUZZ_CHECK(!mesh.error().text().empty());
  }
  return 0;
}
