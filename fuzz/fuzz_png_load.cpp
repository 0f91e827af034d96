// Any input must end in a description or a PNG error, never a crash, hang,
// leak or outsized allocation; what reads back writes and reads back the same.
#include "png/Png.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::span<const std::uint8_t> bytes(Data, Size);
  try {
    // Inspecting decodes every row into one row's memory: only a file it accepts,
    // and a small one, is decoded whole (zero-filling a large image takes long under ASan).
    const TPngInfo info = InspectPng(bytes);
    if (std::int64_t(info.Width) * info.Height > (std::int64_t(1) << 20)) return 0;
    const TRgbaImage image = DecodePng(bytes);
    if (DecodePng(EncodePng(image)) != image) __builtin_trap();
  } catch (const EPngError&) {
  }
  return 0;
}
