#pragma once
// A little-endian byte builder: the mirror image of the record cursor.

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "common/math.hpp"

namespace writer {

class ByteWriter {
 public:
  ByteWriter& u8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  ByteWriter& u16(std::uint16_t v) { return le(v); }
  ByteWriter& i16(std::int16_t v) { return le(v); }
  ByteWriter& u32(std::uint32_t v) { return le(v); }
  ByteWriter& i32(std::int32_t v) { return le(v); }
  ByteWriter& f32(float v) { return le(v); }
  ByteWriter& bytes(std::span<const std::uint8_t> b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  ByteWriter& text(std::string_view s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  ByteWriter& zeros(std::size_t n) {
    bytes_.resize(bytes_.size() + n, 0);
    return *this;
  }
  // The 1-, 2- or 4-byte compressed form; values above 0x3FFFFFFF are cut to 30 bits.
  ByteWriter& compressed_u32(std::uint32_t v) {
    if (v < 0x80) return u8(static_cast<std::uint8_t>(v));
    if (v < 0x4000) return u8(static_cast<std::uint8_t>(0x80 | (v >> 8))).u8(v & 0xFF);
    u8(static_cast<std::uint8_t>(0xC0 | ((v >> 24) & 0x3F)));
    u8(static_cast<std::uint8_t>((v >> 16) & 0xFF));
    return u16(static_cast<std::uint16_t>(v & 0xFFFF));
  }
  ByteWriter& vector3(const common::Vector3& v) { return f32(v.x).f32(v.y).f32(v.z); }
  ByteWriter& quaternion(const common::Quaternion& q) {
    return f32(q.w).f32(q.x).f32(q.y).f32(q.z);
  }
  ByteWriter& plane(const common::Plane& p) { return vector3(p.normal).f32(p.d); }
  ByteWriter& sphere(const common::Sphere& s) { return vector3(s.center).f32(s.radius); }

  // Overwrites a u32 at an earlier offset (for fields known only later).
  void patch_u32(std::size_t offset, std::uint32_t v) { std::memcpy(&bytes_[offset], &v, 4); }

  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& view() const { return bytes_; }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

 private:
  template <class T>
  ByteWriter& le(T v) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    bytes_.insert(bytes_.end(), b, b + sizeof(T));
    return *this;
  }
  std::vector<std::uint8_t> bytes_;
};

}  // namespace writer
