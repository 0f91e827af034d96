#include "export/ExportText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> PageLines(const std::string& Page) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < Page.size()) {
    const std::size_t end = Page.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every page line ends in CR LF";
    if (end == std::string::npos) break;
    lines.push_back(Page.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// A layout as the writer builds it: one image per distinct name, 9 x 16.
TPageLayout LayoutFor(const std::vector<std::string>& Lines, bool NameAsChar) {
  TPageLayout layout;
  for (const std::string& line : Lines) {
    std::vector<int>& cells = layout.Cells.emplace_back();
    for (const TTextChar& c : SplitChars(line)) {
      const std::string name = CharName(c, NameAsChar);
      int at = -1;
      for (std::size_t i = 0; i < layout.Images.size(); ++i)
        if (layout.Images[i].Name == name) at = int(i);
      if (at < 0) {
        at = int(layout.Images.size());
        layout.Images.push_back({name, std::string(c.Bytes), 9, 16});
      }
      cells.push_back(at);
    }
  }
  return layout;
}

bool IsPlainAscii(const std::string& Text) {
  for (char c : Text)
    if (std::uint8_t(c) > 126 || (std::uint8_t(c) < 32 && c != '\r' && c != '\n')) return false;
  return true;
}

} // namespace

TEST(ExportText, PlainPageOfHiNamedByCode) {
  TExportChoices choices;
  const std::vector<std::string> lines{"Hi"};
  const auto page = PageLines(BuildPage(LayoutFor(lines, false), lines, TAlign::Left, choices));
  EXPECT_EQ(page,
            (std::vector<std::string>{
                "<html><body>", "<img src=\"img_char/72.gif\" ><img src=\"img_char/105.gif\" ><br>",
                "</body></html>"}));
}

TEST(ExportText, TagHoldsTheSevenPiecesInOrder) {
  TExportChoices choices;
  choices.WriteSize = true;
  choices.WriteAlt = true;
  EXPECT_EQ(ImageTag({"72", "H", 9, 16}, "H", choices),
            "<img src=\"img_char/72.gif\" width=9 height=16 alt=\"H\">");
  choices.WriteSize = false;
  EXPECT_EQ(ImageTag({"72", "H", 9, 16}, "H", choices), "<img src=\"img_char/72.gif\" alt=\"H\">");
}

TEST(ExportText, RepeatedCharacterSharesItsImageAndSize) {
  TExportChoices choices;
  choices.NameAsChar = true;
  choices.WriteSize = true;
  const std::vector<std::string> lines{"Aa", "", "AA"};
  TPageLayout layout = LayoutFor(lines, true);
  ASSERT_EQ(layout.Images.size(), 2u) << "A and a are two names";
  layout.Images[0].W = 12;
  const auto page = PageLines(BuildPage(layout, lines, TAlign::Left, choices));
  ASSERT_EQ(page.size(), 5u);
  EXPECT_EQ(page[1], "<img src=\"img_char/A.gif\" width=12 height=16 >"
                     "<img src=\"img_char/a.gif\" width=9 height=16 ><br>");
  EXPECT_EQ(page[2], "<br>") << "an empty line is only a line break";
  EXPECT_EQ(page[3], "<img src=\"img_char/A.gif\" width=12 height=16 >"
                     "<img src=\"img_char/A.gif\" width=12 height=16 ><br>");
}

TEST(ExportText, AlignmentWrapsThePageInBothForms) {
  struct Case {
    const char* name;
    TAlign align;
    bool script;
    const char* open;
    const char* close;
  };
  const Case cases[] = {
      {"centre plain", TAlign::Center, false, "<center>", "</center>"},
      {"right plain", TAlign::Right, false, "<div align=\"right\">", "</div>"},
      {"centre script", TAlign::Center, true, "<center>", "</center>"},
      {"right script", TAlign::Right, true, "<div align=\"right\">", "</div>"},
  };
  for (const Case& c : cases) {
    TExportChoices choices;
    choices.IncludeScript = c.script;
    const std::vector<std::string> lines{"x"};
    const auto page = PageLines(BuildPage(LayoutFor(lines, false), lines, c.align, choices));
    ASSERT_GE(page.size(), 4u) << c.name;
    EXPECT_EQ(page[0], "<html><body>") << c.name;
    EXPECT_EQ(page[1], c.open) << c.name;
    EXPECT_EQ(page[page.size() - 2], c.close) << c.name;
    EXPECT_EQ(page.back(), "</body></html>") << c.name;
    if (c.script) {
      EXPECT_EQ(page[2], "<script language=\"JavaScript\">") << c.name;
      EXPECT_EQ(page[page.size() - 3], "</script>") << c.name;
    }
  }
}

