#pragma once
// Reading counted lists whose count came from the data. Lists grow one element at a time,
// so a corrupt count costs no more memory than the elements actually present.

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dat/cursor.hpp"

namespace dat::detail {

// Reads `count` elements with `read_one(cur)`. `reserve` is for callers whose count is
// narrow enough (one or two bytes) that reserving it up front is harmless.
template <class T, class ReadOne>
ReadResult<std::vector<T>> read_list(RecordCursor& cur, std::uint64_t count, ReadOne&& read_one,
                                     std::size_t reserve = 0) {
  std::vector<T> out;
  out.reserve(reserve);
  for (std::uint64_t i = 0; i < count; ++i) {
    DAT_TRY(element, read_one(cur));
    out.push_back(std::move(element));
  }
  return out;
}

inline ReadResult<std::vector<std::uint16_t>> read_u16_list(RecordCursor& cur, std::uint64_t count,
                                                            std::size_t reserve = 0) {
  return read_list<std::uint16_t>(
      cur, count, [](RecordCursor& c) { return c.read_u16(); }, reserve);
}

inline ReadResult<std::vector<std::uint32_t>> read_u32_list(RecordCursor& cur,
                                                            std::uint64_t count) {
  return read_list<std::uint32_t>(cur, count, [](RecordCursor& c) { return c.read_u32(); });
}

inline ReadResult<std::vector<std::uint8_t>> read_u8_list(RecordCursor& cur, std::uint64_t count,
                                                          std::size_t reserve = 0) {
  return read_list<std::uint8_t>(
      cur, count, [](RecordCursor& c) { return c.read_u8(); }, reserve);
}

// Reads `count` entries of a key (`read_key(cur)`) followed by a value (`read_value(cur)`)
// into `out`; a later entry with a key already seen replaces the earlier one. Fills the map
// in place: g++ 12 misreads the destruction of an expected that holds a map and warns.
template <class K, class V, class ReadKey, class ReadValue>
ReadResult<void> read_map_into(RecordCursor& cur, std::uint64_t count, ReadKey&& read_key,
                               ReadValue&& read_value, std::unordered_map<K, V>& out) {
  for (std::uint64_t i = 0; i < count; ++i) {
    DAT_TRY(key, read_key(cur));
    DAT_TRY(value, read_value(cur));
    out.insert_or_assign(key, std::move(value));
  }
  return {};
}

}  // namespace dat::detail

// Propagates the failure of a ReadResult<void>.
#define DAT_TRY_VOID(expr)                                                              \
  do {                                                                                  \
    auto try_void_result_ = (expr);                                                     \
    if (!try_void_result_) return std::unexpected(std::move(try_void_result_).error()); \
  } while (0)
