// EnvCell::unpack over arbitrary record bytes.

#include "dat/file_type/env_cell.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dat::RecordCursor cur(std::span<const std::uint8_t>(data, size));
  const auto cell = dat::EnvCell::unpack(cur);
  if (cell) {
    FUZZ_CHECK(48 + 2 * cell->surfaces.size() + 32 * cell->stabs.size() <= size);
    FUZZ_CHECK(cell->trailer.has_value() == ((cell->flags & 8) != 0));
  } else {
    FUZZ_CHECK(!cell.error().text().empty());
  }
  return 0;
}
