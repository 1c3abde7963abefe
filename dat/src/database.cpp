#include "dat/database.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dat/utils.hpp"
#include "file_io.hpp"

namespace dat {

namespace {

// The archive is little-endian.
std::uint32_t le32(std::uint32_t raw) {
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap32(raw);
  return raw;
}

// Closes a descriptor on every early return of open().
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  ~FdGuard() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

int open_read_only(const std::filesystem::path& path) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

// The header is read sequentially from offset 320. All 80 bytes are taken at once and then
// decoded field by field, so the first field that did not arrive whole names the failure.
DatResult<DatHeader> read_header(int fd) {
  if (::lseek(fd, DatHeader::kOffset, SEEK_SET) < 0) {
    return std::unexpected(DatError(IoError::from_errno(errno)));
  }
  std::array<std::uint8_t, DatHeader::kSize> raw{};
  const detail::SequentialRead got = detail::read_up_to(fd, raw);
  RecordCursor cur(std::span<const std::uint8_t>(raw.data(), got.count));
  ReadResult<DatHeader> header = DatHeader::read(cur);
  if (header) return std::move(*header);

  ReadError error = std::move(header).error();
  if (got.error) {
    // The bytes stopped because the platform failed, not because the file ended.
    error.kind = ReadErrorKind::Io;
    error.raw_bytes = false;
    error.message = got.error->text();
  }
  if (::lseek(fd, DatHeader::kOffset, SEEK_SET) < 0) {
    error.context.push_back(ReadContext{
        fmt::format("rewinding after a failure: {}", IoError::from_errno(errno).text()),
        __FILE__, __LINE__});
  }
  return std::unexpected(DatError(std::move(error)));
}

}  // namespace

ReadResult<DatHeader> DatHeader::read(RecordCursor& cur) {
  DatHeader h;
  DAT_TRY_SET(h.magic, in_field(cur.read_u32(), "magic", "DatHeader"));
  DAT_TRY_SET(h.block_size, in_field(cur.read_u32(), "block_size", "DatHeader"));
  DAT_TRY_SET(h.file_size, in_field(cur.read_u32(), "file_size", "DatHeader"));
  DAT_TRY_SET(h.dataset, in_field(cur.read_u32(), "dataset", "DatHeader"));
  DAT_TRY_SET(h.subset, in_field(cur.read_u32(), "subset", "DatHeader"));
  DAT_TRY_SET(h.free_head, in_field(cur.read_u32(), "free_head", "DatHeader"));
  DAT_TRY_SET(h.free_tail, in_field(cur.read_u32(), "free_tail", "DatHeader"));
  DAT_TRY_SET(h.free_count, in_field(cur.read_u32(), "free_count", "DatHeader"));
  DAT_TRY_SET(h.root_offset, in_field(cur.read_u32(), "root_offset", "DatHeader"));
  DAT_TRY_SET(h.new_lru, in_field(cur.read_u32(), "new_lru", "DatHeader"));
  DAT_TRY_SET(h.old_lru, in_field(cur.read_u32(), "old_lru", "DatHeader"));
  DAT_TRY_SET(h.use_lru, in_field(cur.read_u32(), "use_lru", "DatHeader"));
  DAT_TRY_SET(h.master_map_id, in_field(cur.read_u32(), "master_map_id", "DatHeader"));
  DAT_TRY_SET(h.engine_version, in_field(cur.read_u32(), "engine_version", "DatHeader"));
  DAT_TRY_SET(h.game_version, in_field(cur.read_u32(), "game_version", "DatHeader"));
  DAT_TRY_SET(h.version_string, in_field(cur.read_bytes(16), "version_string", "DatHeader"));
  DAT_TRY_SET(h.version_minor, in_field(cur.read_u32(), "version_minor", "DatHeader"));
  return h;
}

DatDatabase::DatDatabase(int fd, std::uint64_t file_length, DatHeader header)
    : header(std::move(header)), fd_(fd), file_length_(file_length) {}

DatDatabase::DatDatabase(DatDatabase&& other) noexcept
    : header(std::move(other.header)),
      files(std::move(other.files)),
      fd_(std::exchange(other.fd_, -1)),
      file_length_(other.file_length_) {}

DatDatabase& DatDatabase::operator=(DatDatabase&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    header = std::move(other.header);
    files = std::move(other.files);
    fd_ = std::exchange(other.fd_, -1);
    file_length_ = other.file_length_;
  }
  return *this;
}

