#include "png/Png.h"

#include <spng.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace {

[[noreturn]] void Fail(const std::string& What) {
  throw EPngError("PNG: " + What);
}

std::string Reason(int Error) {
  switch (Error) {
  case SPNG_IO_EOF:
  case SPNG_EOF:
  case SPNG_EIDAT_TOO_SHORT:
    return "the file is cut short";
  case SPNG_ESIGNATURE:
    return "no PNG signature: not a PNG file";
  case SPNG_ECHUNK_CRC:
    return "a chunk's checksum does not match its data: the file is damaged";
  case SPNG_ECHUNK_LIMITS:
    return "the chunks beside the image pass what is read of them (64 MiB, or too many)";
  default:
    return spng_strerror(Error);
  }
}

void Check(int Error) {
  if (Error != 0) Fail(Reason(Error));
}

class TContext {
public:
  explicit TContext(int Flags) : FCtx(spng_ctx_new(Flags)) {
    if (!FCtx) throw std::bad_alloc();
  }
  ~TContext() { spng_ctx_free(FCtx); }
  TContext(const TContext&) = delete;
  TContext& operator=(const TContext&) = delete;
  operator spng_ctx*() const { return FCtx; }

private:
  spng_ctx* FCtx;
};

// ---- Writing

// An image as a PNG stores it: its header, palette and rows before filtering.
struct TPngForm {
  spng_ihdr Header{};
  std::optional<spng_plte> Palette;
  std::optional<spng_trns> Transparency;
  std::vector<std::uint8_t> Rows;
};

// Each pixel's index among the image's distinct RGBA values (in order of first
// appearance), or false when there are more than 256.
bool DistinctColours(const TRgbaImage& Image, std::vector<std::uint32_t>& Colours,
                     std::vector<std::uint8_t>& Indices) {
  // Open addressing at a quarter full keeps probes short.
  constexpr std::size_t Slots = 1024;
  std::array<std::uint32_t, Slots> keys{};
  std::array<std::int16_t, Slots> values;
  values.fill(-1);
  const std::size_t count = Image.Pixels.size() / 4;
  Indices.resize(count);
  std::uint32_t lastKey = 0;
  int lastIndex = -1;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t key;
    std::memcpy(&key, Image.Pixels.data() + i * 4, 4);
    if (key != lastKey || lastIndex < 0) {
      std::size_t slot = (key * 2654435761u) >> 22;
      while (values[slot] >= 0 && keys[slot] != key)
        slot = (slot + 1) & (Slots - 1);
      if (values[slot] < 0) {
        if (Colours.size() == 256) return false;
        values[slot] = std::int16_t(Colours.size());
        keys[slot] = key;
        Colours.push_back(key);
      }
      lastKey = key;
      lastIndex = values[slot];
    }
    Indices[i] = std::uint8_t(lastIndex);
  }
  return true;
}

int IndexBits(std::size_t Colours) {
  return Colours <= 2 ? 1 : Colours <= 4 ? 2 : Colours <= 16 ? 4 : 8;
}

// Channel C (red, green, blue, alpha) of a colour as DistinctColours keeps it.
std::uint8_t Channel(std::uint32_t Colour, int C) {
  return reinterpret_cast<const std::uint8_t*>(&Colour)[C];
}

bool OpaqueGrey(std::uint32_t Colour) {
  return Channel(Colour, 0) == Channel(Colour, 1) && Channel(Colour, 1) == Channel(Colour, 2) &&
         Channel(Colour, 3) == 255;
}

