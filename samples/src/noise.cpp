#include "noise.hpp"

#include <cmath>

namespace sample {

std::uint64_t Rng::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Rng::unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

std::uint32_t hash2(std::int32_t x, std::int32_t y, std::uint32_t seed) {
  std::uint32_t h = seed * 0x9E3779B1u;
  h ^= static_cast<std::uint32_t>(x) * 0x85EBCA77u;
  h = (h << 13) | (h >> 19);
  h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

double lattice(std::int32_t x, std::int32_t y, std::uint32_t seed) {
  return static_cast<double>(hash2(x, y, seed)) / 4294967296.0;
}

namespace {

double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }
double lerp(double a, double b, double t) { return a + (b - a) * t; }

}  // namespace

double value_noise(double x, double y, std::uint32_t seed) {
  const double fx = std::floor(x);
  const double fy = std::floor(y);
  const auto ix = static_cast<std::int32_t>(fx);
  const auto iy = static_cast<std::int32_t>(fy);
  const double tx = fade(x - fx);
  const double ty = fade(y - fy);
  const double top = lerp(lattice(ix, iy, seed), lattice(ix + 1, iy, seed), tx);
  const double bottom = lerp(lattice(ix, iy + 1, seed), lattice(ix + 1, iy + 1, seed), tx);
  return lerp(top, bottom, ty);
}

double fbm(double x, double y, std::uint32_t seed, int octaves) {
  double sum = 0;
  double weight = 1;
  double total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += weight * value_noise(x, y, seed + static_cast<std::uint32_t>(o) * 101u);
    total += weight;
    weight *= 0.5;
    x *= 2.0;
    y *= 2.0;
  }
  return sum / total;
}

double fract(double x) { return x - std::floor(x); }

double clamp01(double x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

double smoothstep(double edge0, double edge1, double x) {
  const double t = clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0 - 2.0 * t);
}

double wave(double x) {
  const double tri = 1.0 - std::fabs(2.0 * fract(x) - 1.0);
  return tri * tri * (3.0 - 2.0 * tri);
}

Cells cells(double x, double y, std::uint32_t seed) {
  const auto cx = static_cast<std::int32_t>(std::floor(x));
  const auto cy = static_cast<std::int32_t>(std::floor(y));
  Cells out;
  out.f1 = 1e9;
  out.f2 = 1e9;
  for (std::int32_t dy = -1; dy <= 1; ++dy) {
    for (std::int32_t dx = -1; dx <= 1; ++dx) {
      const std::int32_t gx = cx + dx;
      const std::int32_t gy = cy + dy;
      const double px = gx + 0.1 + 0.8 * lattice(gx, gy, seed);
      const double py = gy + 0.1 + 0.8 * lattice(gx, gy, seed ^ 0x5bd1e995u);
      const double d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
      if (d < out.f1) {
        out.f2 = out.f1;
        out.f1 = d;
        out.id = hash2(gx, gy, seed ^ 0x27d4eb2du);
      } else if (d < out.f2) {
        out.f2 = d;
      }
    }
  }
  return out;
}

}  // namespace sample