DatDatabase::~DatDatabase() {
  if (fd_ >= 0) ::close(fd_);
}

DatResult<DatDatabase> DatDatabase::open(const std::filesystem::path& path) {
  FdGuard fd(open_read_only(path));
  if (fd.get() < 0) {
    return std::unexpected(DatError(DatError::PathError{path, IoError::from_errno(errno)}));
  }
  // A directory opens read-only without complaint; refuse it before reading anything. The
  // length bounds every chain later, so corrupt sizes cannot force huge buffers.
  struct stat st {};
  if (::fstat(fd.get(), &st) < 0) {
    return std::unexpected(DatError(DatError::PathError{path, IoError::from_errno(errno)}));
  }
  if (S_ISDIR(st.st_mode)) {
    return std::unexpected(DatError(DatError::PathError{path, IoError::from_errno(EISDIR)}));
  }
  const std::uint64_t length = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;

  DAT_TRY(header, read_header(fd.get()));
  DatDatabase db(fd.release(), length, std::move(header));
  if (auto loaded = db.read_directory(); !loaded) {
    return std::unexpected(std::move(loaded).error());
  }
  return db;
}

DatResult<std::vector<std::uint8_t>> DatDatabase::read_file_data(std::uint32_t offset,
                                                                  std::uint32_t length) const {
  if (length == 0) return std::vector<std::uint8_t>{};
  // Payloads are distinct stretches of the file, so a longer length cannot be satisfied
  // by a sound chain; refusing it here keeps a corrupt size from costing its allocation.
  if (length > file_length_) return std::unexpected(DatError(IoError::unexpected_eof()));

  std::vector<std::uint8_t> buffer(length);
  if (auto gathered = gather_chain(offset, buffer); !gathered) {
    return std::unexpected(std::move(gathered).error());
  }
  return buffer;
}

// The chain exactly as it is defined: a 4-byte read for each block's link, then one for its
// payload, the last block supplying everything still missing.
DatResult<void> DatDatabase::gather_block_by_block(std::uint32_t block, std::size_t pos,
                                                   std::span<std::uint8_t> out) const {
  const std::uint32_t payload = header.block_size - 4;  // wraps below 4, as on disk
  // With no payload per block only the links advance; a chain longer than the file could
  // hold is a loop.
  const std::uint64_t max_links = file_length_ / 4 + 1;
  std::uint64_t links = 0;
  auto remaining = static_cast<std::uint32_t>(out.size() - pos);
  for (;;) {
    std::array<std::uint8_t, 4> link_bytes{};
    if (auto r = detail::read_exact_at(fd_, block, link_bytes); !r) {
      return std::unexpected(DatError(r.error()));
    }
    const std::uint32_t next = std::uint32_t{link_bytes[0]} |
                               (std::uint32_t{link_bytes[1]} << 8) |
                               (std::uint32_t{link_bytes[2]} << 16) |
                               (std::uint32_t{link_bytes[3]} << 24);
    const std::uint32_t data_at = block + 4;  // a 32-bit offset, like every other
    if (next == 0) {
      if (auto r = detail::read_exact_at(fd_, data_at, out.subspan(pos)); !r) {
        return std::unexpected(DatError(r.error()));
      }
      return {};
    }
    const std::uint32_t take = std::min(payload, remaining);
    if (take != 0) {
      if (auto r = detail::read_exact_at(fd_, data_at, out.subspan(pos, take)); !r) {
        return std::unexpected(DatError(r.error()));
      }
    }
    pos += take;
    remaining -= take;
    if (remaining == 0) return {};
    block = next;
    if (payload == 0 && ++links > max_links) {
      return std::unexpected(DatError(IoError::unexpected_eof()));
    }
  }
}

