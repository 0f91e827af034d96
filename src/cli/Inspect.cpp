#include "cli/Inspect.h"

#include "base/Strings.h"
#include "cli/CliError.h"
#include "gif/Gif.h"
#include "png/Png.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <istream>
#include <memory>
#include <span>
#include <streambuf>

namespace cli {

namespace {

const char* YesNo(bool b) {
  return b ? "yes" : "no";
}

// Sub-block bytes as a C-like string: the text of comments and plain-text blocks
// is shown as text, anything else escaped.
std::string QuotedBytes(const TGifSubBlocks& blocks) {
  std::string out = "\"";
  for (const TGifSubBlock& b : blocks) {
    for (int i = 0; i < b.Length; ++i) {
      const unsigned c = b.Bytes[std::size_t(i)];
      if (c == '"' || c == '\\') {
        out += '\\';
        out += char(c);
      } else if (c >= 0x20 && c < 0x7F) {
        out += char(c);
      } else {
        out += "\\x";
        AppendHex(out, c, 2, false);
      }
    }
  }
  return out + "\"";
}

std::string HexBytes(const TGifSubBlocks& blocks) {
  std::string out;
  for (const TGifSubBlock& b : blocks)
    for (int i = 0; i < b.Length; ++i) {
      if (!out.empty()) out += ' ';
      AppendHex(out, b.Bytes[std::size_t(i)], 2, false);
    }
  return out;
}

std::string SubBlockCount(const TGifSubBlocks& blocks) {
  return std::to_string(blocks.size()) + (blocks.size() == 1 ? " sub-block" : " sub-blocks");
}

std::string DescribeExtension(const TGifExtension& e) {
  using std::to_string;
  switch (e.Kind) {
  case gifblock::GraphicControlLabel:
    return "graphic control extension: block size " + to_string(e.BlockSize) + ", disposal " +
           to_string(e.Disposal) + ", user input " + YesNo(e.UserInput) + ", transparent " +
           YesNo(e.Transparent) + ", delay " + to_string(e.Delay) + ", transparent index " +
           to_string(e.TransparentIndex);
  case gifblock::CommentLabel:
    return "comment extension: " + SubBlockCount(e.Data) + ", " + QuotedBytes(e.Data);
  case gifblock::PlainTextLabel:
    return "plain text extension: block size " + to_string(e.BlockSize) + ", grid left " +
           to_string(e.GridLeft) + ", grid top " + to_string(e.GridTop) + ", grid width " +
           to_string(e.GridWidth) + ", grid height " + to_string(e.GridHeight) + ", cell width " +
           to_string(e.CellWidth) + ", cell height " + to_string(e.CellHeight) +
           ", foreground index " + to_string(e.ForegroundIndex) + ", background index " +
           to_string(e.BackgroundIndex) + ", " + SubBlockCount(e.Data) + ", " + QuotedBytes(e.Data);
  case gifblock::ApplicationLabel: {
    TGifSubBlocks id, auth;
    id.Add(e.Identifier);
    auth.Add(e.AuthCode);
    std::string data = HexBytes(e.Data);
    return "application extension: block size " + to_string(e.BlockSize) + ", identifier " +
           QuotedBytes(id) + ", authentication code " + QuotedBytes(auth) + ", " +
           SubBlockCount(e.Data) + (data.empty() ? "" : ": " + data);
  }
  default: {
    std::string label;
    AppendHex(label, e.Kind, 2, false);
    return "extension 0x" + label;
  }
  }
}

void DescribeColorTable(std::string& out, int index, const TGifColorTable& table) {
  out += "color table " + std::to_string(index) + ": " + std::to_string(table.Count) +
         (table.Count == 1 ? " entry\n" : " entries\n");
  constexpr int PerLine = 8;
  for (int i = 0; i < table.Count && i < 256; i += PerLine) {
    char head[16];
    std::snprintf(head, sizeof head, "  %3d:", i);
    out += head;
    for (int k = i; k < i + PerLine && k < table.Count && k < 256; ++k) {
      out += ' ';
      out += ColorToHex(table.Colors[std::size_t(k)]);
    }
    out += '\n';
  }
}

void AppendRows(std::string& out, const TGifImageRecord& image) {
  const std::size_t width = std::size_t(std::max(image.Width, 0));
  const std::size_t height = std::size_t(std::max(image.Height, 0));
  if (width * height > image.PixelIndices.size()) return; // never for a loaded image
  out.reserve(out.size() + width * height * 3 + height);
  const std::uint8_t* p = image.PixelIndices.data();
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      if (x) out += ' ';
      AppendHex(out, *p++, 2, false);
    }
    out += '\n';
  }
}

} // namespace

std::string DescribeGif(TGif& gif, bool indices) {
  using std::to_string;
  std::string out = "signature: " + gif.Signature() + "\n";
  const TGifScreenDescriptor& s = gif.Screen();
  out += "logical screen: width " + to_string(s.Width) + ", height " + to_string(s.Height) +
         ", global color table " + YesNo(s.HasGlobalColorTable);
  if (s.HasGlobalColorTable)
    out += " (size " + to_string(s.GlobalColorTableSize) + ", table " +
           to_string(s.GlobalColorTable) + ")";
  out += ", color resolution " + to_string(s.ColorResolution) + ", sorted " + YesNo(s.Sorted) +
         ", background index " + to_string(s.BackgroundIndex) + ", aspect ratio " +
         to_string(s.AspectRatio) + "\n";
  for (int t = 0; t < gif.ColorTableCount(); ++t)
    DescribeColorTable(out, t, gif.GetColorTable(t));
  for (int i = 0; i < gif.ImageCount(); ++i) {
    const TGifImageRecord& im = gif.GetImage(i);
    out += "image " + to_string(i) + ": left " + to_string(im.Left) + ", top " + to_string(im.Top) +
           ", width " + to_string(im.Width) + ", height " + to_string(im.Height) +
           ", local color table " + YesNo(im.HasLocalColorTable) + ", interlaced " +
           YesNo(im.Interlaced) + ", sorted " + YesNo(im.Sorted) + ", color table size " +
           to_string(im.ColorTableSize) + ", color table " + to_string(im.ColorTableIndex) +
           ", code size " + to_string(im.CodeSize) + "\n";
    if (im.Extensions)
      for (const TGifExtension& e : *im.Extensions)
        out += "  " + DescribeExtension(e) + "\n";
    if (indices) AppendRows(out, im);
  }
  return out;
}

