#pragma once
// A fixed-seed generator for the benchmark world: xoshiro256** seeded by splitmix64. Integer
// arithmetic only, so the same seed gives the same world on every machine and compiler.

#include <cstdint>

namespace bench {

class Prng {
 public:
  explicit Prng(std::uint64_t seed) {
    for (auto& word : s_) word = splitmix(seed);
  }

  std::uint64_t next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }
  std::uint32_t u32() { return static_cast<std::uint32_t>(next() >> 32); }
  // Uniform in [0, n) by the multiply-shift reduction (n > 0).
  std::uint32_t below(std::uint32_t n) {
    return static_cast<std::uint32_t>((std::uint64_t{u32()} * n) >> 32);
  }
  // Uniform in [lo, hi], both included.
  std::uint32_t between(std::uint32_t lo, std::uint32_t hi) { return lo + below(hi - lo + 1); }
  // True with probability percent / 100.
  bool chance(std::uint32_t percent) { return below(100) < percent; }

  // An independent stream for one object, so each can be made without making the others.
  static Prng derive(std::uint64_t seed, std::uint64_t stream) {
    return Prng(seed ^ (stream * 0xD1B54A32D192ED03ull));
  }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  static std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t s_[4];
};

}  // namespace bench
