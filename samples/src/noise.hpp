#pragma once
// Deterministic randomness for the sample world: a fixed-seed generator and a few noise
// functions built only from arithmetic and sqrt, so that the same program writes the same
// bytes on every run.

#include <cstdint>

namespace sample {

// SplitMix64: small, fast and fully determined by its seed.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  double unit();  // uniform in [0, 1)

 private:
  std::uint64_t state_;
};

// A well-mixed 32-bit hash of a lattice point and a seed.
std::uint32_t hash2(std::int32_t x, std::int32_t y, std::uint32_t seed);
// hash2 mapped to [0, 1).
double lattice(std::int32_t x, std::int32_t y, std::uint32_t seed);

// Smooth value noise in [0, 1]: lattice values blended with a quintic fade.
double value_noise(double x, double y, std::uint32_t seed);
// Fractal sum of value noise: each octave doubles the frequency and halves the weight;
// the result is normalised back to [0, 1].
double fbm(double x, double y, std::uint32_t seed, int octaves);

// A smooth periodic wave in [0, 1] with period 1: 0 at integers, 1 at half-integers.
double wave(double x);
double smoothstep(double edge0, double edge1, double x);
double clamp01(double x);
double fract(double x);

// Cellular (Worley) noise: one jittered feature point per lattice cell.
struct Cells {
  double f1 = 0;         // distance to the nearest feature point
  double f2 = 0;         // distance to the second nearest
  std::uint32_t id = 0;  // hash of the nearest point's cell, for per-cell variation
};
Cells cells(double x, double y, std::uint32_t seed);

}  // namespace sample
