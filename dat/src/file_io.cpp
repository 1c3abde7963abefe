#include "file_io.hpp"

#include <cerrno>

#include <unistd.h>

namespace dat::detail {

std::expected<void, IoError> read_exact_at(int fd, std::uint64_t offset,
                                           std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd, out.data() + done, out.size() - done,
                              static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(IoError::from_errno(errno));
    }
    if (n == 0) return std::unexpected(IoError::unexpected_eof());
    done += static_cast<std::size_t>(n);
  }
  return {};
}

std::expected<std::size_t, IoError> read_vectored_at(int fd, std::uint64_t offset,
                                                     std::span<const iovec> segments) {
  for (;;) {
    const ssize_t n = ::preadv(fd, segments.data(), static_cast<int>(segments.size()),
                               static_cast<off_t>(offset));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::unexpected(IoError::from_errno(errno));
  }
}

SequentialRead read_up_to(int fd, std::span<std::uint8_t> out) {
  SequentialRead result;
  while (result.count < out.size()) {
    const ssize_t n = ::read(fd, out.data() + result.count, out.size() - result.count);
    if (n < 0) {
      if (errno == EINTR) continue;
      result.error = IoError::from_errno(errno);
      break;
    }
    if (n == 0) break;
    result.count += static_cast<std::size_t>(n);
  }
  return result;
}

}  // namespace dat::detail
