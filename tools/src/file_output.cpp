#include "file_output.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tools {

void create_parent_directories(const std::filesystem::path& path) {
  const auto parent = path.parent_path();
  if (parent.empty()) return;
  std::error_code ignored;
  // mkdir with 0777, reduced by the umask.
  std::filesystem::create_directories(parent, ignored);
}

std::expected<OutputFile, dat::IoError> OutputFile::create(const std::filesystem::path& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::unexpected(dat::IoError::from_errno(errno));
  return OutputFile(fd);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::expected<void, dat::IoError> OutputFile::write_all(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(dat::IoError::from_errno(errno));
    }
    if (n == 0) return std::unexpected(dat::IoError::write_zero());
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return {};
}

}  // namespace tools
