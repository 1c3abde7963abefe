#pragma once
// Thin wrappers over the POSIX read calls: interrupted calls are retried and short
// transfers continued, so callers see either all bytes or one definite failure.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>

#include <sys/uio.h>

#include "dat/error.hpp"

namespace dat::detail {

// Reads exactly out.size() bytes at absolute `offset` without moving the file position.
// The end of the file before that gives IoError::unexpected_eof().
std::expected<void, IoError> read_exact_at(int fd, std::uint64_t offset,
                                           std::span<std::uint8_t> out);

// One positioned vectored read of the segments in `segments`, retried when interrupted.
// Returns the bytes transferred, which may be fewer than asked (the file ended, or the
// platform returned a short count); the caller decides what a short count means.
std::expected<std::size_t, IoError> read_vectored_at(int fd, std::uint64_t offset,
                                                     std::span<const iovec> segments);

// Reads sequentially from the current position until `out` is full, the file ends or the
// platform fails; reports how many bytes arrived and the failure, if any.
struct SequentialRead {
  std::size_t count = 0;
  std::optional<IoError> error;
};
SequentialRead read_up_to(int fd, std::span<std::uint8_t> out);

}  // namespace dat::detail
