// Writes each PNG benchmark rendering into a folder twice: as our PNG
// (NAME.png) and as its raw pixels (NAME.WxH.rgba), for png_sizes.sh to
// compare against another writer. Usage: png_sizes <folder>
#include "PngRenderings.h"
#include "png/Png.h"

#include <cstdio>
#include <fstream>

namespace {

void Write(const std::string& Name, const std::uint8_t* Bytes, std::size_t Count) {
  std::ofstream(Name, std::ios::binary)
      .write(reinterpret_cast<const char*>(Bytes), std::streamsize(Count));
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  for (const bench::TNamedImage& r : bench::PngRenderings()) {
    const std::vector<std::uint8_t> png = EncodePng(r.Image);
    Write(folder + "/" + r.Name + ".png", png.data(), png.size());
    Write(folder + "/" + r.Name + "." + std::to_string(r.Image.Width) + "x" +
              std::to_string(r.Image.Height) + ".rgba",
          r.Image.Pixels.data(), r.Image.Pixels.size());
  }
  return 0;
}
