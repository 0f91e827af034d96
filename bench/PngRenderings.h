// Real renderings as RGBA images, for the PNG benchmarks: text the
// rasteriser drew, opaque, with many colours, and with its coverage as alpha.
#pragma once

#include "raster/RgbaImage.h"
#include "render/AutoFill.h"
#include "render/Render.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace bench {

inline TRenderSettings PngSettings(std::vector<std::string> Lines, double Size) {
  TRenderSettings s;
  s.FaceName = "DejaVu Sans";
  s.Lines = std::move(Lines);
  s.Size = Size;
  return s;
}

// Opaque: each pixel as the preview has it.
inline TRgbaImage Opaque(const TBitmap& Preview) {
  TRgbaImage image(Preview.Width(), Preview.Height());
  for (int y = 0; y < image.Height; ++y) {
    const std::uint8_t* in = Preview.ScanLine(y);
    for (int x = 0; x < image.Width; ++x, in += 3) {
      std::uint8_t* p = image.At(x, y);
      p[0] = in[2], p[1] = in[1], p[2] = in[0], p[3] = 255;
    }
  }
  return image;
}

// Each pixel's distance from the background as its alpha: in the text's own
// colour when Flat, else in the colour the preview has there.
inline TRgbaImage CoverageAsAlpha(const TBitmap& Preview, TColor Back, TColor Text, bool Flat) {
  TRgbaImage image = Opaque(Preview);
  const int back[3] = {GetRValue(Back), GetGValue(Back), GetBValue(Back)};
  const int text[3] = {GetRValue(Text), GetGValue(Text), GetBValue(Text)};
  for (std::size_t i = 0; i < image.Pixels.size(); i += 4) {
    std::uint8_t* p = image.Pixels.data() + i;
    int alpha = 0;
    for (int c = 0; c < 3; ++c)
      alpha = std::max(alpha,
                       std::abs(p[c] - back[c]) * 255 / std::max(1, std::abs(text[c] - back[c])));
    p[3] = std::uint8_t(std::min(alpha, 255));
    if (Flat)
      for (int c = 0; c < 3; ++c)
        p[c] = std::uint8_t(text[c]);
  }
  return image;
}

struct TNamedImage {
  std::string Name;
  TRgbaImage Image;
};

inline std::vector<TNamedImage> PngRenderings() {
  TTextRasteriser rasteriser;
  auto render = [&](const TRenderSettings& s) { return rasteriser.RenderText(s, 96)->FPreview; };
  std::vector<TNamedImage> out;
  out.push_back({"hello-30px", Opaque(render(PngSettings({"Hello World"}, 30)))});

  TRenderSettings shadow = PngSettings(AutoFillLines(afAllChars), 30);
  shadow.TextColor = RGB(0x20, 0x40, 0xC0);
  shadow.BackColor = RGB(0xFF, 0xF8, 0xE0);
  shadow.Shadow = true;
  shadow.ShadowDistance = 2;
  out.push_back({"all-chars-30px-shadow", Opaque(render(shadow))});

  TRenderSettings big = PngSettings({"Glyptika", "text to PNG"}, 120);
  big.TextColor = RGB(0xC0, 0x20, 0x20);
  big.Shadow = true;
  big.ShadowDistance = 4;
  out.push_back({"two-lines-120px-shadow", Opaque(render(big))});

  TRenderSettings emoji = PngSettings({"Smile \xF0\x9F\x98\x80 party \xF0\x9F\x8E\x89"}, 60);
  const TBitmap emojiPreview = render(emoji);
  out.push_back({"emoji-60px", Opaque(emojiPreview)});
  // Past the size up to which the writer tries more than one way.
  TRenderSettings emojiLarge = emoji;
  emojiLarge.Size = 250;
  out.push_back({"emoji-250px", Opaque(render(emojiLarge))});
  // Colours as drawn, each with its own alpha: more RGBA values than a palette holds.
  out.push_back(
      {"emoji-60px-alpha", CoverageAsAlpha(emojiPreview, emoji.BackColor, emoji.TextColor, false)});

  const TRenderSettings plain = PngSettings(AutoFillLines(afAllChars), 48);
  const TBitmap coverage = render(plain);
  out.push_back(
      {"all-chars-48px-alpha", CoverageAsAlpha(coverage, plain.BackColor, plain.TextColor, true)});
  return out;
}

} // namespace bench
