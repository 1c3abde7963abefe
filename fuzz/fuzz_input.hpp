#pragma once
// What every fuzz target shares: a front-to-back reader for targets whose input is a few
// fields followed by a byte run, and a property check that stops the fuzzer on violation.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

namespace fuzz {

// A violated property is a finding like a crash: report it and abort so that libFuzzer
// records the input as a crash artifact.
#define FUZZ_CHECK(cond)                                                         \
  do {                                                                           \
    if (!(cond)) {                                                               \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                              \
    }                                                                            \
  } while (0)

// Reads little-endian fields from the front of the input; a field that runs past the end
// reads as zero, so every input, however short, decodes to something.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

  std::uint8_t u8() { return take<std::uint8_t>(); }
  std::uint16_t u16() { return take<std::uint16_t>(); }
  std::uint32_t u32() { return take<std::uint32_t>(); }
  std::int32_t i32() { return take<std::int32_t>(); }

  // Up to `n` bytes from the current position.
  std::span<const std::uint8_t> bytes(std::size_t n) {
    const std::size_t k = n < remaining() ? n : remaining();
    const auto out = bytes_.subspan(pos_, k);
    pos_ += k;
    return out;
  }
  std::span<const std::uint8_t> rest() { return bytes(remaining()); }
  std::size_t remaining() const { return bytes_.size() - pos_; }

 private:
  template <class T>
  T take() {
    T v{};
    if (remaining() >= sizeof(T)) {
      std::memcpy(&v, bytes_.data() + pos_, sizeof(T));
      pos_ += sizeof(T);
    } else {
      pos_ = bytes_.size();
    }
    return v;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

}  // namespace fuzz
