// Opens an archive made of the input bytes and fetches every file of its map.

#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "dat/database.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An anonymous in-memory file, opened by path like any archive.
  const int fd = ::memfd_create("qv-fuzz-archive", MFD_CLOEXEC);
  if (fd < 0) return 0;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done == size) {
    auto db = dat::DatDatabase::open("/proc/self/fd/" + std::to_string(fd));
    if (db) {
      for (const auto& [id, entry] : db->files) {
        FUZZ_CHECK(id == entry.id);
        auto bytes = db->get_file(id);
        if (!bytes) {
          FUZZ_CHECK(!bytes.error().message().empty());
          continue;
        }
        if ((entry.bit_flags & dat::DatFileEntry::kCompressed) == 0) {
          FUZZ_CHECK(bytes->size() == entry.size);
        }
      }
    } else {
      FUZZ_CHECK(!db.error().message().empty());
    }
  }
  ::close(fd);
  return 0;
}
