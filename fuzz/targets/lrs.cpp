// decompress_lrs against a literal restatement of the decoding rules.

#include <vector>

#include "dat/utils.hpp"
#include "fuzz_input.hpp"

namespace {

// Token by token, as the format describes it. The two inputs the format leaves open (a
// literal with no source byte left, a back-reference before any output) end decoding here.
std::vector<std::uint8_t> reference_lrs(std::span<const std::uint8_t> in) {
  if (in.size() < 4) return {in.begin(), in.end()};
  const std::uint32_t total = in[0] | (in[1] << 8) | (in[2] << 16) | (std::uint32_t{in[3]} << 24);
  std::vector<std::uint8_t> out;
  const auto src = in.subspan(4);
  std::size_t i = 0;
  while (total != 0 && i < src.size()) {
    const std::uint8_t flags = src[i++];
    bool stop = false;
    for (int bit = 7; bit >= 0 && !stop; --bit) {
      if (flags & (1u << bit)) {
        if (src.size() - i < 2) return out;
        const unsigned distance = src[i] + 256u * (src[i + 1] >> 4);
        const unsigned count = (src[i + 1] & 0x0Fu) + 2;
        if (distance == 0 || out.empty()) return out;
        i += 2;
        for (unsigned c = 0; c < count && out.size() < total; ++c) {
          out.push_back(out.size() < distance ? out[0] : out[out.size() - distance]);
        }
      } else {
        if (i >= src.size()) return out;
        out.push_back(src[i++]);
      }
      if (out.size() >= total) return out;
      if (i >= src.size()) stop = true;
    }
    if (stop) break;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> in(data, size);
  const std::vector<std::uint8_t> out = dat::decompress_lrs(in);
  FUZZ_CHECK(out == reference_lrs(in));
  return 0;
}
