// The HTML pages as a browser shows them: Debian's chromium, headless, loads
// each page with a checker script appended and reports what it found.
#include "export/Export.h"
#include "export/ExportTestUtil.h"
#include "export/ExportText.h"
#include "export/RenderSource.h"
#include "render/AutoFill.h"
#include "render/Render.h"
#include "support/Programs.h"
#include "support/UnattendedPlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

struct TPageCase {
  const char* Name;
  bool AllChars; // the 224 characters of "All font chars", else the special text
  bool Script;
  bool ByChar;
  TAlign Align;
  TImageFormat Format = TImageFormat::Gif;
  int Scale = 1;       // images written
  int DeviceScale = 1; // the screen's pixels to a CSS pixel
};

std::vector<std::string> SpecialText() {
  return {
      "Say \"Hi\" & <b>bye</b>",
      "C:\\dir^2 #1 100% ok?",
      "",
      "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC " // Ελληνικά
      "\xD0\x9A\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0", // Кириллица
      "a / b </script><!-- \xC3\xA9t\xC3\xA9",
  };
}

// Every character as \uXXXX, so the expectations need no escaping of our own.
std::string JsonString(std::string_view Text) {
  std::string out = "\"";
  char buffer[16];
  for (const TTextChar& c : SplitChars(Text)) {
    const auto unit = [&](unsigned u) {
      std::snprintf(buffer, sizeof buffer, "\\u%04X", u);
      out += buffer;
    };
    if (c.Code > 0xFFFF) {
      unit(0xD800 + ((c.Code - 0x10000) >> 10));
      unit(0xDC00 + ((c.Code - 0x10000) & 0x3FF));
    } else {
      unit(unsigned(c.Code));
    }
  }
  return out + "\"";
}

// Checks every image, row and alt text once the page has loaded, and leaves
// its findings in <pre id="result">.
constexpr const char* Checker = R"(<script>
window.addEventListener("load", function () {
  var want = WANT, problems = [];
  var rows = [[]];
  document.querySelectorAll("img, br").forEach(function (n) {
    if (n.tagName == "BR") rows.push([]); else rows[rows.length - 1].push(n);
  });
  if (rows.pop().length) problems.push("images after the last line");
  if (rows.length != want.lines.length)
    problems.push("rows: have " + rows.length + " want " + want.lines.length);
  var body = document.body.getBoundingClientRect(), lastTop = -1;
  for (var i = 0; i < rows.length && i < want.lines.length; ++i) {
    var row = rows[i], line = want.lines[i];
    if (row.length != line.length) {
      problems.push("row " + i + ": have " + row.length + " images want " + line.length);
      continue;
    }
    for (var k = 0; k < row.length; ++k) {
      var img = row[k], c = line[k], at = "row " + i + " char " + c[0].codePointAt(0);
      if (img.alt !== c[0]) problems.push(at + ": alt " + escape(img.alt));
      if (c[1] < 0) {
        if (img.naturalWidth != 0) problems.push(at + ": refused image loaded");
      } else if (!img.currentSrc.endsWith(want.file) || /@\dx\.[a-z]+$/.test(img.currentSrc) !=
                 (want.file.charAt(0) == "@")) {
        problems.push(at + ": shows " + img.currentSrc + " want *" + want.file);
      } else if (!img.complete || img.naturalWidth != c[1] || img.naturalHeight != c[2]) {
        problems.push(at + ": image " + img.complete + " " + img.naturalWidth + "x" +
                      img.naturalHeight + " want " + c[1] + "x" + c[2]);
      }
      if (img.getBoundingClientRect().top != row[0].getBoundingClientRect().top)
        problems.push(at + ": off its row");
    }
    if (!row.length) continue;
    var top = row[0].getBoundingClientRect().top;
    if (top <= lastTop) problems.push("row " + i + ": not below the previous row");
    lastTop = top;
    var left = row[0].getBoundingClientRect().left - body.left;
    var right = body.right - row[row.length - 1].getBoundingClientRect().right;
    var off = want.align == 0 ? left : want.align == 2 ? right : Math.abs(left - right);
    if (off > 1.5) problems.push("row " + i + ": misaligned, left " + left + " right " + right);
  }
  var pre = document.createElement("pre");
  pre.id = "result";
  // Built from pieces, so the marker is not found in this script's own text.
  pre.textContent = "RES" + "ULT:" + (problems.length ? problems.join("\n") : "OK") + ":END";
  document.body.appendChild(pre);
});
</script>
)";

std::string RunChromium(const std::string& Folder, const std::string& Page, int DeviceScale) {
  const std::string command =
      "timeout 120 " + Program("chromium") +
      " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
      " --disable-background-networking --disable-component-update --disable-sync"
      " --user-data-dir=" +
      Folder +
      "profile --window-size=1600,1200 --force-device-scale-factor=" + std::to_string(DeviceScale) +
      " --virtual-time-budget=10000 --dump-dom 'file://" + Page + "' 2>/dev/null";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
      output.append(buffer, n);
    ::pclose(pipe);
  }
  return output;
}

class BrowserPage : public testing::TestWithParam<TPageCase> {};

