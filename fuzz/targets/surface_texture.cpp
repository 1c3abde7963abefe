// SurfaceTexture::unpack over arbitrary record bytes.

#include "dat/file_type/surface_texture.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto list = dat::SurfaceTexture::unpack(std::span<const std::uint8_t>(data, size));
  if (list) {
    FUZZ_CHECK(13 + 4 * list->textures.size() <= size);
  } else {
    FUZZ_CHECK(!list.error().text().empty());
  }
  return 0;
}
