#pragma once
// A scratch directory for archive files written by tests; removed with everything in it.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "writer/archive_builder.hpp"

namespace test_support {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }

  const std::filesystem::path& path() const { return path_; }

  // Writes `bytes` to a file of that name in the directory and returns its path.
  std::filesystem::path write(const std::string& name, std::span<const std::uint8_t> bytes) const {
    const auto p = path_ / name;
    EXPECT_TRUE(writer::write_file(p, bytes)) << p;
    return p;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace test_support