[[maybe_unused]] void PrintTo(const TPageCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}
} // namespace

TEST_P(BrowserPage, EveryImageLoadsInItsRowWithItsAltText) {
  const TPageCase& c = GetParam();

  TRenderSettings settings;
  settings.FaceName = "DejaVu Sans";
  settings.Size = 30;
  settings.Align = c.Align;
  settings.Lines = c.AllChars ? AutoFillLines(afAllChars) : SpecialText();
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(settings, 96);
  ASSERT_TRUE(rendering);

  TTempDir dir;
  TCTable table;
  table.Choices.IncludeScript = c.Script;
  table.Choices.NameAsChar = c.ByChar;
  table.Choices.WriteSize = true;
  table.Choices.WriteAlt = true;
  table.Choices.Format = c.Format;
  table.Choices.Scale = c.Scale;
  table.Prepare(ExportSourceOf(*rendering));
  TUnattendedPlatform platform;
  platform.SaveFileName = dir.Folder() + "page.html";
  table.BSaveClick(platform);
  if (c.ByChar) {
    const std::string slash = dir.Folder() + "img_char//." + ImageExtension(c.Format);
    std::vector<std::string> refused(std::size_t(c.Scale),
                                     "File name [" + slash + "] is not correct!");
    if (c.Scale > 1) refused[1] = "File name [" + ScaledName(slash, c.Scale) + "] is not correct!";
    EXPECT_EQ(platform.Errors, refused);
  } else {
    EXPECT_TRUE(platform.Errors.empty());
  }

  // What the browser must find, from the files as written.
  // The images the screen has the pixels for: "@2x.png" at 2x, else ".png".
  const std::string shown =
      (c.Scale > 1 && c.DeviceScale >= c.Scale ? "@" + std::to_string(c.Scale) + "x."
                                               : std::string(".")) +
      ImageExtension(c.Format);
  std::string want =
      "{\"file\":\"" + shown + "\",\"align\":" + std::to_string(int(c.Align)) + ",\"lines\":[";
  for (std::size_t i = 0; i < settings.Lines.size(); ++i) {
    want += i ? ",[" : "[";
    bool first = true;
    for (const TTextChar& ch : SplitChars(settings.Lines[i])) {
      const std::string file =
          dir.Folder() + "img_char/" + CharName(ch, c.ByChar) + "." + ImageExtension(c.Format);
      int w = -1, h = -1;
      if (ch.Bytes != "/" || !c.ByChar) {
        const TRgbaImage image = ReadSavedImage(file);
        w = image.Width;
        h = image.Height;
      }
      want += (first ? "[" : ",[") + JsonString(ch.Bytes) + "," + std::to_string(w) + "," +
              std::to_string(h) + "]";
      first = false;
    }
    want += "]";
  }
  want += "]}";

  const std::string page = ReadFile(dir.Folder() + "page.html");
  for (char b : page)
    ASSERT_LT(std::uint8_t(b), 0x80) << "the page is plain ASCII";
  std::string checker = Checker;
  checker.replace(checker.find("WANT"), 4, want);
  const std::string checkPage = dir.Folder() + "check.html";
  std::ofstream(checkPage, std::ios::binary) << page << checker;

  const std::string dom = RunChromium(dir.Folder(), checkPage, c.DeviceScale);
  const std::size_t begin = dom.find("RESULT:"), end = dom.find(":END", begin);
  ASSERT_NE(begin, std::string::npos) << "chromium gave no result:\n" << dom.substr(0, 2000);
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(dom.substr(begin + 7, end - begin - 7), "OK");
}

INSTANTIATE_TEST_SUITE_P(
    Pages, BrowserPage,
    testing::Values(TPageCase{"AllCharsPlainByCode", true, false, false, TAlign::Left},
                    TPageCase{"AllCharsPlainByChar", true, false, true, TAlign::Left},
                    TPageCase{"AllCharsScriptByCode", true, true, false, TAlign::Left},
                    TPageCase{"AllCharsScriptByChar", true, true, true, TAlign::Left},
                    TPageCase{"SpecialPlainByCharCentred", false, false, true, TAlign::Center},
                    TPageCase{"SpecialPlainByCodeRight", false, false, false, TAlign::Right},
                    TPageCase{"SpecialScriptByCharRight", false, true, true, TAlign::Right},
                    TPageCase{"SpecialScriptByCodeCentred", false, true, false, TAlign::Center},
                    TPageCase{"AllCharsPlainPng2xOnA2xScreen", true, false, false, TAlign::Left,
                              TImageFormat::Png, 2, 2},
                    TPageCase{"AllCharsPlainPng2xOnA1xScreen", true, false, false, TAlign::Left,
                              TImageFormat::Png, 2, 1},
                    TPageCase{"SpecialScriptByCharPng2xOnA2xScreen", false, true, true,
                              TAlign::Center, TImageFormat::Png, 2, 2},
                    TPageCase{"SpecialPlainByCodeGif3xOnA3xScreen", false, false, false,
                              TAlign::Right, TImageFormat::Gif, 3, 3}),
    [](const testing::TestParamInfo<TPageCase>& Info) { return std::string(Info.param.Name); });
