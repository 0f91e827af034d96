// PNG files put together chunk by chunk, for the files our writer never
// makes: other colour types and depths, interlacing, damaged or lying headers.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>

namespace pngbytes {

inline const std::string Signature = "\x89PNG\r\n\x1a\n";

inline std::string Be32(std::uint32_t V) {
  return {char(V >> 24), char(V >> 16), char(V >> 8), char(V)};
}

inline std::string Chunk(const std::string& Type, const std::string& Data) {
  const std::string body = Type + Data;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
  return Be32(std::uint32_t(Data.size())) + body + Be32(std::uint32_t(crc));
}

inline std::string Header(std::uint32_t Width, std::uint32_t Height, int BitDepth, int ColorType,
                          bool Interlaced = false) {
  return Chunk("IHDR", Be32(Width) + Be32(Height) +
                           std::string{char(BitDepth), char(ColorType), 0, 0, char(Interlaced)});
}

// Scanlines (each with its filter byte) as an IDAT chunk.
inline std::string Data(const std::string& Scanlines) {
  uLongf size = compressBound(uLong(Scanlines.size()));
  std::string out(size, '\0');
  if (compress(reinterpret_cast<Bytef*>(out.data()), &size,
               reinterpret_cast<const Bytef*>(Scanlines.data()), uLong(Scanlines.size())) != Z_OK)
    throw std::runtime_error("zlib could not compress");
  out.resize(size);
  return Chunk("IDAT", out);
}

inline std::string Png(std::initializer_list<std::string> Chunks) {
  std::string file = Signature;
  for (const std::string& c : Chunks)
    file += c;
  return file + Chunk("IEND", "");
}

} // namespace pngbytes
