#include "render/FontCatalogue.h"

#include "base/Strings.h"

#include <algorithm>
#include <cctype>

namespace {

// Names without style names get the four styles every face can be drawn in.
struct TStandardStyle {
  const char* Name;
  TStyleFlags Flags;
};
constexpr TStandardStyle StandardStyles[TStyleList::MaxStyles] = {
    {"Normal", {0, 0}}, {"Italic", {0, 1}}, {"Bold", {1, 0}}, {"Bold Italic", {1, 1}}};

bool LessText(const std::string& a, const std::string& b) {
  const int c = CompareText(a, b);
  return c != 0 ? c < 0 : a < b;
}

} // namespace

std::vector<std::string> SortFaces(std::vector<std::string> faces) {
  std::sort(faces.begin(), faces.end(), LessText);
  faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
  return faces;
}

bool TStyleList::AddMember(const TFamilyMember& member) {
  const std::size_t n = FontStyle.size();
  if (n >= MaxStyles) return false;
  if (n > 0 && member.StyleName == FontStyle.back()) return true;
  if (member.StyleName.empty()) {
    // A nameless member after named ones would push the list past four
    // lines; the named styles are what the face offers, so keep them.
    if (n > 0) return true;
    for (int i = 0; i < MaxStyles; ++i) {
      FontStyle.emplace_back(StandardStyles[i].Name);
      FStyleTable[std::size_t(i)] = StandardStyles[i].Flags;
    }
  } else {
    FStyleTable[n] = {std::uint8_t(member.Weight == 700), std::uint8_t(member.Italic != 0)};
    FontStyle.push_back(member.StyleName);
  }
  return FontStyle.size() < MaxStyles;
}

void TStyleList::Sort() {
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < FontStyle.size(); ++i) {
    const TStyleFlags f = FStyleTable[i];
    keys.push_back(char('0' + 2 * f.Bold + f.Italic) + std::string("  ") + FontStyle[i]);
  }
  std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
    return CompareText(a, b) < 0;
  });
  std::vector<std::string> names;
  std::array<TStyleFlags, MaxStyles> table{};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    names.push_back(keys[i].substr(3));
    const auto old = std::find_if(FontStyle.begin(), FontStyle.end(), [&](const std::string& s) {
      return CompareText(s, names.back()) == 0;
    });
    table[i] = FStyleTable[std::size_t(old - FontStyle.begin())];
  }
  FontStyle = std::move(names);
  FStyleTable = table;
}

void TStyleList::SelectFace(const std::string& face) {
  SelectFace(face, EnumerateFamily);
}

void TStyleList::SelectFace(const std::string& face, const TFamilyEnumerator& enumerate) {
  const int remembered = ItemIndex;
  FontStyle.clear();
  FStyleTable = {};
  ItemIndex = -1;
  if (face.empty()) return;
  enumerate(face, [this](const TFamilyMember& m) { return AddMember(m); });
  if (FontStyle.size() > 1) Sort();
  if (FontStyle.empty()) return;
  ItemIndex = std::clamp(remembered, 0, int(FontStyle.size()) - 1);
}

TStyleFlags TStyleList::Selected() const {
  if (ItemIndex < 0 || ItemIndex >= int(FontStyle.size())) return {};
  return FStyleTable[std::size_t(ItemIndex)];
}
