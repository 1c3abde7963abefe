#pragma once
// The archive's file map: directory entries by file id. Entries are kept densely in the
// order their ids first arrived, beside an open-addressing index of (id, position) pairs,
// so opening touches little more memory than the entries themselves and iteration is a
// straight walk. A later entry with an id already present replaces the earlier one in place.

#include <cstddef>
#include <cstdint>

#include "dat/cursor.hpp"

namespace dat {

// One directory entry, 24 bytes on disk.
struct DatFileEntry {
  static constexpr std::uint32_t kCompressed = 1;  // bit 0 of bit_flags: LRS-compressed

  std::uint32_t bit_flags = 0;
  std::uint32_t id = 0;
  std::uint32_t offset = 0;  // first block of the file's chain
  std::uint32_t size = 0;    // bytes stored in the chain (compressed size when compressed)
  std::uint32_t timestamp = 0;
  std::uint32_t version = 0;

  static ReadResult<DatFileEntry> read(RecordCursor& cur);

  friend bool operator==(const DatFileEntry&, const DatFileEntry&) = default;
};

// An element of the map: `first` is the id, `second` its entry (as with std::map, so
// `it->second` and `for (const auto& [id, entry] : files)` read naturally).
struct FileMapSlot {
  std::uint32_t first = 0;
  DatFileEntry second;
};

class FileMap {
 public:
  using key_type = std::uint32_t;
  using mapped_type = DatFileEntry;
  using value_type = FileMapSlot;
  using const_iterator = const FileMapSlot*;
  using iterator = const_iterator;

  FileMap() = default;
  FileMap(const FileMap& other);
  FileMap(FileMap&& other) noexcept;
  FileMap& operator=(const FileMap& other);
  FileMap& operator=(FileMap&& other) noexcept;
  ~FileMap();

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // In the order the ids first arrived.
  const_iterator begin() const { return entries_; }
  const_iterator end() const { return entries_ + size_; }

  const_iterator find(std::uint32_t id) const;
  bool contains(std::uint32_t id) const { return find(id) != end(); }
  std::size_t count(std::uint32_t id) const { return contains(id) ? 1 : 0; }
  // Throws std::out_of_range when the id is absent, like the standard maps.
  const DatFileEntry& at(std::uint32_t id) const;

  // Inserts the entry, or replaces the one the id already has; true when inserted.
  bool insert_or_assign(std::uint32_t id, const DatFileEntry& entry);
  void clear();

 private:
  void grow_entries();
  void grow_index();

  FileMapSlot* entries_ = nullptr;  // size_ of capacity_ used
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  // Slot value (position + 1) << 32 | id; 0 marks an empty slot. Power-of-two length.
  std::uint64_t* index_ = nullptr;
  std::uint64_t index_mask_ = 0;
  int index_shift_ = 64;
};

}  // namespace dat
