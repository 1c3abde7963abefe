// Texture::unpack over arbitrary record bytes.

#include "dat/file_type/texture.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto texture = dat::Texture::unpack(std::span<const std::uint8_t>(data, size));
  if (texture) {
    FUZZ_CHECK(24 + texture->source_data.size() <= size);
    const bool indexed = texture->format_raw == dat::format_code::P8 ||
                         texture->format_raw == dat::format_code::Index16;
    FUZZ_CHECK(texture->default_palette_id.has_value() == indexed);
    FUZZ_CHECK(texture->format().raw == texture->format_raw);
  } else {
    FUZZ_CHECK(!texture.error().message().empty());
  }
  return 0;
}
