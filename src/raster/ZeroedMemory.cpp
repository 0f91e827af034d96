#include "raster/ZeroedMemory.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t HugePageBytes = std::size_t(2) << 20;
// Below this a huge page wastes more memory than its faults would cost time.
constexpr std::size_t MappedFromBytes = std::size_t(256) << 10;

} // namespace

void TZeroedFree::operator()(std::uint8_t* p) const {
#ifdef __linux__
  if (MappedBytes != 0) {
    munmap(p, MappedBytes);
    return;
  }
#endif
  std::free(p);
}

TZeroedMemory AllocateZeroed(std::size_t bytes) {
  if (bytes == 0) return {};
#ifdef __linux__
  if (bytes >= MappedFromBytes && bytes <= SIZE_MAX - 2 * HugePageBytes) {
    // Huge pages need 2 MiB alignment: map one page more, then trim both ends.
    const std::size_t mapped = (bytes + HugePageBytes - 1) / HugePageBytes * HugePageBytes;
    void* raw = mmap(nullptr, mapped + HugePageBytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw != MAP_FAILED) {
      const auto start = reinterpret_cast<std::uintptr_t>(raw);
      const std::uintptr_t aligned = (start + HugePageBytes - 1) & ~(HugePageBytes - 1);
      if (aligned > start) munmap(raw, aligned - start);
      const std::size_t tail = HugePageBytes - (aligned - start);
      if (tail > 0) munmap(reinterpret_cast<void*>(aligned + mapped), tail);
      auto* p = reinterpret_cast<std::uint8_t*>(aligned);
      madvise(p, mapped, MADV_HUGEPAGE); // advice only: without it, small pages
      return TZeroedMemory(p, TZeroedFree{mapped});
    }
  }
#endif
  return TZeroedMemory(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
}
