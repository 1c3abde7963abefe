// SetupModel::unpack over arbitrary record bytes.

#include "dat/file_type/setup_model.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dat::RecordCursor cur(std::span<const std::uint8_t>(data, size));
  const auto setup = dat::SetupModel::unpack(cur);
  if (setup) {
    FUZZ_CHECK(104 + 4 * setup->parts.size() <= size);
    for (const auto& [key, placement] : setup->placements) {
      FUZZ_CHECK(placement.frames.size() == setup->parts.size());
    }
  } else {
    FUZZ_CHECK(!setup.error().text().empty());
  }
  return 0;
}
