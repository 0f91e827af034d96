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
  // Zero-filling the default 2^28 pixels under ASan alone outlasts the time
  // allowed for one input; a small limit leaves only real hangs to time out.
  gif.SetPixelLimit(std::size_t(1) << 22);
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
    copy.SetPixelLimit(std::size_t(1) << 22);
    try {
      copy.Assign(&gif);
      // from one of its own bitmaps, which the Assign clears away
      copy.Assign(&copy.GetBitmap(copy.ImageCount() - 1));
    } catch (const EInvalidGraphicOperation&) {
    }
  }
  return 0;
}