// The image in at most 256 colours: indexed, or grey when that spares the palette.
std::optional<TPngForm> FewColoursForm(const TRgbaImage& Image) {
  std::vector<std::uint32_t> colours;
  std::vector<std::uint8_t> indices;
  if (!DistinctColours(Image, colours, indices)) return std::nullopt;

  // Opaque greys that need whole bytes as indices are their own bytes, with
  // no palette (black text on white is such).
  if (colours.size() > 16 && std::all_of(colours.begin(), colours.end(), OpaqueGrey)) {
    TPngForm grey;
    grey.Header.bit_depth = 8;
    grey.Header.color_type = SPNG_COLOR_TYPE_GRAYSCALE;
    grey.Rows.resize(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i)
      grey.Rows[i] = Image.Pixels[i * 4];
    return grey;
  }

  // Translucent entries first, so that tRNS ends at the last of them.
  std::vector<std::uint8_t> order(colours.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = std::uint8_t(i);
  std::stable_partition(order.begin(), order.end(),
                        [&](std::uint8_t i) { return Channel(colours[i], 3) < 255; });
  std::array<std::uint8_t, 256> newIndex{};
  TPngForm form;
  spng_plte& plte = form.Palette.emplace();
  spng_trns trns{};
  plte.n_entries = std::uint32_t(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    newIndex[order[k]] = std::uint8_t(k);
    const std::uint32_t c = colours[order[k]];
    plte.entries[k] = {Channel(c, 0), Channel(c, 1), Channel(c, 2), 255};
    trns.type3_alpha[k] = Channel(c, 3);
    if (Channel(c, 3) < 255) trns.n_type3_entries = std::uint32_t(k + 1);
  }
  if (trns.n_type3_entries > 0) form.Transparency = trns;

  const int bits = IndexBits(colours.size());
  const std::size_t width = std::size_t(Image.Width);
  const std::size_t rowBytes = (width * std::size_t(bits) + 7) / 8;
  form.Rows.assign(rowBytes * std::size_t(Image.Height), 0);
  const std::uint8_t* in = indices.data();
  for (int y = 0; y < Image.Height; ++y) {
    std::uint8_t* row = form.Rows.data() + std::size_t(y) * rowBytes;
    for (std::size_t x = 0; x < width; ++x) {
      const std::size_t bit = x * std::size_t(bits);
      row[bit / 8] |= std::uint8_t(newIndex[*in++] << (8 - bits - int(bit % 8)));
    }
  }
  form.Header.bit_depth = std::uint8_t(bits);
  form.Header.color_type = SPNG_COLOR_TYPE_INDEXED;
  return form;
}

TPngForm TrueColourForm(const TRgbaImage& Image) {
  TPngForm form;
  form.Header.bit_depth = 8;
  const bool opaque = [&] {
    for (std::size_t i = 3; i < Image.Pixels.size(); i += 4)
      if (Image.Pixels[i] != 255) return false;
    return true;
  }();
  if (!opaque) {
    form.Header.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    form.Rows = Image.Pixels;
    return form;
  }
  form.Header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
  form.Rows.resize(Image.Pixels.size() / 4 * 3);
  std::uint8_t* out = form.Rows.data();
  for (std::size_t i = 0; i < Image.Pixels.size(); i += 4, out += 3)
    std::memcpy(out, Image.Pixels.data() + i, 3);
  return form;
}

struct TFree {
  void operator()(void* p) const { std::free(p); }
};

std::vector<std::uint8_t> Write(TPngForm& Form, int Filters) {
  TContext ctx(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, Z_BEST_COMPRESSION);
  // A window no larger than the data, and a hash to match, lose next to nothing
  // and spare a small image zlib's setting up of half a megabyte.
  const std::size_t data = Form.Rows.size() + Form.Header.height + 262;
  int bits = 9;
  while (bits < MAX_WBITS && (std::size_t(1) << bits) < data)
    ++bits;
  spng_set_option(ctx, SPNG_IMG_WINDOW_BITS, bits);
  spng_set_option(ctx, SPNG_IMG_MEM_LEVEL, std::clamp(bits - 6, 1, MAX_MEM_LEVEL));
  spng_set_option(ctx, SPNG_FILTER_CHOICE, Filters);
  Check(spng_set_ihdr(ctx, &Form.Header));
  if (Form.Palette) Check(spng_set_plte(ctx, &*Form.Palette));
  if (Form.Transparency) Check(spng_set_trns(ctx, &*Form.Transparency));
  Check(spng_encode_image(ctx, Form.Rows.data(), Form.Rows.size(), SPNG_FMT_PNG,
                          SPNG_ENCODE_FINALIZE));
  std::size_t length = 0;
  int error = 0;
  const std::unique_ptr<void, TFree> buffer(spng_get_png_buffer(ctx, &length, &error));
  Check(error);
  const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
  return std::vector<std::uint8_t>(bytes, bytes + length);
}

// Trying two ways costs two encodes: worth it for the small images text makes,
// not for a large one.
constexpr std::size_t TryBothUpTo = std::size_t(1) << 18;

} // namespace

