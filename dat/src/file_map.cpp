#include "dat/file_map.hpp"

#include <cstdlib>

#include <sys/mman.h>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace dat {

namespace {

// Blocks of at least one huge page are mapped directly and advised for transparent huge pages: on
// virtual machines the first touch of each 4 KiB page is the largest cost of opening an archive.
constexpr std::size_t kMappedFrom = std::size_t{2} << 20;

struct Block {
  void* data = nullptr;
  std::size_t size = 0;  // bytes; mapped when size >= kMappedFrom
};

void* map_block(std::size_t size) {
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  ::madvise(p, size, MADV_HUGEPAGE);  // advice only: its failure changes nothing
#endif
  return p;
}

// Zeroed memory of `size` bytes.
void* zeroed_block(std::size_t size) {
  if (size >= kMappedFrom) return map_block(size);
  void* p = std::calloc(size, 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void free_block(void* p, std::size_t size) {
  if (p == nullptr) return;
  if (size >= kMappedFrom) {
    ::munmap(p, size);
  } else {
    std::free(p);
  }
}

// Grows a block from `old_size` to `new_size` bytes, keeping its first `used` bytes.
void* grow_block(void* p, std::size_t old_size, std::size_t new_size, std::size_t used) {
  if (new_size < kMappedFrom) {
    void* q = std::realloc(p, new_size);
    if (!q) throw std::bad_alloc();
    return q;
  }
  if (old_size >= kMappedFrom) {
    void* q = ::mremap(p, old_size, new_size, MREMAP_MAYMOVE);
    if (q == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(q, new_size, MADV_HUGEPAGE);
#endif
    return q;
  }
  void* q = map_block(new_size);
  std::memcpy(q, p, used);
  std::free(p);
  return q;
}

// The entries move with realloc or mremap, which for large blocks remap pages instead of
// copying them.
static_assert(std::is_trivially_copyable_v<FileMapSlot>);

constexpr std::size_t kFirstCapacity = 16;

// Fibonacci hashing: ids of one landblock differ in their low bits, and the multiply spreads
// them over the whole index.
std::uint64_t home(std::uint32_t id, int shift) {
  return (std::uint64_t{id} * 0x9E3779B97F4A7C15ull) >> shift;
}

void index_insert(std::uint64_t* index, std::uint64_t mask, int shift, std::uint32_t id,
                  std::uint32_t position) {
  std::uint64_t i = home(id, shift);
  while (index[i] != 0) i = (i + 1) & mask;
  index[i] = (std::uint64_t{position + 1} << 32) | id;
}

std::uint64_t* new_index(std::size_t slots) {
  return static_cast<std::uint64_t*>(zeroed_block(slots * sizeof(std::uint64_t)));
}

std::size_t index_bytes(const std::uint64_t* index, std::uint64_t mask) {
  return index == nullptr ? 0 : (mask + 1) * sizeof(std::uint64_t);
}

}  // namespace

FileMap::FileMap(const FileMap& other) { *this = other; }

FileMap::FileMap(FileMap&& other) noexcept
    : entries_(std::exchange(other.entries_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      index_(std::exchange(other.index_, nullptr)),
      index_mask_(std::exchange(other.index_mask_, 0)),
      index_shift_(std::exchange(other.index_shift_, 64)) {}

FileMap& FileMap::operator=(const FileMap& other) {
  if (this == &other) return *this;
  FileMap copy;
  if (other.size_ != 0) {
    copy.entries_ = static_cast<FileMapSlot*>(zeroed_block(other.size_ * sizeof(FileMapSlot)));
    std::memcpy(static_cast<void*>(copy.entries_), other.entries_, other.size_ * sizeof(FileMapSlot));
    copy.size_ = copy.capacity_ = other.size_;
    copy.index_ = new_index(other.index_mask_ + 1);
    std::memcpy(copy.index_, other.index_, (other.index_mask_ + 1) * sizeof(std::uint64_t));
    copy.index_mask_ = other.index_mask_;
    copy.index_shift_ = other.index_shift_;
  }
  return *this = std::move(copy);
}

FileMap& FileMap::operator=(FileMap&& other) noexcept {
  if (this != &other) {
    free_block(entries_, capacity_ * sizeof(FileMapSlot));
    free_block(index_, index_bytes(index_, index_mask_));
    entries_ = std::exchange(other.entries_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    index_ = std::exchange(other.index_, nullptr);
    index_mask_ = std::exchange(other.index_mask_, 0);
    index_shift_ = std::exchange(other.index_shift_, 64);
  }
  return *this;
}

FileMap::~FileMap() {
  free_block(entries_, capacity_ * sizeof(FileMapSlot));
  free_block(index_, index_bytes(index_, index_mask_));
}

void FileMap::clear() { *this = FileMap(); }

FileMap::const_iterator FileMap::find(std::uint32_t id) const {
  if (size_ == 0) return end();
  for (std::uint64_t i = home(id, index_shift_);; i = (i + 1) & index_mask_) {
    const std::uint64_t slot = index_[i];
    if (slot == 0) return end();
    if (static_cast<std::uint32_t>(slot) == id) return entries_ + ((slot >> 32) - 1);
  }
}

const DatFileEntry& FileMap::at(std::uint32_t id) const {
  const auto it = find(id);
  if (it == end()) throw std::out_of_range("dat::FileMap::at: no such file id");
  return it->second;
}


void FileMap::grow_entries() {
  const std::size_t capacity = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
  entries_ = static_cast<FileMapSlot*>(grow_block(entries_, capacity_ * sizeof(FileMapSlot),
                                                  capacity * sizeof(FileMapSlot),
                                                  size_ * sizeof(FileMapSlot)));
  capacity_ = capacity;
}

// Keeps the index at most three quarters full; rebuilt from the dense entries.
void FileMap::grow_index() {
  const std::uint64_t slots = index_ == nullptr ? 2 * kFirstCapacity : 2 * (index_mask_ + 1);
  int shift = 64;
  for (std::uint64_t s = slots; s > 1; s >>= 1) --shift;
  std::uint64_t* index = new_index(slots);
  for (std::size_t k = 0; k < size_; ++k)
    index_insert(index, slots - 1, shift, entries_[k].first, static_cast<std::uint32_t>(k));
  free_block(index_, index_bytes(index_, index_mask_));
  index_ = index;
  index_mask_ = slots - 1;
  index_shift_ = shift;
}

bool FileMap::insert_or_assign(std::uint32_t id, const DatFileEntry& entry) {
  // Growing first, as if the id were new, lets one probe find either its slot or the free
  // slot it takes.
  if (index_ == nullptr || (size_ + 1) * 4 > (index_mask_ + 1) * 3) grow_index();
  std::uint64_t i = home(id, index_shift_);
  for (;; i = (i + 1) & index_mask_) {
    const std::uint64_t slot = index_[i];
    if (slot == 0) break;
    if (static_cast<std::uint32_t>(slot) == id) {
      entries_[(slot >> 32) - 1].second = entry;  // a later entry replaces the earlier one
      return false;
    }
  }
  if (size_ >= 0xFFFFFFFEu) throw std::length_error("dat::FileMap: too many entries");
  if (size_ == capacity_) grow_entries();
  entries_[size_] = FileMapSlot{id, entry};
  index_[i] = (std::uint64_t{size_ + 1} << 32) | id;
  ++size_;
  return true;
}

}  // namespace dat
