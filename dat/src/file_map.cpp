#include "dat/file_map.hpp"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace dat {

namespace {

// The entries move with realloc, which for large blocks remaps pages instead of copying.
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
  // calloc: the zero pages of a large block are not touched until used.
  auto* index = static_cast<std::uint64_t*>(std::calloc(slots, sizeof(std::uint64_t)));
  if (!index) throw std::bad_alloc();
  return index;
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
    copy.entries_ = static_cast<FileMapSlot*>(std::malloc(other.size_ * sizeof(FileMapSlot)));
    if (!copy.entries_) throw std::bad_alloc();
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
    std::free(entries_);
    std::free(index_);
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
  std::free(entries_);
  std::free(index_);
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
  void* grown = std::realloc(static_cast<void*>(entries_), capacity * sizeof(FileMapSlot));
  if (!grown) throw std::bad_alloc();
  entries_ = static_cast<FileMapSlot*>(grown);
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
  std::free(index_);
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
