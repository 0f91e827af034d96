// The installed faces and the styles of one face, as the font lists show them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Every installed face once, sorted without regard to case.
std::vector<std::string> ListFaces();
// The same order for any list of faces; exact duplicates are dropped.
std::vector<std::string> SortFaces(std::vector<std::string> faces);

struct TStyleFlags {
  std::uint8_t Bold = 0;
  std::uint8_t Italic = 0;
  friend bool operator==(const TStyleFlags&, const TStyleFlags&) = default;
};

// One member of a family as the enumeration reports it. The callback returns
// false to stop the enumeration.
struct TFamilyMember {
  std::string StyleName; // empty for fonts without style names
  int Weight = 400;
  int Italic = 0;
};
using TFamilyEnumerator =
    std::function<void(const std::string& face, const std::function<bool(const TFamilyMember&)>&)>;

// The style list of one face (at most four lines) with the bold and italic
// flags of each line, and the selected line.
class TStyleList {
public:
  static constexpr int MaxStyles = 4;

  std::vector<std::string> FontStyle;
  std::array<TStyleFlags, MaxStyles> FStyleTable{};
  int ItemIndex = -1;

  // Rebuilds the list for a face, in the order regular, italic, bold, bold
  // italic, keeping the selected line where the new list allows. An empty face
  // leaves the list empty.
  void SelectFace(const std::string& face);
  void SelectFace(const std::string& face, const TFamilyEnumerator& enumerate);

  // The flags of the selected line; regular when nothing is selected.
  TStyleFlags Selected() const;

  // One member of the family; false once the list is full.
  bool AddMember(const TFamilyMember& member);

private:
  void Sort();
};

// The enumeration of the installed fonts of a face.
void EnumerateFamily(const std::string& face,
                     const std::function<bool(const TFamilyMember&)>& callback);
