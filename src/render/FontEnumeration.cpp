#include "render/FontCatalogue.h"
#include "text/Font.h"

std::vector<std::string> ListFaces() {
  std::vector<std::string> faces;
  EnumFonts("", [&faces](const LOGFONT& font, int) {
    faces.push_back(font.lfFaceName);
    return 1;
  });
  return SortFaces(std::move(faces));
}

void EnumerateFamily(const std::string& face,
                     const std::function<bool(const TFamilyMember&)>& callback) {
  EnumFontFamilies(face, [&callback](const ENUMLOGFONT& font, int) {
    return callback({font.elfStyle, font.elfLogFont.lfWeight, font.elfLogFont.lfItalic}) ? 1 : 0;
  });
}
