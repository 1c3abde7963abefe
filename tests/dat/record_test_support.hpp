#pragma once
// Helpers shared by the record reader tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dat/cursor.hpp"

namespace record_test {

using Bytes = std::vector<std::uint8_t>;
using Frames = std::vector<std::string>;

inline Frames frames(const dat::ReadError& e) {
  Frames out;
  for (const auto& f : e.context) out.push_back(f.message);
  return out;
}

inline std::span<const std::uint8_t> prefix(const Bytes& bytes, std::size_t length) {
  return std::span<const std::uint8_t>(bytes).first(length);
}

// `decode(prefix)` returns the ReadError of a failed decode, or nothing on success. Every
// cut of a valid record must fail with the end-of-data error and no value.
template <class Decode>
void expect_every_cut_fails(const Bytes& bytes, Decode&& decode) {
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    std::optional<dat::ReadError> error = decode(prefix(bytes, length));
    ASSERT_TRUE(error.has_value())
        << "a record cut to " << length << " of " << bytes.size() << " bytes decoded";
    ASSERT_EQ(error->kind, dat::ReadErrorKind::EndOfData) << "cut to " << length;
    ASSERT_EQ(error->kind_text(), "failed to fill whole buffer") << "cut to " << length;
  }
  ASSERT_FALSE(decode(prefix(bytes, bytes.size())).has_value()) << "the whole record failed";
}

// Adapts a cursor-based unpack to the shape expect_every_cut_fails wants.
template <class Record>
std::optional<dat::ReadError> unpack_error(std::span<const std::uint8_t> bytes) {
  dat::RecordCursor cur(bytes);
  auto result = Record::unpack(cur);
  if (result) return std::nullopt;
  return std::move(result).error();
}

}  // namespace record_test
