#include "export/ExportText.h"
#include "text/Compose.h"

#include "base/Strings.h"
#include "base/Utf8.h"

#include <cstdio>
#include <set>
#include <unordered_map>

namespace {

std::size_t Find(std::string_view Text, std::string_view What) {
  return Text.find(What);
}

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

bool MaskHasPlaceholder(std::string_view Mask) {
  return Find(Mask, "%n") != std::string_view::npos || Find(Mask, "%t") != std::string_view::npos;
}

std::string ExpandMask(std::string_view Mask, int Number, std::string_view Text, bool* TextUsed) {
  std::string name(Mask);
  if (std::size_t at = name.find("%n"); at != std::string::npos)
    name.replace(at, 2, std::to_string(Number));
  const std::size_t at = name.find("%t");
  if (TextUsed) *TextUsed = at != std::string::npos;
  if (at != std::string::npos) name.replace(at, 2, Text);
  return name;
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
  std::string tag = "<img src=\"img_char/";
  tag += UrlEncode(Image.Name);
  tag += ".gif\" ";
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
    if (Choices.NameAsChar)
      line("   document.write(\"<img src=\\\"img_char/\"+myurl(c)+\".gif\\\" \");");
    else
      line("   document.write(\"<img src=\\\"img_char/\"+ImgN[c]+\".gif\\\" \");");
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
