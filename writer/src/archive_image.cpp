#include "writer/archive_image.hpp"

#include <algorithm>
#include <cstring>

#include "writer/byte_writer.hpp"

namespace writer {

namespace {

// The first block boundary after the header, for block sizes that make one sensible.
std::size_t first_block_offset(std::uint32_t block_size) {
  constexpr std::size_t header_end = dat::DatHeader::kOffset + dat::DatHeader::kSize;
  if (block_size < 4 || block_size > 65536) return header_end;
  return (header_end + block_size - 1) / block_size * block_size;
}

// Space one non-final block takes in the image.
std::size_t block_extent(std::uint32_t block_size) {
  return std::max<std::uint32_t>(block_size, 4);
}

void put_entry(ByteWriter& w, const dat::DatFileEntry& e) {
  w.u32(e.bit_flags).u32(e.id).u32(e.offset).u32(e.size).u32(e.timestamp).u32(e.version);
}

}  // namespace

std::vector<std::uint8_t> encode_header(const dat::DatHeader& h) {
  ByteWriter w;
  w.u32(h.magic).u32(h.block_size).u32(h.file_size).u32(h.dataset).u32(h.subset);
  w.u32(h.free_head).u32(h.free_tail).u32(h.free_count).u32(h.root_offset);
  w.u32(h.new_lru).u32(h.old_lru).u32(h.use_lru).u32(h.master_map_id);
  w.u32(h.engine_version).u32(h.game_version);
  std::array<std::uint8_t, 16> version{};
  std::copy_n(h.version_string.begin(), std::min<std::size_t>(16, h.version_string.size()),
              version.begin());
  w.bytes(version);
  w.u32(h.version_minor);
  return w.take();
}

std::vector<std::uint8_t> encode_node(const DirectoryNode& node) {
  ByteWriter w;
  for (const std::uint32_t branch : node.branches) w.u32(branch);
  w.u32(node.entry_count.value_or(static_cast<std::uint32_t>(node.entries.size())));
  const std::size_t stored = std::min<std::size_t>(node.entries.size(), dat::kNodeEntrySlots);
  for (std::size_t i = 0; i < stored; ++i) put_entry(w, node.entries[i]);
  w.zeros((dat::kNodeEntrySlots - stored) * 24);
  return w.take();
}

std::uint32_t payload_size(std::uint32_t block_size) { return block_size - 4; }

std::size_t blocks_needed(std::uint32_t block_size, std::size_t length) {
  const std::uint64_t payload = payload_size(block_size);
  if (payload == 0 || length <= payload) return 1;
  return static_cast<std::size_t>((length + payload - 1) / payload);
}

ArchiveImage::ArchiveImage(std::uint32_t block_size)
    : image_(first_block_offset(block_size), 0) {
  header.block_size = block_size;
  header.version_string.assign(16, 0);
}

std::uint32_t ArchiveImage::reserve(std::size_t size) {
  const std::size_t at = image_.size();
  image_.resize(at + size, 0);
  return static_cast<std::uint32_t>(at);
}

std::vector<std::uint32_t> ArchiveImage::reserve_blocks(std::size_t count) {
  const std::size_t extent = block_extent(header.block_size);
  const std::uint32_t first = reserve(extent * count);
  std::vector<std::uint32_t> blocks(count);
  for (std::size_t i = 0; i < count; ++i) {
    blocks[i] = static_cast<std::uint32_t>(first + i * extent);
  }
  return blocks;
}

void ArchiveImage::write_at(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  const std::size_t end = std::size_t{offset} + bytes.size();
  if (end > image_.size()) image_.resize(end, 0);
  std::memcpy(image_.data() + offset, bytes.data(), bytes.size());
}

void ArchiveImage::write_u32_at(std::uint32_t offset, std::uint32_t value) {
  const std::array<std::uint8_t, 4> b{
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  write_at(offset, b);
}

void ArchiveImage::write_chain(std::span<const std::uint32_t> blocks,
                               std::span<const std::uint8_t> data) {
  const std::size_t payload = payload_size(header.block_size);
  std::size_t pos = 0;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const bool last = i + 1 == blocks.size();
    write_u32_at(blocks[i], last ? 0 : blocks[i + 1]);
    const std::size_t take = last ? data.size() - pos : std::min(payload, data.size() - pos);
    // Payload offsets are 32-bit, exactly as the reader computes them.
    write_at(static_cast<std::uint32_t>(blocks[i] + 4), data.subspan(pos, take));
    pos += take;
  }
}

std::size_t ArchiveImage::chain_footprint(std::size_t length, std::size_t block_count) const {
  if (block_count == 0) return 0;
  const std::uint64_t payload = payload_size(header.block_size);
  const std::size_t extent = block_extent(header.block_size);
  const std::uint64_t before_last = payload * (block_count - 1);
  const std::size_t last_carries = before_last >= length ? 0 : length - before_last;
  const std::size_t last = trim_last_block ? 4 + last_carries
                                           : std::max<std::size_t>(extent, 4 + last_carries);
  return extent * (block_count - 1) + last;
}

std::uint32_t ArchiveImage::add_chain(std::span<const std::uint8_t> data,
                                      std::optional<std::size_t> block_count) {
  const std::size_t count = block_count.value_or(blocks_needed(header.block_size, data.size()));
  if (count == 0) return 0;
  const std::size_t extent = block_extent(header.block_size);
  const std::uint32_t first = reserve(chain_footprint(data.size(), count));
  std::vector<std::uint32_t> blocks(count);
  for (std::size_t i = 0; i < count; ++i) {
    blocks[i] = static_cast<std::uint32_t>(first + i * extent);
  }
  write_chain(blocks, data);
  return first;
}

std::uint32_t ArchiveImage::add_node(const DirectoryNode& node) {
  return add_chain(encode_node(node));
}

void ArchiveImage::write_header() {
  constexpr std::size_t header_end = dat::DatHeader::kOffset + dat::DatHeader::kSize;
  if (image_.size() < header_end) image_.resize(header_end, 0);
  const std::vector<std::uint8_t> raw = encode_header(header);
  std::memcpy(image_.data() + dat::DatHeader::kOffset, raw.data(), raw.size());
}

std::vector<std::uint8_t> ArchiveImage::bytes() const& {
  ArchiveImage copy = *this;
  copy.write_header();
  return std::move(copy.image_);
}

std::vector<std::uint8_t> ArchiveImage::bytes() && {
  write_header();
  return std::move(image_);
}

}  // namespace writer
