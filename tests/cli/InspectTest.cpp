// `inspect` shows what the reader sees, agrees with giflib, and refuses bad files cleanly.
#include "Inspected.h"
#include "support/PngBytes.h"

#include <cstdio>

using namespace clitest;

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes)
    s += char(b);
  return s;
}

const std::string Screen1x1 = Bytes({
    'G',  'I',  'F',  '8',  '9',  'a',  // signature
    0x01, 0x00, 0x01, 0x00,             // screen 1 x 1
    0x80,                               // global table, resolution 1, 2 entries
    0x00, 0x00,                         // background index, aspect ratio
    0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, // white, #123456
});
const std::string OnePixelOfIndex1 = Bytes({0x02, 0x02, 0x4C, 0x01, 0x00}); // clear, 1, end

// A comment and a transparent graphic control before one image.
const std::string TinyGif =
    Screen1x1 + Bytes({0x21, 0xFE, 0x03, 'h',  'i',  '"',  0x00,       // comment: hi"
                       0x21, 0xF9, 0x04, 0x03, 0x0A, 0x00, 0x01, 0x00, // user input, delay 10
                       0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00}) +
    OnePixelOfIndex1 + ";";

const std::string ScreenLine =
    "signature: GIF89a\n"
    "logical screen: width 1, height 1, global color table yes (size 2, table 0), color "
    "resolution 1, sorted no, background index 0, aspect ratio 0\n"
    "color table 0: 2 entries\n"
    "    0: #FFFFFF #123456\n";

// A PNG's description, less the IDAT line, which ends it with IEND's.
std::string PngLines(const std::string& image, const std::string& alpha, const std::string& palette,
                     std::vector<std::string> chunks, const std::string& idat) {
  std::string out =
      "signature: PNG\nimage: " + image + "\nalpha: " + alpha + "\npalette: " + palette + "\n";
  chunks.insert(chunks.begin(), "IHDR, length 13");
  chunks.push_back("IDAT, length " + std::to_string(idat.size() - 12));
  chunks.push_back("IEND, length 0");
  for (std::size_t i = 0; i < chunks.size(); ++i)
    out += "chunk " + std::to_string(i) + ": " + chunks[i] + "\n";
  return out;
}

