// Palette::unpack over arbitrary record bytes.

#include "dat/file_type/palette.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto palette = dat::Palette::unpack(std::span<const std::uint8_t>(data, size));
  if (palette) {
    FUZZ_CHECK(8 + 4 * palette->colors.size() <= size);
  } else {
    FUZZ_CHECK(!palette.error().text().empty());
  }
  return 0;
}
