#include "gif/Interlace.h"

#include <cstring>

// Follows each cycle of the row permutation, so one row is held aside at a time.
void Deinterlace(std::vector<std::uint8_t>& Pixels, int Width, int Height) {
  if (Width <= 0 || Height <= 1) return;
  std::vector<int> sourceOf(static_cast<std::size_t>(Height)); // display row -> stream row
  int streamRow = 0;
  for (const TInterlacePass& pass : InterlacePasses)
    for (int y = pass.FirstRow; y < Height; y += pass.Step)
      sourceOf[std::size_t(y)] = streamRow++;
  const std::size_t w = std::size_t(Width);
  std::vector<std::uint8_t> held(w);
  std::vector<bool> done(static_cast<std::size_t>(Height));
  for (int start = 0; start < Height; ++start) {
    if (done[std::size_t(start)] || sourceOf[std::size_t(start)] == start) continue;
    std::memcpy(held.data(), Pixels.data() + std::size_t(start) * w, w);
    int row = start;
    for (;;) {
      done[std::size_t(row)] = true;
      const int from = sourceOf[std::size_t(row)];
      std::uint8_t* target = Pixels.data() + std::size_t(row) * w;
      if (from == start) {
        std::memcpy(target, held.data(), w);
        break;
      }
      std::memcpy(target, Pixels.data() + std::size_t(from) * w, w);
      row = from;
    }
  }
}
