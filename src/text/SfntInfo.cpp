#include "text/SfntInfo.h"

#include "base/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace text_detail {

namespace {

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

// Tables larger than this are not names or style records but damage.
constexpr std::uint32_t MaxTableBytes = 1u << 20;

bool ReadAt(std::FILE* f, std::uint32_t offset, std::vector<std::uint8_t>& out, std::size_t n) {
  out.resize(n);
  return std::fseek(f, long(offset), SEEK_SET) == 0 && std::fread(out.data(), 1, n, f) == n;
}

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return at + 2 <= b.size() ? std::uint16_t(b[at] << 8 | b[at + 1]) : 0;
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return at + 4 <= b.size() ? std::uint32_t(U16(b, at)) << 16 | U16(b, at + 2) : 0;
}

std::string DecodeUtf16(const std::uint8_t* p, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i + 1 < n; i += 2) {
    char32_t c = char32_t(p[i] << 8 | p[i + 1]);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < n) {
      const char32_t low = char32_t(p[i + 2] << 8 | p[i + 3]);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
    AppendUtf8(out, c);
  }
  return out;
}

// The record Windows would show an English-speaking user: Windows platform
// and US English first, then any English, any Windows record, Unicode, Mac.
std::string NameRecord(const std::vector<std::uint8_t>& name, std::uint16_t nameId) {
  const std::uint16_t count = U16(name, 2);
  const std::size_t strings = U16(name, 4);
  int bestScore = 0;
  std::string best;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = 6 + i * 12;
    if (at + 12 > name.size()) break;
    if (U16(name, at + 6) != nameId) continue;
    const std::uint16_t platform = U16(name, at), language = U16(name, at + 4);
    int score = 0;
    if (platform == 3)
      score = language == 0x409 ? 4 : (language & 0x3FF) == 0x09 ? 3 : 2;
    else if (platform == 0)
      score = 2;
    else if (platform == 1 && language == 0)
      score = 1;
    if (score <= bestScore) continue;
    const std::size_t length = U16(name, at + 8), offset = strings + U16(name, at + 10);
    if (offset + length > name.size()) continue;
    std::string decoded;
    if (platform == 1) {
      // Mac Roman: only its ASCII half is common in names.
      for (std::size_t k = 0; k < length; ++k)
        AppendUtf8(decoded, name[offset + k] < 0x80 ? name[offset + k] : 0xFFFD);
    } else {
      decoded = DecodeUtf16(name.data() + offset, length);
    }
    if (decoded.empty()) continue;
    bestScore = score;
    best = std::move(decoded);
  }
  return best;
}

} // namespace

std::optional<TSfntInfo> ReadSfntInfo(const std::string& file, int index) {
  TFilePtr f(std::fopen(file.c_str(), "rb"));
  if (!f) return std::nullopt;
  std::vector<std::uint8_t> b;
  if (!ReadAt(f.get(), 0, b, 12)) return std::nullopt;
  std::uint32_t start = 0;
  if (U32(b, 0) == 0x74746366) { // 'ttcf': a collection
    const std::uint32_t fonts = U32(b, 8), face = std::uint32_t(index) & 0xFFFF;
    if (face >= fonts || !ReadAt(f.get(), 12 + 4 * face, b, 4)) return std::nullopt;
    start = U32(b, 0);
    if (!ReadAt(f.get(), start, b, 12)) return std::nullopt;
  }
  const std::uint32_t version = U32(b, 0);
  if (version != 0x00010000 && version != 0x4F54544F && version != 0x74727565)
    return std::nullopt; // not TrueType, 'OTTO' or 'true'
  const std::uint16_t tables = U16(b, 4);
  std::vector<std::uint8_t> directory;
  if (!ReadAt(f.get(), start + 12, directory, std::size_t(tables) * 16)) return std::nullopt;

  const auto table = [&](std::uint32_t tag, std::vector<std::uint8_t>& out,
                         std::uint32_t most) -> bool {
    for (std::size_t i = 0; i < tables; ++i) {
      if (U32(directory, i * 16) != tag) continue;
      const std::uint32_t length = U32(directory, i * 16 + 12);
      if (length > MaxTableBytes) return false;
      return ReadAt(f.get(), U32(directory, i * 16 + 8), out, std::min(length, most));
    }
    return false;
  };
  const auto has = [&](std::uint32_t tag) {
    for (std::size_t i = 0; i < tables; ++i)
      if (U32(directory, i * 16) == tag) return true;
    return false;
  };

  TSfntInfo info;
  std::vector<std::uint8_t> t;
  if (!table(0x6E616D65, t, MaxTableBytes)) return std::nullopt; // 'name'
  info.Family = NameRecord(t, 1);
  info.Style = NameRecord(t, 2);
  info.FullName = NameRecord(t, 4);

  if (table(0x4F532F32, t, 86) && t.size() >= 78) { // 'OS/2'
    int weight = U16(t, 4);
    if (weight >= 1 && weight <= 9) weight *= 100; // some fonts give the class digit
    info.Weight = std::clamp(weight == 0 ? 400 : weight, 1, 1000);
    info.Italic = (U16(t, 62) & 1) != 0;
    std::copy(t.begin() + 32, t.begin() + 42, info.Panose.begin());
    info.CodePages = U16(t, 0) >= 1 && t.size() >= 82 ? U32(t, 78) : 1;
  } else if (table(0x68656164, t, 54) && t.size() >= 46) { // 'head'
    const std::uint16_t macStyle = U16(t, 44);
    info.Weight = (macStyle & 1) ? 700 : 400;
    info.Italic = (macStyle & 2) != 0;
  }
  if (table(0x706F7374, t, 16) && t.size() >= 16) info.FixedPitch = U32(t, 12) != 0; // 'post'
  if (table(0x636D6170, t, 4 + 8 * 64)) {                                            // 'cmap'
    const std::size_t count = U16(t, 2);
    for (std::size_t i = 0; i < count && 4 + i * 8 + 4 <= t.size(); ++i)
      if (U16(t, 4 + i * 8) == 3 && U16(t, 6 + i * 8) == 0) info.Symbol = true;
  }
  info.Outlines = has(0x676C7966) || has(0x43464620) || has(0x43464632); // glyf, CFF, CFF2
  return info;
}

} // namespace text_detail
