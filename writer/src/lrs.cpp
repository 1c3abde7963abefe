#include "writer/lrs.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace writer {

namespace {

constexpr std::size_t kWindow = 4095;  // largest distance a 12-bit field holds
constexpr std::size_t kMinMatch = 3;   // a 2-byte match saves nothing over two literals
constexpr std::size_t kMaxMatch = 17;
constexpr std::size_t kMaxChain = 64;  // candidates tried per position
constexpr unsigned kMaxHashBits = 13;
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

std::size_t hash3(const std::uint8_t* p, unsigned bits) {
  const std::uint32_t v = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                          (std::uint32_t{p[2]} << 16);
  return (v * 2654435761u) >> (32 - bits);
}

// Collects tokens into groups of eight behind their flag byte.
class TokenWriter {
 public:
  explicit TokenWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void literal(std::uint8_t b) {
    begin_token(false);
    out_.push_back(b);
  }
  void reference(std::size_t distance, std::size_t count) {
    begin_token(true);
    out_.push_back(static_cast<std::uint8_t>(distance & 0xFF));
    out_.push_back(static_cast<std::uint8_t>(((distance >> 8) << 4) | (count - 2)));
  }

 private:
  void begin_token(bool reference) {
    if (bit_ == 0) {
      flag_at_ = out_.size();
      out_.push_back(0);
      bit_ = 0x80;
    }
    if (reference) out_[flag_at_] |= bit_;
    bit_ >>= 1;
  }

  std::vector<std::uint8_t>& out_;
  std::size_t flag_at_ = 0;
  unsigned bit_ = 0;
};

}  // namespace

std::vector<std::uint8_t> compress_lrs(std::span<const std::uint8_t> input) {
  const std::size_t n = input.size();
  std::vector<std::uint8_t> out;
  out.reserve(4 + n + n / 8 + 1);
  const auto total = static_cast<std::uint32_t>(n);
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<std::uint8_t>(total >> shift));
  }

  // Tables sized to the input, so that many small files stay cheap to compress.
  unsigned bits = 4;
  while (bits < kMaxHashBits && (std::size_t{1} << bits) < n) ++bits;
  std::vector<std::uint32_t> head(std::size_t{1} << bits, kNone);
  // prev[p % 4096] is the previous position with p's hash; slots within the window are
  // never overwritten before they fall out of it. Only slots of inserted positions are read.
  std::vector<std::uint32_t> prev(std::min(n, kWindow + 1));
  const std::uint8_t* data = input.data();
  auto insert = [&](std::size_t p) {
    if (n - p < kMinMatch) return;
    const std::size_t h = hash3(data + p, bits);
    prev[p & kWindow] = head[h];
    head[h] = static_cast<std::uint32_t>(p);
  };

  TokenWriter tokens(out);
  std::size_t pos = 0;
  while (pos < n) {
    std::size_t best_len = 0;
    std::size_t best_dist = 0;
    if (n - pos >= kMinMatch) {
      const std::size_t limit = std::min(kMaxMatch, n - pos);
      std::uint32_t cand = head[hash3(data + pos, bits)];
      for (std::size_t tries = 0; cand != kNone && tries < kMaxChain; ++tries) {
        const std::size_t dist = pos - cand;
        if (dist > kWindow) break;
        // Comparing the input itself is right even when the match overlaps pos: the
        // decoder copies byte by byte out of what it has just written.
        std::size_t len = 0;
        while (len < limit && data[cand + len] == data[pos + len]) ++len;
        if (len > best_len) {
          best_len = len;
          best_dist = dist;
          if (len == limit) break;
        }
        const std::uint32_t next = prev[cand & kWindow];
        if (next == kNone || next >= cand) break;
        cand = next;
      }
    }
    if (best_len >= kMinMatch) {
      tokens.reference(best_dist, best_len);
      for (std::size_t k = 0; k < best_len; ++k) insert(pos + k);
      pos += best_len;
    } else {
      tokens.literal(data[pos]);
      insert(pos);
      ++pos;
    }
  }
  return out;
}

}  // namespace writer
