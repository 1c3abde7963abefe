#pragma once
// The high-level archive writer: files in, a well-formed archive image out.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace writer {

struct ArchiveFile {
  std::uint32_t id = 0;
  std::vector<std::uint8_t> data;  // the file's contents (before compression)
  bool compress = false;           // store LRS-compressed and set bit 0 of bit_flags
  std::uint32_t extra_flags = 0;   // OR-ed into bit_flags as given (bit 0 included)
};

struct ArchiveOptions {
  std::uint32_t block_size = 1024;
  std::uint32_t magic = 0x5442;
  std::uint32_t dataset = 1;
  std::uint32_t engine_version = 0;
  std::uint32_t game_version = 0;
  std::uint32_t version_minor = 0;
  // Let each chain's last block take only the bytes it carries (see ArchiveImage).
  bool trim_last_block = false;
};

// Lays out the header, every file as a contiguous block chain, and the directory as a
// B-tree over the ids in ascending order: leaves of up to 61 entries, and above 61 files
// internal nodes with N entries and N + 1 children. Nodes are stored after the files, in
// pre-order. Of several files with one id the last one given is kept. header.file_size is
// the image's length; the free list is empty.
std::vector<std::uint8_t> build_archive(std::vector<ArchiveFile> files,
                                        const ArchiveOptions& options = {});

// Creates or truncates `path` and writes `bytes` whole; false on any failure.
bool write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace writer