std::vector<std::uint8_t> EncodePng(const TRgbaImage& Image) {
  if (Image.Empty()) Fail("an empty image cannot be written");
  if (Image.Pixels.size() != std::size_t(Image.Width) * std::size_t(Image.Height) * 4)
    Fail("the image's pixels do not match its size");
  std::optional<TPngForm> few = FewColoursForm(Image);
  TPngForm form = few ? std::move(*few) : TrueColourForm(Image);
  form.Header.width = std::uint32_t(Image.Width);
  form.Header.height = std::uint32_t(Image.Height);

  // Rows of palette indices (or of few greys) only grow less alike when
  // filtered. Rows of true colour mostly gain from filtering, each row its
  // own way; but flat colour with pictures among it (emoji) may come out a
  // fifth smaller unfiltered, so both are tried. zlib's other strategies gain
  // rendered text next to nothing.
  std::vector<std::uint8_t> best =
      Write(form, few ? SPNG_DISABLE_FILTERING : SPNG_FILTER_CHOICE_ALL);
  if (!few && std::size_t(Image.Width) * std::size_t(Image.Height) <= TryBothUpTo) {
    std::vector<std::uint8_t> plain = Write(form, SPNG_DISABLE_FILTERING);
    if (plain.size() < best.size()) best = std::move(plain);
  }
  return best;
}

// ---- Reading

namespace {

// Far more than any PNG of MaxDecodePixels pixels needs (at 16 bits a channel,
// stored without compression), so an endless stream ends.
constexpr std::uint64_t MaxReadBytes = std::uint64_t(1) << 30;
// Ancillary chunks are held whole (texts inflated): bounded apart from the image.
constexpr std::size_t MaxChunkBytes = std::size_t(1) << 26;
constexpr std::size_t MaxCachedChunkBytes = std::size_t(1) << 26;
constexpr std::size_t MaxChunks = std::size_t(1) << 20;
// libspng holds a few rows at up to 8 bytes a pixel, and inspecting holds one
// of 4: a header claiming an endless row would cost that much before any data.
constexpr std::uint32_t MaxDecodeWidth = std::uint32_t(1) << 20;

void SetLimits(spng_ctx* Ctx) {
  // The height within an int; the pixels are counted once the header is read.
  Check(spng_set_image_limits(Ctx, MaxDecodeWidth, std::uint32_t(MaxDecodePixels)));
  Check(spng_set_chunk_limits(Ctx, MaxChunkBytes, MaxCachedChunkBytes));
  Check(spng_set_crc_action(Ctx, SPNG_CRC_ERROR, SPNG_CRC_ERROR));
}

spng_ihdr ReadHeader(spng_ctx* Ctx) {
  spng_ihdr header{};
  const int error = spng_get_ihdr(Ctx, &header);
  if (error == SPNG_EUSER_WIDTH)
    Fail("the image is more than " + std::to_string(MaxDecodeWidth) + " pixels wide");
  if (error == SPNG_EUSER_HEIGHT)
    Fail("the image is more than " + std::to_string(MaxDecodePixels) + " pixels high");
  Check(error);
  if (std::int64_t(header.width) * std::int64_t(header.height) > MaxDecodePixels)
    Fail("the image is " + std::to_string(header.width) + " x " + std::to_string(header.height) +
         " pixels, more than the " + std::to_string(MaxDecodePixels) + " that are read");
  return header;
}

// The chunks' framing, followed in the bytes libspng reads: they pass once, in order.
class TChunkList {
public:
  // False once there are too many chunks to list.
  bool Feed(const std::uint8_t* Bytes, std::size_t Count) {
    for (; FSigned < 8 && Count > 0; --Count, --FSkip)
      FSignature[FSigned++] = *Bytes++;
    while (Count > 0) {
      if (FSkip > 0) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(FSkip, Count));
        FSkip -= n;
        Bytes += n;
        Count -= n;
        continue;
      }
      FHead[FHeadFill++] = *Bytes++;
      --Count;
      if (FHeadFill < FHead.size()) continue;
      FHeadFill = 0;
      TPngChunk chunk;
      chunk.Length = std::uint32_t(FHead[0]) << 24 | std::uint32_t(FHead[1]) << 16 |
                     std::uint32_t(FHead[2]) << 8 | FHead[3];
      chunk.Type.assign(reinterpret_cast<const char*>(FHead.data() + 4), 4);
      FSkip = std::uint64_t(chunk.Length) + 4; // and its CRC
      if (FChunks.size() == MaxChunks) return false;
      FChunks.push_back(std::move(chunk));
    }
    return true;
  }
  std::vector<TPngChunk> Take() { return std::move(FChunks); }
  bool Signed() const { return LooksLikePng({FSignature.data(), FSigned}); }

private:
  std::array<std::uint8_t, 8> FSignature{};
  std::size_t FSigned = 0;
  std::uint64_t FSkip = 8; // the signature
  std::array<std::uint8_t, 8> FHead{};
  std::size_t FHeadFill = 0;
  std::vector<TPngChunk> FChunks;
};