namespace {

std::string ColorTypeInWords(const TPngInfo& info) {
  const char* kind = "unknown";
  switch (info.ColorType) {
  case 0:
    kind = "grayscale";
    break;
  case 2:
    kind = "RGB";
    break;
  case 3:
    kind = "indexed";
    break;
  case 4:
    kind = "grayscale with alpha";
    break;
  case 6:
    kind = "RGB with alpha";
    break;
  }
  return std::string(kind) + ", " + std::to_string(info.BitDepth) +
         (info.BitDepth == 1 ? " bit per " : " bits per ") +
         (info.ColorType == 3 ? "index" : "channel");
}

// A chunk's type as its four bytes, any that is not a letter escaped.
std::string ChunkType(const std::string& type) {
  std::string out;
  for (const char c : type) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      out += c;
    } else {
      out += "\\x";
      AppendHex(out, std::uint8_t(c), 2, false);
    }
  }
  return out;
}

} // namespace

std::string DescribePng(const TPngInfo& info) {
  using std::to_string;
  std::string out = "signature: PNG\n";
  out += "image: width " + to_string(info.Width) + ", height " + to_string(info.Height) +
         ", color type " + to_string(info.ColorType) + " (" + ColorTypeInWords(info) +
         "), interlaced " + YesNo(info.Interlaced) + "\n";
  const bool channel = info.ColorType == 4 || info.ColorType == 6;
  out += std::string("alpha: ") +
         (!info.Alpha ? "no"
          : channel   ? "yes, an alpha channel"
                      : "yes, from the tRNS chunk") +
         "\n";
  out += "palette: " +
         (info.PaletteSize == 0
              ? std::string("none")
              : to_string(info.PaletteSize) + (info.PaletteSize == 1 ? " entry" : " entries")) +
         "\n";
  for (std::size_t i = 0; i < info.Chunks.size(); ++i)
    out += "chunk " + to_string(i) + ": " + ChunkType(info.Chunks[i].Type) + ", length " +
           to_string(info.Chunks[i].Length) + "\n";
  return out;
}

namespace {

// A file as a stream the reader pulls from as it parses, so a stream that is
// no GIF or PNG (or never ends) is refused at its first bytes, never read whole.
class TFileReadBuf : public std::streambuf {
public:
  explicit TFileReadBuf(std::FILE* File) : FFile(File) {}
  int Error() const { return FError; }
  // What is read but not yet taken: the file's first bytes once sgetc() has
  // filled the buffer (fread fills it whole but at the end of the file).
  std::span<const std::uint8_t> Buffered() const {
    return {reinterpret_cast<const std::uint8_t*>(gptr()), std::size_t(egptr() - gptr())};
  }

protected:
  int_type underflow() override {
    const std::size_t n = std::fread(FBuffer, 1, sizeof FBuffer, FFile);
    if (n == 0) {
      // A directory opens but fails on the first read (EISDIR).
      if (std::ferror(FFile)) FError = errno ? errno : EIO;
      return traits_type::eof();
    }
    setg(FBuffer, FBuffer, FBuffer + n);
    return traits_type::to_int_type(FBuffer[0]);
  }

private:
  std::FILE* FFile;
  int FError = 0;
  char FBuffer[1 << 16];
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void Unreadable(const std::string& name, int err) {
  throw ECliError("cannot read image file \"" + name + "\": " + std::strerror(err));
}

} // namespace

std::string InspectFile(const std::string& path, bool indices) {
  const bool standardInput = path == "-";
  std::unique_ptr<std::FILE, FileCloser> owned;
  std::FILE* f = stdin;
  if (!standardInput) {
    owned.reset(std::fopen(path.c_str(), "rb"));
    if (!owned) Unreadable(path, errno);
    f = owned.get();
  }
  const std::string name = standardInput ? "standard input" : path;
  auto buffer = std::make_unique<TFileReadBuf>(f);
  std::istream stream(buffer.get());
  buffer->sgetc();
  if (buffer->Error()) Unreadable(name, buffer->Error());
  const std::span<const std::uint8_t> head = buffer->Buffered();
  if (LooksLikePng(head)) {
    try {
      return DescribePng(InspectPng(stream));
    } catch (const EPngError& e) {
      if (buffer->Error()) Unreadable(name, buffer->Error());
      throw ECliError(path + ": " + e.what(), ExitCodec);
    }
  }
  // The GIF reader judges the version; anything else is neither format.
  if (head.size() < 3 || !std::equal(head.begin(), head.begin() + 3, "GIF"))
    throw ECliError((standardInput ? name : "\"" + name + "\"") +
                        " is neither a GIF nor a PNG file",
                    ExitCodec);
  TGif gif;
  try {
    gif.LoadFromStream(stream);
  } catch (const EInvalidGraphicOperation& e) {
    // What could not be read is a read error, whatever the reader made of it.
    if (buffer->Error()) Unreadable(name, buffer->Error());
    throw ECliError(path + ": " + e.what(), ExitCodec);
  }
  return DescribeGif(gif, indices);
}

} // namespace cli
