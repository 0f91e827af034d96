// Zeroed memory that is cheap to touch for the first time.
//
// A fresh page costs a fault on its first touch, and on the machines we run on
// a fault costs far more than the drawing or coding that follows it. Large
// blocks are therefore mapped in whole huge pages (one fault per 2 MiB); small
// ones come zeroed from calloc, which skips the clearing when the heap hands
// out memory fresh from the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct TZeroedFree {
  std::size_t MappedBytes = 0; // 0: from the heap
  void operator()(std::uint8_t* p) const;
};
using TZeroedMemory = std::unique_ptr<std::uint8_t[], TZeroedFree>;

// Bytes zeroed bytes; null when the system has none to give or bytes is 0.
TZeroedMemory AllocateZeroed(std::size_t bytes);
