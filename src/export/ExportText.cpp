#include "export/ExportText.h"
#include "text/Compose.h"

#include "base/Strings.h"
#include "base/Utf8.h"

#include <cstdio>
#include <utility>

#include <set>
#include <unordered_map>
#include <utf8proc.h>

namespace {

const char* AlignOpen(TAlign Align) {
  switch (Align) {
  case TAlign::Left:
    return nullptr;
  case TAlign::Center:
    return "<center>";
  case TAlign::Right:
    // "<right>" is no element: a browser would leave the page left-aligned.
    return "<div align=\"right\">";
  }
  return nullptr;
}
const char* AlignClose(TAlign Align) {
  switch (Align) {
  case TAlign::Left:
    return nullptr;
  case TAlign::Center:
    return "</center>";
  case TAlign::Right:
    return "</div>";
  }
  return nullptr;
}

// Escapes one character for the script's own escaping of attribute values
// and URLs, as the plain tags escape them.
constexpr const char* ScriptHelpers[] = {
    "function myurl(c){return encodeURIComponent(c);}",
    "function myattr(c){",
    " var n=c.codePointAt(0);",
    " if (c==\"&\") return \"&amp;\"; if (c==\"\\\"\") return \"&quot;\";",
    " if (c==\"\\u003C\") return \"&lt;\"; if (c==\">\") return \"&gt;\";",
    " return (n<32||n>126)?\"&#\"+n+\";\":c;",
    "}",
};

} // namespace

std::vector<TTextChar> SplitChars(std::string_view Line) {
  std::vector<TTextChar> chars;
  chars.reserve(Line.size());
  while (!Line.empty()) {
    const TUtf8Char c = DecodeUtf8(Line);
    const std::size_t length = c.Length > 0 ? c.Length : 1;
    chars.push_back({Line.substr(0, length), c.Code});
    Line.remove_prefix(length);
  }
  return chars;
}

std::string CharName(const TTextChar& Char, bool NameAsChar) {
  if (NameAsChar) return std::string(Char.Bytes);
  return std::to_string(std::uint32_t(Char.Code));
}

std::vector<std::string> PageLines(const std::vector<std::string>& Lines,
                                   const std::function<TTextSize(std::string_view)>& Measure) {
  std::vector<std::string> page;
  page.reserve(Lines.size());
  std::unordered_map<std::string, bool> drawn; // by the bytes of a character
  for (const std::string& line : Lines) {
    const std::string composed = ComposeText(line);
    std::string kept;
    kept.reserve(composed.size());
    for (const TTextChar& c : SplitChars(composed)) {
      auto [it, added] = drawn.try_emplace(std::string(c.Bytes), false);
      if (added) it->second = Measure(c.Bytes).Width > 0;
      if (it->second) kept += c.Bytes;
    }
    page.push_back(std::move(kept));
  }
  return page;
}

int CountPageImages(const std::vector<std::string>& PageLines, bool NameAsChar) {
  std::set<std::string> names;
  for (const std::string& line : PageLines)
    for (const TTextChar& c : SplitChars(line))
      names.insert(CharName(c, NameAsChar));
  return int(names.size());
}