TEST(ExportText, ScriptRowsFollowTheOptions) {
  TExportChoices choices;
  choices.IncludeScript = true;
  choices.WriteSize = true;
  choices.WriteAlt = true;
  const std::vector<std::string> lines{"Hi", ""};
  const auto page = PageLines(BuildPage(LayoutFor(lines, false), lines, TAlign::Left, choices));
  const std::vector<std::string> head{
      "<html><body>",        "<script language=\"JavaScript\">",
      "ImgW = new Array();", "ImgH = new Array();",
      "ImgW[\"H\"] = 9;",    "ImgH[\"H\"] = 16;",
      "ImgW[\"i\"] = 9;",    "ImgH[\"i\"] = 16;",
      "ImgN = new Array();", "ImgN[\"H\"] = 72;",
      "ImgN[\"i\"] = 105;",
  };
  ASSERT_GT(page.size(), head.size());
  EXPECT_EQ(std::vector<std::string>(page.begin(), page.begin() + long(head.size())), head);
  const std::vector<std::string> tail{
      "function mywrite(s){",
      " if (s!=\"\") {",
      "  for (const c of s){",
      "   document.write(\"<img src=\\\"img_char/\"+ImgN[c]+\".gif\\\" \");",
      "   document.write(\"width=\"+ImgW[c]+\" height=\"+ImgH[c]);",
      "   document.write(\" alt=\\\"\"+myattr(c)+\"\\\"\");",
      "   document.write(\">\");}",
      " }",
      " document.writeln(\"<br>\");",
      "}",
      "mywrite(\"Hi\");",
      "mywrite(\"\");",
      "</script>",
      "</body></html>",
  };
  EXPECT_EQ(std::vector<std::string>(page.end() - long(tail.size()), page.end()), tail);
  for (const std::string& line : page)
    EXPECT_EQ(line.find("<br>") == std::string::npos || line.find("writeln") != std::string::npos,
              true)
        << "no tags outside the script: " << line;
}

TEST(ExportText, ScriptWithoutOptionsKeepsItsArraysAndNamesByChar) {
  TExportChoices choices;
  choices.IncludeScript = true;
  choices.NameAsChar = true;
  const std::vector<std::string> lines{"A"};
  const std::string page = BuildPage(LayoutFor(lines, true), lines, TAlign::Left, choices);
  EXPECT_NE(page.find("ImgW = new Array();\r\nImgH = new Array();\r\n"), std::string::npos);
  EXPECT_EQ(page.find("ImgN"), std::string::npos);
  EXPECT_EQ(page.find("ImgW[\""), std::string::npos);
  EXPECT_EQ(page.find("alt="), std::string::npos);
  EXPECT_NE(page.find("   document.write(\"<img src=\\\"img_char/\"+myurl(c)+\".gif\\\" \");"),
            std::string::npos);
}