// Chains are mostly stored as consecutive blocks, so the blocks a chain would take if it
// continued consecutively are read with one vectored call: links to the side, payloads
// straight into place. Only what the links confirm is used, in chain order; where a link
// points elsewhere the next run starts there, and a run that did not arrive whole (the file
// ended, a short count, an error) is continued block by block from its first missing block,
// which then reads and fails exactly as the chain's definition says.
DatResult<void> DatDatabase::gather_chain(std::uint32_t offset, std::span<std::uint8_t> out) const {
  const std::uint32_t block_size = header.block_size;
  const std::uint32_t payload = block_size - 4;
  if (out.empty()) return {};
  if (payload == 0) return gather_block_by_block(offset, 0, out);

  constexpr std::size_t kFirstRun = 8;   // a directory node in 256-byte blocks is 7
  constexpr std::size_t kMaxRun = 512;   // two segments per block, within IOV_MAX
  std::array<std::uint32_t, kMaxRun> links;
  std::array<iovec, 2 * kMaxRun> segments;
  std::size_t run = kFirstRun;
  std::uint32_t block = offset;
  std::size_t pos = 0;
  for (;;) {
    const std::uint64_t remaining = out.size() - pos;
    // A run never reaches past 4 GiB, so every block and payload offset in it is the
    // 32-bit value the definition computes.
    const std::uint64_t room = ((std::uint64_t{1} << 32) - block) / std::max<std::uint32_t>(block_size, 1);
    const std::uint64_t needed = (remaining + payload - 1) / payload;
    const std::size_t planned = static_cast<std::size_t>(std::min<std::uint64_t>({needed, run, room}));
    if (planned == 0) return gather_block_by_block(block, pos, out);

    for (std::size_t i = 0; i < planned; ++i) {
      const std::uint64_t take = std::min<std::uint64_t>(payload, remaining - i * std::uint64_t{payload});
      segments[2 * i] = iovec{&links[i], 4};
      segments[2 * i + 1] = iovec{out.data() + pos + i * std::size_t{payload}, static_cast<std::size_t>(take)};
    }
    const auto got = detail::read_vectored_at(fd_, block, std::span(segments.data(), 2 * planned));
    if (!got) return gather_block_by_block(block, pos, out);

    std::uint64_t arrived = *got;
    bool jumped = false;
    for (std::size_t i = 0; i < planned; ++i) {
      const std::uint32_t here = block + static_cast<std::uint32_t>(i) * block_size;
      const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::uint64_t>(payload, out.size() - pos));
      if (arrived < 4u + take) return gather_block_by_block(here, pos, out);
      arrived -= 4u + take;
      std::uint32_t next;
      std::memcpy(&next, &links[i], 4);
      next = le32(next);
      if (next == 0) {
        // The last block supplies everything still missing.
        if (out.size() - pos > take) {
          if (auto r = detail::read_exact_at(fd_, std::uint64_t{here} + 4 + take, out.subspan(pos + take)); !r) {
            return std::unexpected(DatError(r.error()));
          }
        }
        return {};
      }
      pos += take;
      if (pos == out.size()) return {};
      if (next != here + block_size || i + 1 == planned) {
        jumped = next != here + block_size;
        block = next;
        break;
      }
    }
    run = jumped ? kFirstRun : std::min(run * 2, kMaxRun);
  }
}

DatResult<std::vector<std::uint8_t>> DatDatabase::get_file(std::uint32_t id) const {
  const auto it = files.find(id);
  if (it == files.end()) return std::unexpected(DatError(DatError::NotFound{id}));
  const DatFileEntry& entry = it->second;
  DAT_TRY(stored, read_file_data(entry.offset, entry.size));
  if ((entry.bit_flags & DatFileEntry::kCompressed) == 0) return stored;
  return decompress_lrs(stored);
}

}  // namespace dat
