// Any input must end in a normal return or a codec error: no crash, hang, leak
// or outsized allocation. What reads back is also copied through the writer.
#include "gif/Gif.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::istringstream stream(std::string(reinterpret_cast<const char*>(Data), Size));
  TGif gif;
  try {
    gif.LoadFromStream(stream);
  } catch (const EInvalidGraphicOperation&) {
    return 0;
  }
  // Copying large images adds time, not coverage.
  std::size_t pixels = 0;
  for (int i = 0; i < gif.ImageCount(); ++i)
    pixels += gif.GetImage(i).PixelIndices.size();
  if (pixels <= (std::size_t(1) << 16)) {
    TGif copy;
    try {
      copy.Assign(&gif);
    } catch (const EInvalidGraphicOperation&) {
    }
  }
  return 0;
}
