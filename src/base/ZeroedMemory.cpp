#include "base/ZeroedMemory.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t HugePageBytes = std::size_t(2) << 20;
// Below this a huge page wastes more memory than its faults would cost time.
constexpr std::size_t MappedFromBytes = std::size_t(256) << 10;

#ifdef __linux__
// Mappings given back are kept for the next request of about their size: code
// that makes and drops images of one size in a loop (a preview redrawn on every
// keystroke) would otherwise have the system zero fresh huge pages each time,
// where clearing the bytes it asks for is several times cheaper.
class TSpareMappings {
public:
  std::uint8_t* Take(std::size_t mapped) {
    std::lock_guard lock(FMutex);
    for (TSpare& s : FSpares)
      if (s.Pointer != nullptr && s.Mapped == mapped) {
        FKept -= s.Mapped;
        return std::exchange(s.Pointer, nullptr);
      }
    return nullptr;
  }

  // False when this one is not kept: the caller unmaps it.
  bool Keep(std::uint8_t* p, std::size_t mapped) {
    std::lock_guard lock(FMutex);
    if (FKept + mapped > MaxKeptBytes) return false;
    for (TSpare& s : FSpares)
      if (s.Pointer == nullptr) {
        s = {p, mapped};
        FKept += mapped;
        return true;
      }
    return false;
  }

private:
  static constexpr std::size_t MaxKeptBytes = std::size_t(32) << 20;
  struct TSpare {
    std::uint8_t* Pointer = nullptr;
    std::size_t Mapped = 0;
  };
  std::mutex FMutex;
  std::array<TSpare, 4> FSpares{};
  std::size_t FKept = 0;
};

// Never destroyed: blocks may be freed by other objects' destructors at exit.
TSpareMappings& Spares() {
  static auto* spares = new TSpareMappings;
  return *spares;
}

std::uint8_t* MapHugePages(std::size_t mapped) {
  // Huge pages need 2 MiB alignment: map one page more, then trim both ends.
  void* raw = mmap(nullptr, mapped + HugePageBytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + HugePageBytes - 1) & ~(HugePageBytes - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const std::size_t tail = HugePageBytes - (aligned - start);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + mapped), tail);
  auto* p = reinterpret_cast<std::uint8_t*>(aligned);
  madvise(p, mapped, MADV_HUGEPAGE); // advice only: without it, small pages
  return p;
}
#endif

} // namespace

void TZeroedFree::operator()(std::uint8_t* p) const {
#ifdef __linux__
  if (MappedBytes != 0) {
    if (!Spares().Keep(p, MappedBytes)) munmap(p, MappedBytes);
    return;
  }
#endif
  std::free(p);
}

TZeroedMemory AllocateZeroed(std::size_t bytes) {
  if (bytes == 0) return {};
#ifdef __linux__
  if (bytes >= MappedFromBytes && bytes <= SIZE_MAX - 2 * HugePageBytes) {
    const std::size_t mapped = (bytes + HugePageBytes - 1) / HugePageBytes * HugePageBytes;
    if (std::uint8_t* p = Spares().Take(mapped)) {
      std::memset(p, 0, bytes);
      return TZeroedMemory(p, TZeroedFree{mapped});
    }
    if (std::uint8_t* p = MapHugePages(mapped)) return TZeroedMemory(p, TZeroedFree{mapped});
  }
#endif
  return TZeroedMemory(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
}