namespace {

enum class TPlaceholder { None, Number, WebName, Text };

// The placeholder at the start of Mask, and how many bytes it takes.
std::pair<TPlaceholder, std::size_t> PlaceholderAt(std::string_view Mask, int* Width) {
  if (Mask.size() < 2 || Mask[0] != '%') return {TPlaceholder::None, 0};
  switch (Mask[1]) {
  case 'n':
    *Width = 0;
    return {TPlaceholder::Number, 2};
  case 's':
    return {TPlaceholder::WebName, 2};
  case 't':
    return {TPlaceholder::Text, 2};
  case '0':
    if (Mask.size() >= 4 && Mask[2] >= '1' && Mask[2] <= '9' && Mask[3] == 'n') {
      *Width = Mask[2] - '0';
      return {TPlaceholder::Number, 4};
    }
    break;
  }
  return {TPlaceholder::None, 0};
}

std::string Padded(int Number, int Width) {
  std::string digits = std::to_string(Number);
  if (int(digits.size()) < Width) digits.insert(0, std::size_t(Width) - digits.size(), '0');
  return digits;
}

bool IsAsciiAlnum(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Letters Unicode gives no decomposition, spelt as their languages spell them in ASCII.
const char* AsciiSpelling(char32_t c) {
  switch (c) {
  case U'æ':
    return "ae";
  case U'œ':
    return "oe";
  case U'ø':
  case U'ɔ':
    return "o";
  case U'ł':
    return "l";
  case U'đ':
  case U'ð':
    return "d";
  case U'þ':
    return "th";
  case U'ı':
    return "i";
  case U'ħ':
    return "h";
  case U'ŋ':
    return "ng";
  }
  return nullptr;
}

} // namespace

bool MaskHasPlaceholder(std::string_view Mask) {
  int width = 0;
  for (std::size_t at = 0; at < Mask.size(); ++at)
    if (PlaceholderAt(Mask.substr(at), &width).first != TPlaceholder::None) return true;
  return false;
}

std::string ExpandMask(std::string_view Mask, int Number, std::string_view Text, bool* TextUsed) {
  std::string name;
  bool numberDone = false, webNameDone = false, textDone = false;
  for (std::size_t at = 0; at < Mask.size();) {
    int width = 0;
    const auto [kind, length] = PlaceholderAt(Mask.substr(at), &width);
    bool& done = kind == TPlaceholder::Number    ? numberDone
                 : kind == TPlaceholder::WebName ? webNameDone
                                                 : textDone;
    if (kind == TPlaceholder::None || done) {
      name += Mask[at++];
      continue;
    }
    done = true;
    if (kind == TPlaceholder::Number) name += Padded(Number, width);
    if (kind == TPlaceholder::WebName) name += WebNameOrNumber(Text, Number);
    if (kind == TPlaceholder::Text) name += Text;
    at += length;
  }
  if (TextUsed) *TextUsed = textDone;
  return name;
}

std::string WebName(std::string_view Text) {
  std::string name;
  bool gap = false; // a run of separators since the last letter or digit
  const auto keep = [&](char c) {
    if (gap && !name.empty()) name += '-';
    gap = false;
    name += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
  };
  while (!Text.empty()) {
    const TUtf8Char c = DecodeUtf8(Text);
    Text.remove_prefix(c.Length > 0 ? c.Length : 1);
    if (c.Length == 0) {
      gap = true;
      continue;
    }
    utf8proc_int32_t parts[16];
    int boundClass = 0;
    const utf8proc_ssize_t count = utf8proc_decompose_char(
        utf8proc_int32_t(c.Code), parts, 16,
        utf8proc_option_t(UTF8PROC_DECOMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD |
                          UTF8PROC_STRIPMARK | UTF8PROC_LUMP),
        &boundClass);
    if (count < 0 || count > 16) {
      gap = true;
      continue;
    }
    for (utf8proc_ssize_t i = 0; i < count; ++i) {
      const char32_t part = char32_t(parts[i]);
      if (IsAsciiAlnum(part)) {
        keep(char(part));
      } else if (const char* spelling = AsciiSpelling(part)) {
        for (const char* s = spelling; *s; ++s)
          keep(*s);
      } else if (part == '\'') {
        // "Don't" is dont, not don-t.
      } else {
        const utf8proc_category_t category = utf8proc_category(utf8proc_int32_t(part));
        const bool letterOrMark =
            category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_NO;
        if (!letterOrMark) gap = true;
      }
    }
  }
  return name;
}

std::string WebNameOrNumber(std::string_view Text, int Number) {
  std::string name = WebName(Text);
  return name.empty() ? "line-" + std::to_string(Number) : name;
}

bool NameStaysInFolder(std::string_view Name, std::string_view FromText) {
  if (FromText.find('/') != std::string_view::npos) return false;
  if (Name.empty() || Name.front() == '/' || Name.find('\0') != std::string_view::npos)
    return false;
  // A mask may name an existing subfolder, never climb out of the folder.
  std::size_t start = 0;
  while (start <= Name.size()) {
    std::size_t end = Name.find('/', start);
    if (end == std::string_view::npos) end = Name.size();
    const std::string_view part = Name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string WithTrailingSlash(std::string Folder) {
  if (Folder.empty() || Folder.back() != '/') Folder += '/';
  return Folder;
}

std::string WithDefaultExtension(std::string FileName, std::string_view Ext) {
  const std::size_t slash = FileName.rfind('/');
  const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  if (FileName.find('.', base + 1) == std::string::npos) {
    FileName += '.';
    FileName += Ext;
  }
  return FileName;
}

std::string FolderOf(const std::string& FileName) {
  const std::size_t slash = FileName.rfind('/');
  return slash == std::string::npos ? std::string() : FileName.substr(0, slash + 1);
}

std::string UrlEncode(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (char c : Text) {
    const auto u = std::uint8_t(c);
    const bool keep = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                      std::string_view("-_.!~*'()").find(c) != std::string_view::npos;
    if (keep) {
      out += c;
    } else {
      out += '%';
      AppendHex(out, u, 2);
    }
  }
  return out;
}

std::string HtmlAttribute(std::string_view Text) {
  std::string out;
  for (const TTextChar& c : SplitChars(Text)) {
    switch (c.Code) {
    case '&':
      out += "&amp;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    default:
      if (c.Code < 32 || c.Code > 126)
        out += "&#" + std::to_string(std::uint32_t(c.Code)) + ";";
      else
        out += char(c.Code);
    }
  }
  return out;
}

std::string ScriptString(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (const TTextChar& c : SplitChars(Text)) {
    const char32_t code = c.Code;
    if (code == '\\' || code == '"' || code == '^' || code == '&') {
      out += '\\';
      out += char(code);
    } else if (code == '<' || code < 32 || code > 126) {
      // No line of text may end the script or leave ASCII.
      if (code > 0xFFFF) {
        const char32_t v = code - 0x10000;
        out += "\\u";
        AppendHex(out, unsigned(0xD800 + (v >> 10)), 4);
        out += "\\u";
        AppendHex(out, unsigned(0xDC00 + (v & 0x3FF)), 4);
      } else {
        out += "\\u";
        AppendHex(out, unsigned(code), 4);
      }
    } else {
      out += char(code);
    }
  }
  return out;
}

std::string ImageTag(const TPageImage& Image, std::string_view Ch, const TExportChoices& Choices) {
  const std::string name = "img_char/" + UrlEncode(Image.Name);
  const std::string extension = std::string(".") + ImageExtension(Choices.Format);
  std::string tag = "<img src=\"" + name + extension + "\" ";
  // The larger image for screens that have the pixels; the size stays the 1x one's.
  if (Choices.Scale > 1)
    tag += "srcset=\"" + ScaledName(name + extension, Choices.Scale) + " " +
           std::to_string(Choices.Scale) + "x\" ";
  if (Choices.WriteSize) {
    tag += "width=" + std::to_string(Image.W);
    tag += " height=" + std::to_string(Image.H) + " ";
  }
  if (Choices.WriteAlt) tag += "alt=\"" + HtmlAttribute(Ch) + "\"";
  tag += ">";
  return tag;
}

std::string BuildPage(const TPageLayout& Layout, const std::vector<std::string>& Lines,
                      TAlign Align, const TExportChoices& Choices) {
  std::string page;
  const auto line = [&page](std::string_view Text) {
    page += Text;
    page += "\r\n";
  };
  line("<html><body>");
  if (const char* open = AlignOpen(Align)) line(open);

  if (!Choices.IncludeScript) {
    for (std::size_t i = 0; i < Lines.size(); ++i) {
      const std::vector<TTextChar> chars = SplitChars(Lines[i]);
      const std::vector<int>& cells = Layout.Cells[i];
      for (std::size_t k = 0; k < chars.size() && k < cells.size(); ++k)
        page += ImageTag(Layout.Images[std::size_t(cells[k])], chars[k].Bytes, Choices);
      line("<br>");
    }
  } else {
    line("<script language=\"JavaScript\">");
    line("ImgW = new Array();");
    line("ImgH = new Array();");
    if (Choices.WriteSize)
      for (const TPageImage& image : Layout.Images) {
        const std::string key = ScriptString(image.Ch);
        line("ImgW[\"" + key + "\"] = " + std::to_string(image.W) + ";");
        line("ImgH[\"" + key + "\"] = " + std::to_string(image.H) + ";");
      }
    if (!Choices.NameAsChar) {
      line("ImgN = new Array();");
      for (const TPageImage& image : Layout.Images)
        line("ImgN[\"" + ScriptString(image.Ch) + "\"] = " + image.Name + ";");
    }
    for (const char* helper : ScriptHelpers)
      line(helper);
    line("function mywrite(s){");
    line(" if (s!=\"\") {");
    // By code point, so characters outside the BMP stay whole.
    line("  for (const c of s){");
    // Built by appending: GCC 12 at -O3 warns falsely of one long sum here.
    std::string source = "img_char/\"+";
    source += Choices.NameAsChar ? "myurl(c)" : "ImgN[c]";
    source += "+\"";
    std::string tag = "   document.write(\"<img src=\\\"";
    tag += source;
    tag += '.';
    tag += ImageExtension(Choices.Format);
    tag += "\\\" \");";
    line(tag);
    if (Choices.Scale > 1) {
      std::string srcset = "   document.write(\"srcset=\\\"";
      srcset += source;
      srcset += '@';
      srcset += std::to_string(Choices.Scale);
      srcset += "x.";
      srcset += ImageExtension(Choices.Format);
      srcset += ' ';
      srcset += std::to_string(Choices.Scale);
      srcset += "x\\\" \");";
      line(srcset);
    }
    if (Choices.WriteSize) line("   document.write(\"width=\"+ImgW[c]+\" height=\"+ImgH[c]);");
    if (Choices.WriteAlt) line("   document.write(\" alt=\\\"\"+myattr(c)+\"\\\"\");");
    line("   document.write(\">\");}");
    line(" }");
    line(" document.writeln(\"<br>\");");
    line("}");
    for (const std::string& text : Lines)
      line("mywrite(\"" + ScriptString(text) + "\");");
    line("</script>");
  }

  if (const char* close = AlignClose(Align)) line(close);
  line("</body></html>");
  return page;
}

const char* ImageExtension(TImageFormat Format) {
  return Format == TImageFormat::Png ? "png" : "gif";
}

std::string ScaledName(const std::string& Name, int Scale) {
  if (Scale == 1) return Name;
  const std::size_t slash = Name.rfind('/');
  const std::size_t dot = Name.rfind('.');
  std::string mark = std::to_string(Scale);
  mark.insert(mark.begin(), '@');
  mark += 'x';
  // A leading dot names a hidden file, not an extension.
  if (dot == std::string::npos || dot == (slash == std::string::npos ? 0 : slash + 1) ||
      (slash != std::string::npos && dot < slash))
    return Name + mark;
  return Name.substr(0, dot) + mark + Name.substr(dot);
}