TEST(Inspect, PrintsEveryBlockWithItsFields) {
  using namespace pngbytes;
  struct Case {
    const char* Name;
    std::string File;
    std::string Want; // with --indices
  };
  const std::string indices = Data(std::string{0, 0x18}); // 0, 1, 2 at 2 bits
  const std::string rgba16 = Data('\0' + std::string(8, '\x7F'));
  const std::string grey = Data(std::string{0, 'a', 'b', 0, 'c', 'd'});
  const std::vector<Case> cases = {
      {"comment and graphic control", TinyGif,
       ScreenLine +
           "image 0: left 0, top 0, width 1, height 1, local color table no, interlaced no, "
           "sorted no, color table size 2, color table 0, code size 2\n"
           "  comment extension: 1 sub-block, \"hi\\\"\"\n"
           "  graphic control extension: block size 4, disposal 0, user input yes, transparent "
           "yes, delay 10, transparent index 1\n"
           "01\n"},
      {"application and plain text, then an interlaced image with a local table",
       Screen1x1 + Bytes({0x21, 0xFF, 0x0B, 'N', 'E',  'T',  'S',  'C',  'A',  'P',
                          'E',  '2',  '.',  '0', 0x03, 0x01, 0x00, 0x00, 0x00, // loop forever
                          0x21, 0x01, 0x0C, 0,   0,    0,    0,    8,    0,    8,
                          0,    8,    8,    1,   0, // plain text grid
                          0x01, 'T',  0x00,         // its text
                          0x2C, 0,    0,    0,   0,    1,    0,    1,    0,    0x00}) +
           OnePixelOfIndex1 +
           Bytes({0x2C, 1, 0, 0, 0, 1, 0, 1, 0, 0xC0, // local table, interlaced
                  0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}) +
           OnePixelOfIndex1 + ";",
       ScreenLine +
           "color table 1: 2 entries\n"
           "    0: #0000FF #FF0000\n"
           "image 0: left 0, top 0, width 1, height 1, local color table no, interlaced no, "
           "sorted no, color table size 2, color table 0, code size 2\n"
           "  application extension: block size 11, identifier \"NETSCAPE\", authentication code "
           "\"2.0\", 1 sub-block: 01 00 00\n"
           "  plain text extension: block size 12, grid left 0, grid top 0, grid width 8, grid "
           "height 8, cell width 8, cell height 8, foreground index 1, background index 0, 1 "
           "sub-block, \"T\"\n"
           "01\n"
           "image 1: left 1, top 0, width 1, height 1, local color table yes, interlaced yes, "
           "sorted no, color table size 2, color table 1, code size 2\n"
           "01\n"},
      {"an indexed PNG with tRNS and a text chunk",
       Png({Header(3, 1, 2, 3), Chunk("PLTE", std::string(9, '\x40')), Chunk("tRNS", "\x80"),
            Chunk("tEXt", std::string("Title\0hi", 8)), indices}),
       PngLines("width 3, height 1, color type 3 (indexed, 2 bits per index), interlaced no",
                "yes, from the tRNS chunk", "3 entries",
                {"PLTE, length 9", "tRNS, length 1", "tEXt, length 8"}, indices)},
      {"an interlaced PNG of 16-bit RGBA", Png({Header(1, 1, 16, 6, true), rgba16}),
       PngLines("width 1, height 1, color type 6 (RGB with alpha, 16 bits per channel), "
                "interlaced yes",
                "yes, an alpha channel", "none", {}, rgba16)},
      {"a grayscale PNG", Png({Header(2, 2, 8, 0), grey}),
       PngLines("width 2, height 2, color type 0 (grayscale, 8 bits per channel), interlaced no",
                "no", "none", {}, grey)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempDir dir;
    WriteFile(dir / "in.gif", c.File);
    const TRun r = RunCli({"inspect", (dir / "in.gif").string(), "--indices"});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(r.Out, c.Want);
    // Without --indices the same, less the rows.
    std::string plain;
    for (const std::string& line : Lines(c.Want))
      if (line != "01") plain += line + "\n";
    EXPECT_EQ(RunCli({"inspect", (dir / "in.gif").string()}).Out, plain);
  }
}

TEST(Inspect, FilesTheReaderRefusesGiveItsMessageAndExitOne) {
  const std::string screen = Screen1x1.substr(6);
  const std::string image = Bytes({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0}) + OnePixelOfIndex1;
  using namespace pngbytes;
  const std::string png = Png({Header(1, 1, 8, 0), Data(std::string(2, '\0'))});
  std::string badCrc = png;
  badCrc[32] ^= 1; // the header's CRC
  struct Case {
    const char* Name;
    std::string Bytes;
    const char* Message;
  };
  const std::vector<Case> cases = {
      {"an empty file", "", "bad.gif\" is neither a GIF nor a PNG file"},
      {"a JPEG", "\xFF\xD8\xFF\xE0", "bad.gif\" is neither a GIF nor a PNG file"},
      {"a PNG cut short", png.substr(0, png.size() - 5), "bad.gif: PNG: the file is cut short"},
      {"a PNG with a bad CRC", badCrc, "bad.gif: PNG: a chunk's checksum does not match"},
      {"version 88a", "GIF88a" + screen + image + ";", "TGif: Invalid GIF Signature Code"},
      {"no image", "GIF89a" + screen + ";", "TGif: No Image Description"},
      {"no trailer", "GIF89a" + screen + image, "TGif: No GIF Terminator Found"},
      {"cut inside the screen", "GIF89a\x01", "TGif: No GIF Terminator Found"},
      {"unknown extension", "GIF89a" + screen + Bytes({0x21, 0xFA, 0x00}) + image + ";",
       "TGif: unknown extension: 00FA"},
      {"comment after the last image",
       "GIF89a" + screen + image + Bytes({0x21, 0xFE, 1, 'x', 0}) + ";",
       "TGif: Extension Block Out-Of-Order With Image Data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempDir dir;
    WriteFile(dir / "bad.gif", c.Bytes);
    const TRun r = RunCli({"inspect", (dir / "bad.gif").string(), "--indices"});
    EXPECT_EQ(r.Exit, 1) << r.Err;
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find(c.Message), std::string::npos) << "want " << c.Message << " in " << r.Err;
    EXPECT_EQ(r.Out, "") << "nothing of a refused file is printed";
  }
}

TEST(Inspect, FilesThatCannotBeReadExitTwo) {
  TTempDir dir;
  for (const fs::path& p : {dir / "missing.gif", dir.Path()}) {
    const TRun r = RunCli({"inspect", p.string()});
    EXPECT_EQ(r.Exit, 2) << p;
    ExpectOneErrorLine(r);
    EXPECT_NE(r.Err.find("cannot read image file"), std::string::npos) << r.Err;
  }
  // A name starting with "-" reaches inspect after "--".
  WriteFile(dir / "-odd.gif", TinyGif);
  const TRun r = RunCli({"inspect", "--", "-odd.gif"}, {}, dir.Path());
  EXPECT_EQ(r.Exit, 0) << r.Err;
  EXPECT_TRUE(r.Out.starts_with("signature: GIF89a\n"));
}

// An endless or huge input is refused at its first bytes, never read whole.
TEST(Inspect, EndlessInputFailsAtTheSignature) {
  const TRun zero = RunCli({"inspect", "/dev/zero"});
  EXPECT_EQ(zero.Exit, 1) << zero.Err;
  ExpectOneErrorLine(zero);
  EXPECT_NE(zero.Err.find("\"/dev/zero\" is neither a GIF nor a PNG file"), std::string::npos)
      << zero.Err;

  // The writer of a 64 MB pipe is cut off (SIGPIPE) once inspect has refused it.
  TTempDir dir;
  WriteFile(dir / "pipe.sh", "head -c 64000000 /dev/zero | \"$1\" inspect - 2>/dev/null\n"
                             "echo \"${PIPESTATUS[0]} ${PIPESTATUS[1]}\"\n");
  const std::string command =
      "/bin/bash '" + (dir / "pipe.sh").string() + "' '" + CliPath().string() + "'";
  std::FILE* shell = popen(command.c_str(), "r");
  ASSERT_NE(shell, nullptr);
  char line[64] = {};
  const bool read = std::fgets(line, sizeof line, shell) != nullptr;
  pclose(shell);
  ASSERT_TRUE(read);
  EXPECT_STREQ(line, "141 1\n") << "head's status, then inspect's";
}

} // namespace
