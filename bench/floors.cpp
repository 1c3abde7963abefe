#include "floors.hpp"

#include <absl/container/flat_hash_map.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include "dat/database.hpp"

namespace bench {

namespace {

constexpr std::uint32_t kNodeSize = dat::kNodeSize;

std::uint32_t le32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

bool pread_all(int fd, void* out, std::size_t size, std::uint64_t offset, std::uint64_t& reads) {
  auto* p = static_cast<std::uint8_t*>(out);
  std::size_t done = 0;
  while (done < size) {
    ++reads;
    const ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Gathers a 1716-byte node chain into `out` (well-formed archives only: no guards).
bool gather_two_reads(int fd, std::uint32_t block_size, std::uint32_t offset, std::uint8_t* out,
                      std::uint64_t& reads) {
  const std::uint32_t payload = block_size - 4;
  std::uint32_t block = offset;
  std::uint32_t remaining = kNodeSize;
  std::size_t pos = 0;
  for (;;) {
    std::uint8_t link[4];
    if (!pread_all(fd, link, 4, block, reads)) return false;
    const std::uint32_t next = le32(link);
    if (next == 0) return pread_all(fd, out + pos, remaining, block + 4u, reads);
    const std::uint32_t take = std::min(payload, remaining);
    if (take != 0 && !pread_all(fd, out + pos, take, block + 4u, reads)) return false;
    pos += take;
    remaining -= take;
    if (remaining == 0) return true;
    block = next;
  }
}

// The library's pattern: the blocks a chain would take if it were contiguous are read in one
// vectored call, links to the side and payloads straight into place; where a link points
// elsewhere the walk goes on from there.
bool gather_library(int fd, std::uint32_t block_size, std::uint32_t offset, std::uint8_t* out,
                    std::uint64_t& reads) {
  const std::uint32_t payload = block_size - 4;
  if (payload == 0 || payload > kNodeSize * 2u) return gather_two_reads(fd, block_size, offset, out, reads);
  std::uint32_t block = offset;
  std::uint32_t remaining = kNodeSize;
  std::size_t pos = 0;
  constexpr std::size_t kMaxBlocks = 64;
  std::array<std::uint32_t, kMaxBlocks> links{};
  std::array<iovec, 2 * kMaxBlocks> iov{};
  while (remaining != 0) {
    const std::size_t planned = std::min<std::size_t>((remaining + payload - 1) / payload, kMaxBlocks);
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < planned; ++i) {
      const std::size_t take = std::min<std::size_t>(payload, remaining - i * payload);
      iov[2 * i] = {&links[i], 4};
      iov[2 * i + 1] = {out + pos + i * payload, take};
      bytes += 4 + take;
    }
    ++reads;
    const ssize_t n = ::preadv(fd, iov.data(), static_cast<int>(2 * planned), block);
    if (n != static_cast<ssize_t>(bytes)) return gather_two_reads(fd, block_size, offset, out, reads);
    for (std::size_t i = 0; i < planned; ++i) {
      const std::uint32_t here = block + static_cast<std::uint32_t>(i) * block_size;
      const std::uint32_t take = std::min(payload, remaining);
      if (links[i] == 0) {
        if (remaining > take) {
          if (!pread_all(fd, out + pos + take, remaining - take, here + 4u + take, reads)) return false;
        }
        return true;
      }
      pos += take;
      remaining -= take;
      if (remaining == 0) return true;
      if (links[i] != here + block_size) {
        block = links[i];
        break;
      }
      if (i + 1 == planned) block = links[i];
    }
  }
  return true;
}

template <class OnEntry>
bool walk_node(int fd, std::uint32_t block_size, std::uint32_t offset, unsigned level, Gather gather,
               WalkResult& result, OnEntry& on_entry) {
  if (offset == 0) return true;
  if (level > dat::kMaxDirectoryDepth) return false;
  std::array<std::uint8_t, kNodeSize> node;  // one buffer per level, on the stack
  const bool gathered = gather == Gather::TwoReads
                            ? gather_two_reads(fd, block_size, offset, node.data(), result.reads)
                            : gather_library(fd, block_size, offset, node.data(), result.reads);
  if (!gathered) return false;
  const std::uint32_t count = std::min(le32(node.data() + 248), dat::kNodeEntrySlots);
  for (std::uint32_t i = 0; i < count; ++i) on_entry(node.data() + 252 + 24 * i);
  result.entries += count;
  if (le32(node.data()) == 0) return true;
  const std::uint32_t last = std::min(count, dat::kNodeBranches - 1);
  for (std::uint32_t j = 0; j <= last; ++j) {
    const std::uint32_t child = le32(node.data() + 4 * j);
    if (child != 0 && !walk_node(fd, block_size, child, level + 1, gather, result, on_entry)) return false;
  }
  return true;
}

template <class OnEntry>
WalkResult walk(const std::filesystem::path& path, Gather gather, OnEntry on_entry) {
  WalkResult result;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return result;
  std::array<std::uint8_t, dat::DatHeader::kSize> header{};
  if (pread_all(fd, header.data(), header.size(), dat::DatHeader::kOffset, result.reads)) {
    const std::uint32_t block_size = le32(header.data() + 4);
    const std::uint32_t root = le32(header.data() + 32);
    result.ok = walk_node(fd, block_size, root, 1, gather, result, on_entry);
  }
  ::close(fd);
  return result;
}

}  // namespace

WalkResult floor_walk(const std::filesystem::path& path, Gather gather) {
  return walk(path, gather, [](const std::uint8_t*) {});
}

WalkResult floor_walk_absl(const std::filesystem::path& path, Gather gather) {
  absl::flat_hash_map<std::uint32_t, dat::DatFileEntry> map;
  auto insert = [&map](const std::uint8_t* p) {
    dat::DatFileEntry e;
    std::memcpy(&e.bit_flags, p, 4);
    std::memcpy(&e.id, p + 4, 4);
    std::memcpy(&e.offset, p + 8, 4);
    std::memcpy(&e.size, p + 12, 4);
    std::memcpy(&e.timestamp, p + 16, 4);
    std::memcpy(&e.version, p + 20, 4);
    map.insert_or_assign(e.id, e);
  };
  WalkResult result = walk(path, gather, insert);
  if (map.size() == 0) result.ok = false;
  return result;
}

void floor_memcpy(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  std::memcpy(out.data(), in.data(), out.size());
}

namespace {
// Five different tables, so no two sums are the same sequence and none can be merged away.
constexpr std::array<double, 256> table(double scale) {
  std::array<double, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = i / 255.0 * scale;
  return t;
}
constexpr auto kT1 = table(1.0);
constexpr auto kT2 = table(0.5);
constexpr auto kT3 = table(0.25);
constexpr auto kT4 = table(0.125);
constexpr auto kT5 = table(0.0625);
}  // namespace

double floor_stats(std::span<const std::uint8_t> rgba, std::uint64_t pixels) {
  const std::uint8_t* px = rgba.data();
  double s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0;
  for (std::uint64_t i = 0; i < pixels; ++i) {
    s1 += kT1[px[4 * i]];
    s2 += kT2[px[4 * i + 1]];
    s3 += kT3[px[4 * i + 2]];
    s4 += kT4[px[4 * i]];
    s5 += kT5[px[4 * i + 1]];
  }
  double t1 = 0, t2 = 0, t3 = 0;
  for (std::uint64_t i = 0; i < pixels; ++i) {
    t1 += kT1[px[4 * i]];
    t2 += kT2[px[4 * i + 1]];
    t3 += kT3[px[4 * i + 2]];
  }
  return s1 + s2 + s3 + s4 + s5 + t1 + t2 + t3;
}

}  // namespace bench
