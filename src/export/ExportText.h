// The text side of the export: characters, file names, masks, escaping and
// the HTML page. No files and no images here, so all of it is plain functions.
#pragma once

#include "export/Export.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One character of a line: its UTF-8 bytes and its code point. A byte that
// starts no valid sequence is a character of its own, code U+FFFD.
struct TTextChar {
  std::string_view Bytes;
  char32_t Code = 0;
};
std::vector<TTextChar> SplitChars(std::string_view Line);

// The image name of a character: itself, or its code in decimal.
std::string CharName(const TTextChar& Char, bool NameAsChar);

// The text the page is made of: each line composed (a letter and its marks
// are one character), without the characters that measure no width: they
// draw nothing, so they get no image and no tag.
std::vector<std::string> PageLines(const std::vector<std::string>& Lines,
                                   const std::function<TTextSize(std::string_view)>& Measure);
// The images such a page has: one per distinct name, compared exactly.
int CountPageImages(const std::vector<std::string>& PageLines, bool NameAsChar);

// The per-line name. The first number placeholder ("%n", or "%0Nn" for the
// number zero-padded to N digits, N from 1 to 9) becomes Number, the first
// "%s" the text's web name, the first "%t" the text as it is. The mask alone
// is searched: a placeholder that comes in with the text stays as written.
// TextUsed tells whether a "%t" took the text.
bool MaskHasPlaceholder(std::string_view Mask);
std::string ExpandMask(std::string_view Mask, int Number, std::string_view Text,
                       bool* TextUsed = nullptr);

// The text as a name any web server and file system takes: ASCII letters
// (lower case), digits and "-". Accents and ligatures fold to ASCII ("Café"
// gives cafe), apostrophes go, letters with no ASCII form are dropped, and
// every other run of characters becomes one "-", none at either end:
// "FAQ / Help" gives faq-help. Empty when nothing is left.
std::string WebName(std::string_view Text);
// What "%s" gives for a line whose web name is empty: "line-" and its number.
std::string WebNameOrNumber(std::string_view Text, int Number);

// A name stays in its folder: no "/" or NUL from the text, no empty, "." or
// ".." part, not absolute.
bool NameStaysInFolder(std::string_view Name, std::string_view FromText);

// A folder path ending in exactly the "/" it needs.
std::string WithTrailingSlash(std::string Folder);
// The name as the save-file dialog completes it: "." and Ext added when the
// file's own name has no extension (a leading dot names a hidden file).
std::string WithDefaultExtension(std::string FileName, std::string_view Ext);
// The folder part of a full file name, with its "/" ("" for a bare name).
std::string FolderOf(const std::string& FileName);

// Escaping for the page: percent-encoding for a URL path segment (every byte
// but letters, digits and -_.!~*'()), entities and character references for
// an attribute value, \-escapes for a script string literal.
std::string UrlEncode(std::string_view Text);
std::string HtmlAttribute(std::string_view Text);
std::string ScriptString(std::string_view Text);

// One distinct image name of the page, with the first character that had it.
struct TPageImage {
  std::string Name;
  std::string Ch;
  int W = 0;
  int H = 0;
};

// The page as it is written: CR LF after every line, plain ASCII.
struct TPageLayout {
  std::vector<TPageImage> Images;
  // Per line of text, per character: its index in Images.
  std::vector<std::vector<int>> Cells;
};
std::string BuildPage(const TPageLayout& Layout, const std::vector<std::string>& Lines,
                      TAlign Align, const TExportChoices& Choices);
// One character's tag, as the plain page writes it.
std::string ImageTag(const TPageImage& Image, std::string_view Ch, const TExportChoices& Choices);
