// Writes the seed corpus of fuzz_gif_load with our own writer: small GIFs that
// between them reach every block kind, both coders, interlacing, local tables
// and table resets. Usage: make_gif_seeds <folder>
#include "gif/Gif.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

TBitmap Pattern(int Width, int Height, int Colors) {
  TBitmap bitmap(Width, Height);
  unsigned state = 12345;
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      state = state * 1103515245u + 12345u;
      const unsigned c = (x / 3 + (state >> 16) % 2) % unsigned(Colors);
      bitmap.SetPixel(x, y, RGB(std::uint8_t(c * 47), std::uint8_t(c * 13), std::uint8_t(c * 5)));
    }
  return bitmap;
}

TGifSubBlock Block(const std::string& Text) {
  TGifSubBlock block;
  block.Length = int(Text.size());
  std::copy(Text.begin(), Text.end(), block.Bytes.begin());
  return block;
}

void Save(TGif& Gif, const std::string& Folder, const std::string& Name) {
  const std::vector<std::uint8_t> bytes = Gif.SaveToBytes();
  std::ofstream(Folder + "/" + Name + ".gif", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];

  for (int colors : {1, 2, 16, 256}) {
    auto gif = TGif::CreateFromBitmap(Pattern(colors == 256 ? 40 : 12, 9, colors));
    Save(*gif, folder, "colors" + std::to_string(colors));
  }

  // Noise in 256 colours fills the string table, so the data holds a clear code mid-way.
  TBitmap noise(80, 80);
  unsigned state = 99;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 80; ++x) {
      state = state * 1103515245u + 12345u;
      const unsigned c = (state >> 16) % 256;
      noise.SetPixel(x, y, RGB(std::uint8_t(c), std::uint8_t(c * 3), 7));
    }
  Save(*TGif::CreateFromBitmap(noise), folder, "table-reset");

  auto interlaced = TGif::CreateFromBitmap(Pattern(5, 11, 4));
  interlaced->GetImage(0).Interlaced = true;
  Save(*interlaced, folder, "interlaced");

  auto simple = TGif::CreateFromBitmap(Pattern(7, 3, 8));
  simple->GetImage(0).CodeSize = 0;
  Save(*simple, folder, "uncompressed");

  auto several = TGif::CreateFromBitmap(Pattern(8, 8, 3));
  several->AddBitmap(Pattern(4, 2, 5));
  several->SetTransparent(true);
  several->SetWidth(8);
  several->SetHeight(8);
  TGifExtension comment;
  comment.Kind = gifblock::CommentLabel;
  comment.Data = {Block("seed"), Block("corpus")};
  TGifExtension application;
  application.Kind = gifblock::ApplicationLabel;
  application.BlockSize = 11;
  const std::string id = "NETSCAPE2.0";
  std::copy(id.begin(), id.begin() + 8, application.Identifier.begin());
  std::copy(id.begin() + 8, id.end(), application.AuthCode.begin());
  application.Data = {Block(std::string("\x01\x00\x00", 3))};
  TGifExtension plainText;
  plainText.Kind = gifblock::PlainTextLabel;
  plainText.BlockSize = 12;
  plainText.GridWidth = 8;
  plainText.GridHeight = 8;
  plainText.CellWidth = 8;
  plainText.CellHeight = 8;
  plainText.Data = {Block("Hi")};
  several->GetImage(0).Extensions->insert(several->GetImage(0).Extensions->begin(),
                                          {comment, application});
  several->GetImage(1).Extensions->push_back(plainText);
  Save(*several, folder, "extensions");
  return 0;
}
