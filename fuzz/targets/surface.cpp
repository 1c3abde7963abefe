// Surface::unpack over arbitrary record bytes.

#include "dat/file_type/surface.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto surface = dat::Surface::unpack(std::span<const std::uint8_t>(data, size));
  if (surface) {
    // Exactly one of the two is present, as the flag word says.
    const bool textured = (surface->surface_type & dat::kSurfaceTexturedMask) != 0;
    FUZZ_CHECK(surface->texture_refs.has_value() == textured);
    FUZZ_CHECK(surface->color_value.has_value() != textured);
    FUZZ_CHECK(size >= (textured ? 24u : 20u));
  } else {
    FUZZ_CHECK(!surface.error().text().empty());
  }
  return 0;
}
