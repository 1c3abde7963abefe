// LandblockInfo::unpack over arbitrary record bytes.

#include "dat/landblock.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto info = dat::LandblockInfo::unpack(std::span<const std::uint8_t>(data, size));
  if (!info) {
    FUZZ_CHECK(!info.error().message().empty());
  } else {
    // Every object and building takes at least 32 bytes of the record.
    FUZZ_CHECK((info->objects.size() + info->buildings.size()) * 32 <= size);
  }
  return 0;
}