struct TSource {
  std::span<const std::uint8_t> Bytes;
  std::istream* Stream = nullptr;
  std::uint64_t Read = 0;
  TChunkList Chunks;
  std::string Refusal; // why reading stopped short of the stream's end
};

int ReadSource(spng_ctx*, void* User, void* Dest, std::size_t Length) try {
  auto& source = *static_cast<TSource*>(User);
  auto* dest = static_cast<std::uint8_t*>(Dest);
  if (source.Read + Length > MaxReadBytes) {
    source.Refusal = "the file goes on past 1 GiB, more than any image that is read needs";
    return SPNG_IO_ERROR;
  }
  std::size_t got = 0;
  if (source.Stream) {
    source.Stream->read(reinterpret_cast<char*>(dest), std::streamsize(Length));
    got = std::size_t(source.Stream->gcount());
  } else {
    got = std::min(Length, std::size_t(source.Bytes.size() - source.Read));
    if (got > 0) std::memcpy(dest, source.Bytes.data() + source.Read, got);
  }
  source.Read += got;
  // What a short read brings is fed too: it may show the signature is wrong.
  if (!source.Chunks.Feed(dest, got)) {
    source.Refusal = "more than " + std::to_string(MaxChunks) + " chunks";
    return SPNG_IO_ERROR;
  }
  return got == Length ? 0 : SPNG_IO_EOF;
} catch (...) {
  // Nothing may unwind through libspng's C frames.
  return SPNG_IO_ERROR;
}

TPngInfo Inspect(TSource& Source, spng_ctx* Ctx) {
  Check(spng_set_png_stream(Ctx, ReadSource, &Source));
  const spng_ihdr header = ReadHeader(Ctx);
  // Every row is decoded, into one row's memory, so the data is known whole.
  Check(spng_decode_image(Ctx, nullptr, 0, SPNG_FMT_RGBA8,
                          SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE));
  std::vector<std::uint8_t> row(std::size_t(header.width) * 4);
  int error = 0;
  do
    error = spng_decode_scanline(Ctx, row.data(), row.size());
  while (error == 0);
  if (error != SPNG_EOI) Check(error);
  Check(spng_decode_chunks(Ctx));

  TPngInfo info;
  info.Width = int(header.width);
  info.Height = int(header.height);
  info.BitDepth = header.bit_depth;
  info.ColorType = header.color_type;
  info.Interlaced = header.interlace_method != 0;
  spng_plte plte{};
  if (spng_get_plte(Ctx, &plte) == 0) info.PaletteSize = int(plte.n_entries);
  spng_trns trns{};
  info.Alpha = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
               header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
               spng_get_trns(Ctx, &trns) == 0;
  info.Chunks = Source.Chunks.Take();
  return info;
}

TPngInfo Inspect(TSource& Source) {
  TContext ctx(0);
  SetLimits(ctx);
  try {
    return Inspect(Source, ctx);
  } catch (const EPngError&) {
    if (!Source.Chunks.Signed()) Fail(Reason(SPNG_ESIGNATURE));
    if (!Source.Refusal.empty()) Fail(Source.Refusal);
    throw;
  }
}

} // namespace

TRgbaImage DecodePng(std::span<const std::uint8_t> Bytes) {
  if (!LooksLikePng(Bytes)) Fail(Reason(SPNG_ESIGNATURE));
  TContext ctx(0);
  SetLimits(ctx);
  Check(spng_set_png_buffer(ctx, Bytes.data(), Bytes.size()));
  const spng_ihdr header = ReadHeader(ctx);
  TRgbaImage image(int(header.width), int(header.height));
  Check(spng_decode_image(ctx, image.Pixels.data(), image.Pixels.size(), SPNG_FMT_RGBA8,
                          SPNG_DECODE_TRNS));
  Check(spng_decode_chunks(ctx));
  return image;
}

TPngInfo InspectPng(std::span<const std::uint8_t> Bytes) {
  TSource source;
  source.Bytes = Bytes;
  return Inspect(source);
}

TPngInfo InspectPng(std::istream& Stream) {
  TSource source;
  source.Stream = &Stream;
  return Inspect(source);
}

bool LooksLikePng(std::span<const std::uint8_t> Bytes) {
  static constexpr std::uint8_t Signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return Bytes.size() >= sizeof Signature && std::equal(Signature, Signature + 8, Bytes.begin());
}