TEST(ExportText, ScriptStringsKeepTheScriptWhole) {
  struct Case {
    const char* name;
    std::string text;
    std::string escaped;
  };
  const Case cases[] = {
      {"quote and backslash", "a\"b\\c", "a\\\"b\\\\c"},
      {"circumflex and ampersand", "^&", "\\^\\&"},
      {"end of script", "</script>", "\\u003C/script>"},
      {"Latin-1 letter", "\xC3\xA9", "\\u00E9"},
      {"Cyrillic letter", "\xD0\x96", "\\u0416"},
      {"outside the BMP", "\xF0\x9F\x98\x80", "\\uD83D\\uDE00"},
      {"control character", "\t", "\\u0009"},
      {"empty line", "", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScriptString(c.text), c.escaped) << c.name;
}

TEST(ExportText, PlainTagsEscapeEveryCharacterForItsPlace) {
  struct Case {
    const char* name;
    std::string ch;
    std::string src;
    std::string alt;
  };
  const Case cases[] = {
      {"letter", "A", "A", "A"},
      {"double quote", "\"", "%22", "&quot;"},
      {"ampersand", "&", "%26", "&amp;"},
      {"less than", "<", "%3C", "&lt;"},
      {"greater than", ">", "%3E", "&gt;"},
      {"backslash", "\\", "%5C", "\\"},
      {"hash", "#", "%23", "#"},
      {"percent", "%", "%25", "%"},
      {"question mark", "?", "%3F", "?"},
      {"space", " ", "%20", " "},
      {"slash", "/", "%2F", "/"},
      {"e acute", "\xC3\xA9", "%C3%A9", "&#233;"},
      {"Greek omega", "\xCF\x89", "%CF%89", "&#969;"},
      {"euro sign", "\xE2\x82\xAC", "%E2%82%AC", "&#8364;"},
  };
  TExportChoices choices;
  choices.NameAsChar = true;
  choices.WriteAlt = true;
  for (const Case& c : cases) {
    const std::string tag = ImageTag({c.ch, c.ch, 9, 16}, c.ch, choices);
    EXPECT_EQ(tag, "<img src=\"img_char/" + c.src + ".gif\" alt=\"" + c.alt + "\">") << c.name;
    EXPECT_TRUE(IsPlainAscii(tag)) << c.name;
  }
}

TEST(ExportText, PageIsAsciiWhateverTheText) {
  const std::vector<std::string> lines{"\"&<>\\^#%? \xC3\xA9\xD0\x96", "</script><!--",
                                       "\xF0\x9F\x98\x80"};
  for (bool script : {false, true})
    for (bool byChar : {false, true}) {
      TExportChoices choices;
      choices.IncludeScript = script;
      choices.NameAsChar = byChar;
      choices.WriteAlt = true;
      choices.WriteSize = true;
      const std::string page = BuildPage(LayoutFor(lines, byChar), lines, TAlign::Left, choices);
      EXPECT_TRUE(IsPlainAscii(page)) << "script " << script << " by char " << byChar;
      if (script) {
        const std::size_t open = page.find("<script");
        EXPECT_EQ(page.find("</script", open), page.rfind("</script>"))
            << "the text never closes the script early";
      }
    }
}

TEST(ExportText, CharactersNamesAndCounts) {
  const std::vector<TTextChar> chars = SplitChars("A\xC3\xA9\xFFz");
  ASSERT_EQ(chars.size(), 4u);
  EXPECT_EQ(CharName(chars[0], false), "65");
  EXPECT_EQ(CharName(chars[1], false), "233");
  EXPECT_EQ(CharName(chars[1], true), "\xC3\xA9");
  EXPECT_EQ(chars[2].Code, 0xFFFDu) << "a stray byte is a character of its own";
  EXPECT_EQ(CharName(chars[3], true), "z");

  EXPECT_EQ(CountPageImages({"Aa"}, false), 2) << "names are compared exactly";
  EXPECT_EQ(CountPageImages({"a\tb", "", "ba"}, false), 3) << "a tab that is drawn has its image";
  EXPECT_EQ(CountPageImages({"\xC3\xA9\xC3\xA9"}, true), 1);
  EXPECT_EQ(CountPageImages({"\xFE\xFF"}, true), 2) << "by the bytes of a stray byte";
  EXPECT_EQ(CountPageImages({"\xFE\xFF"}, false), 1) << "by its code, both are U+FFFD";
}

TEST(ExportText, MaskNames) {
  struct Case {
    const char* name;
    const char* mask;
    int number;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"text", "%t.gif", 1, "Hello", "Hello.gif"},
      {"number", "line%n.gif", 3, "World", "line3.gif"},
      {"no extension", "%n_%t", 1, "Hello", "1_Hello"},
      {"second %t stays", "%t-%t.gif", 2, "Hi", "Hi-%t.gif"},
      {"%n from the text stays", "%n%t.gif", 4, "a%nb", "4a%nb.gif"},
      {"padded to two", "item%02n.gif", 1, "x", "item01.gif"},
      {"padded, number as long", "item%02n.gif", 12, "x", "item12.gif"},
      {"padded, number longer", "item%02n.gif", 123, "x", "item123.gif"},
      {"padded to nine", "%09n", 42, "x", "000000042"},
      {"no width is no placeholder", "%0n-%n", 5, "x", "%0n-5"},
      {"width ten is not taken", "%010n", 5, "x", "%010n"},
      {"first number placeholder only", "%03n-%n", 7, "x", "007-%n"},
      {"web name", "%s.gif", 1, "FAQ / Help", "faq-help.gif"},
      {"web name beside the text", "%s_%t", 1, "A b", "a-b_A b"},
      {"web name from nothing", "%s.gif", 3, "!!!", "line-3.gif"},
      {"%s and %t from the text stay", "%t%s", 2, "%s%t", "%s%ts-t"},
      {"a lone percent stays", "100%.gif%n", 1, "x", "100%.gif1"},
      {"second %s stays", "%s%s", 1, "Hi", "hi%s"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExpandMask(c.mask, c.number, c.text), c.expected) << c.name;
  for (const char* mask : {"a%n", "%t", "%s.gif", "%02n.gif"})
    EXPECT_TRUE(MaskHasPlaceholder(mask)) << mask;
  for (const char* mask : {"image.gif", "%0n.gif", "%N%T%S", "%", "100%"})
    EXPECT_FALSE(MaskHasPlaceholder(mask)) << mask;

  bool textUsed = true;
  ExpandMask("%s.gif", 1, "a/b", &textUsed);
  EXPECT_FALSE(textUsed) << "the web name never carries the text's slash";
  EXPECT_EQ(ExpandMask("%s.gif", 1, "a/b"), "a-b.gif");
}

TEST(ExportText, WebNamesAreLowerCaseAsciiLettersDigitsAndDashes) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"FAQ / Help", "faq-help"},
      {"Hello World", "hello-world"},
      {"  leading and trailing  ", "leading-and-trailing"},
      {"Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
       "e",
       "cafe-creme-brulee"},
      {"Cafe\xCC\x81", "cafe"}, // an accent as a mark of its own
      {"Stra\xC3\x9F"
       "e",
       "strasse"},
      {"\xC3\x86sop \xC3\x98re \xC5\x81\xC3\xB3"
       "d\xC5\xBA",
       "aesop-ore-lodz"},
      {"\xEF\xAC\x81le", "file"}, // the fi ligature
      {"Don't stop", "dont-stop"},
      {"Don\xE2\x80\x99t", "dont"},
      {"a_b.c--d", "a-b-c-d"},
      {"Version 2.0", "version-2-0"},
      {"\xD0\x9F\xD1\x80\xD0\xB8 x", "x"}, // letters with no ASCII form go
      {"A\xE2\x80\x94"
       "B",
       "a-b"}, // an em dash separates
      {"tab\tand\nbreak", "tab-and-break"},
      {"stray \xFF byte", "stray-byte"},
      {"!!!", ""},
      {"", ""},
      {"\xE6\x97\xA5\xE6\x9C\xAC", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WebName(c.text), c.expected) << c.text;
  EXPECT_EQ(WebNameOrNumber("\xE6\x97\xA5", 7), "line-7");
  EXPECT_EQ(WebNameOrNumber("Go", 7), "go");
}

TEST(ExportText, NamesNeverLeaveTheirFolder) {
  struct Case {
    const char* name;
    std::string fileName;
    std::string fromText;
    bool stays;
  };
  const Case cases[] = {
      {"plain name", "Hello.gif", "Hello", true},
      {"mask names a subfolder", "sub/Hello.gif", "Hello", true},
      {"slash from the text", "a/b.gif", "a/b", false},
      {"text climbs up", "...gif", ".", true},
      {"text is the parent", "..", "..", false},
      {"mask climbs up", "../Hello.gif", "Hello", false},
      {"absolute", "/etc/passwd", "", false},
      {"NUL", std::string("a\0b", 3), std::string("a\0b", 3), false},
      {"empty", "", "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NameStaysInFolder(c.fileName, c.fromText), c.stays) << c.name;
}

TEST(ExportText, Folders) {
  EXPECT_EQ(WithTrailingSlash("/tmp/out"), "/tmp/out/");
  EXPECT_EQ(WithTrailingSlash("/"), "/") << "a root gets no second slash";
  EXPECT_EQ(FolderOf("/home/u/page.html"), "/home/u/");
  EXPECT_EQ(FolderOf("page.html"), "");
}
