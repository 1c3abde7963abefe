#pragma once
// Creating and writing output files: whole writes that retry interrupted and partial writes.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>

#include "dat/error.hpp"

namespace tools {

// Creates `path`'s parent directory and its missing ancestors; failures are ignored
// (writing the file then reports them).
void create_parent_directories(const std::filesystem::path& path);

// An output file opened for writing, closed on destruction.
class OutputFile {
 public:
  // Created if absent, truncated if present, permission bits 0666 before the umask.
  static std::expected<OutputFile, dat::IoError> create(const std::filesystem::path& path);
  OutputFile(OutputFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  OutputFile& operator=(OutputFile&&) = delete;
  ~OutputFile();

  std::expected<void, dat::IoError> write_all(std::span<const std::uint8_t> bytes);
  std::expected<void, dat::IoError> write_all(std::string_view text) {
    return write_all(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }

 private:
  explicit OutputFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace tools
