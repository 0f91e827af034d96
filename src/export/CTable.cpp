#include "base/AtomicFile.h"
#include "export/Export.h"
#include "export/ExportText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <system_error>
#include <unordered_map>

#include <sys/stat.h>
#include <unistd.h>

namespace {
const std::string NoText;
}

void TCTable::Prepare(TExportSource Source) {
  FCells.clear();
  FGif.reset();
  FColorCount = 0;
  if (!Source.Preview || Source.Preview->Empty())
    throw EExportError("Nothing to convert: the rendering has no pixels (every line is empty).");
  FSource = std::move(Source);

  FGif = TGif::CreateFromBitmap(*FSource.Preview, FSource.KeepColors);
  FGif->OnProcessMessages = OnProcessMessages;
  TGifColorTable& table = FGif->GetColorTable(0);
  // Never list past the table, whatever the bitmap holds.
  const int count = std::min(FGif->CountColors(0), table.Count);
  FColorCount = count;
  FLabel1 = "Uses color (total " + std::to_string(count) + "):";

  FRendered.assign(table.Colors.begin(), table.Colors.begin() + count);
  FCells.assign(std::size_t((count + GridColumns - 1) / GridColumns * GridColumns), NoText);
  for (int i = 0; i < count; ++i) {
    FCells[std::size_t(i)] = std::to_string(table.Colors[std::size_t(i)]);
    if (table.Colors[std::size_t(i)] == FSource.BackColor) FBackIndex = i;
  }

  FGif->SetTransparentColor(table.Colors[std::size_t(FBackIndex)]);
  FGif->SetTransparent(Choices.Transparent);
  FGif->GetBitmap(0).Transparent = Choices.Transparent;

  // What the page writer writes: one file per distinct name of the page's text.
  FCharCount = CountPageImages(
      PageLines(FSource.Lines, [this](std::string_view Text) { return MeasureText(Text); }),
      Choices.NameAsChar);
  FRS1 =
      "Save as HTML with using GIF as chars (total " + std::to_string(FCharCount) + " GIF-files)";
  FRS2 = "Save strings as GIF files (total " + std::to_string(FSource.Lines.size()) + ")";
}

void TCTable::FormClose() {
  FGif.reset();
}

TGif& TCTable::Gif() {
  if (!FGif) throw EExportError("The colour table has no image: nothing was prepared.");
  return *FGif;
}

const std::string& TCTable::CellText(int Col, int Row) const {
  const int i = Col + GridColumns * Row;
  if (Col < 0 || Col >= GridColumns || Row < 0 || i >= int(FCells.size())) return NoText;
  return FCells[std::size_t(i)];
}

std::optional<TColor> TCTable::CellColor(int Col, int Row) const {
  const int i = Col + GridColumns * Row;
  if (CellText(Col, Row).empty() || !FGif) return std::nullopt;
  return FGif->GetColorTable(0).Colors[std::size_t(i)];
}

bool TCTable::ChangeColor(int Index, TColor K) {
  if (!FGif || Index < 0 || Index >= FColorCount) return false;
  SetEntry(Index, K);
  std::array<bool, 256> changed{};
  changed[std::size_t(Index)] = true;
  Repaint(changed);
  return true;
}

void TCTable::SetEntry(int Index, TColor K) {
  K &= 0xFFFFFF;
  FGif->GetColorTable(0).Colors[std::size_t(Index)] = K;
  FCells[std::size_t(Index)] = std::to_string(K);
}

void TCTable::Repaint(const std::array<bool, 256>& Changed) {
  FGif->GetBitmap(0); // SetPixelIndex repaints the bitmap, so it must exist
  const TGifImageRecord& image = FGif->GetImage(0);
  for (int y = 0; y < image.Height; ++y) {
    const std::uint8_t* row = image.PixelIndices.data() + std::size_t(y) * std::size_t(image.Width);
    for (int x = 0; x < image.Width; ++x)
      if (Changed[row[x]]) FGif->SetPixelIndex(0, x, y, row[x]);
  }
}

bool TCTable::RecolorListed(TColor From, TColor To) {
  return RecolorListed({{From, To}}) == 1;
}

std::size_t TCTable::RecolorListed(const std::vector<std::pair<TColor, TColor>>& Pairs) {
  if (!FGif) return 0;
  // Each pair sees the table as the pairs before it left it, as one edit
  // after the other would; the image is repainted once for all of them.
  const TGifColorTable& table = FGif->GetColorTable(0);
  std::array<bool, 256> changed{};
  std::size_t done = 0;
  for (const auto& [from, to] : Pairs) {
    int index = 0;
    while (index < FColorCount && table.Colors[std::size_t(index)] != (from & 0xFFFFFF))
      ++index;
    if (index == FColorCount) break;
    SetEntry(index, to);
    changed[std::size_t(index)] = true;
    ++done;
  }
  Repaint(changed);
  return done;
}

void TCTable::BChColorClick(int Col, int Row, IExportPlatform& Platform) {
  const std::optional<TColor> current = CellColor(Col, Row);
  if (!current) {
    Platform.Beep();
    return;
  }
  if (const std::optional<TColor> chosen = Platform.ChooseColor(*current))
    ChangeColor(Col + GridColumns * Row, *chosen);
}

void TCTable::CBTransparentClick(bool Ticked) {
  Choices.Transparent = Ticked;
  if (!FGif) return;
  FGif->SetTransparent(Ticked);
  FGif->GetBitmap(0).Transparent = Ticked;
}

TSaveResult TCTable::BSaveClick(IExportPlatform& Platform) {
  switch (Choices.Save) {
  case TSaveKind::Solid:
    return SaveSolid(Platform);
  case TSaveKind::Html:
    return SaveHtml(Platform);
  case TSaveKind::Lines:
    break;
  }
  return SaveLines(Platform);
}

TTextSize TCTable::MeasureText(std::string_view Text) const {
  if (!FSource.Measure) throw EExportError("The rendering gives no way to measure text.");
  return FSource.Measure(Text);
}

std::unique_ptr<TGif> TCTable::CutImage(const TRect& Rect) {
  const TBitmap& image = Gif().GetBitmap(0);
  TBitmap cut(Rect.Width(), Rect.Height());
  cut.Fill(0xFFFFFF);
  // The part of Rect inside the image, copied row by row.
  const int left = std::max(Rect.Left, 0), right = std::min(Rect.Right, image.Width());
  const int top = std::max(Rect.Top, 0), bottom = std::min(Rect.Bottom, image.Height());
  for (int y = top; y < bottom && left < right; ++y)
    std::memcpy(cut.ScanLine(y - Rect.Top) + std::size_t(left - Rect.Left) * 3,
                image.ScanLine(y) + std::size_t(left) * 3, std::size_t(right - left) * 3);
  return Indexed(cut);
}

std::unique_ptr<TGif> TCTable::LineImage(const TRect& Rect, std::size_t Index) {
  Gif();
  if (!FSource.DrawLine) throw EExportError("The rendering gives no way to draw a line.");
  std::unique_ptr<TGif> g;
  {
    // Gone before the file is written: the largest line weighs only once.
    TBitmap line(Rect.Width(), Rect.Height());
    FSource.DrawLine(Index, line, Rect.Left, Rect.Top);
    ApplyEdits(line);
    g = Indexed(line);
  }
  return g;
}

std::unique_ptr<TGif> TCTable::Indexed(const TBitmap& Image) const {
  std::unique_ptr<TGif> g = TGif::CreateFromBitmap(Image);
  g->SetTransparentColor(FGif->GetTransparentColor());
  if (!Choices.Transparent) g->SetTransparent(false);
  return g;
}

void TCTable::ApplyEdits(TBitmap& Image) const {
  const TGifColorTable& table = FGif->GetColorTable(0);
  // A colour the table lists, also as the reduced colour a table of too many
  // colours kept; else (ink that overlapped another line's) the nearest.
  const auto entry = [this](TColor c) {
    for (std::uint32_t mask : {0xFFFFFFFFu, 0xE0E0E0u, 0xC0E0E0u})
      for (std::size_t i = 0; i < FRendered.size(); ++i)
        if (FRendered[i] == (c & mask)) return i;
    std::size_t best = 0;
    long bestDistance = LONG_MAX;
    for (std::size_t i = 0; i < FRendered.size(); ++i) {
      const long r = long(GetRValue(c)) - GetRValue(FRendered[i]);
      const long g = long(GetGValue(c)) - GetGValue(FRendered[i]);
      const long b = long(GetBValue(c)) - GetBValue(FRendered[i]);
      if (r * r + g * g + b * b < bestDistance) {
        bestDistance = r * r + g * g + b * b;
        best = i;
      }
    }
    return best;
  };
  std::unordered_map<TColor, TColor> edited;
  TColor last = clInvalid, lastEdited = clInvalid;
  for (int y = 0; y < Image.Height(); ++y) {
    std::uint8_t* p = Image.ScanLine(y);
    for (int x = 0; x < Image.Width(); ++x, p += 3) {
      const TColor c = RGB(p[2], p[1], p[0]);
      if (c != last) {
        auto [at, added] = edited.try_emplace(c, 0);
        if (added) at->second = table.Colors[entry(c)];
        last = c;
        lastEdited = at->second;
      }
      p[0] = GetBValue(lastEdited);
      p[1] = GetGValue(lastEdited);
      p[2] = GetRValue(lastEdited);
    }
  }
}

bool TCTable::IsFileNameCorrect(const std::string& FileName) {
  if (FileName.empty() || FileName.find('\0') != std::string::npos) return false;
  // Whoever made an existing file, its name is a good one.
  struct stat st {};
  if (::stat(FileName.c_str(), &st) == 0) return !S_ISDIR(st.st_mode);
  if (errno != ENOENT) return false;
  // Nothing is made here: a file made only to test its name would outlive an
  // interrupted save as an empty file under the final name. The name is made
  // with its whole content, by the writer's rename.
  const std::size_t slash = FileName.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : FileName.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
  if (base.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      ::access(folder.c_str(), W_OK | X_OK) != 0)
    return false;
  const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return longest <= 0 || base.size() <= std::size_t(longest);
}

namespace {

// A name the file system takes in no folder shows only when it is made.
bool NameTurnedDown(const std::system_error& e) {
  const int error = e.code().value();
  return e.code().category() == std::generic_category() &&
         (error == ENAMETOOLONG || error == EINVAL || error == EILSEQ);
}

void RefuseName(const std::string& Full, IExportPlatform& Platform, TSaveResult& Result) {
  Platform.ErrorBox("File name [" + Full + "] is not correct!");
  Result.Refused.push_back(Full);
}

} // namespace

void TCTable::SaveCut(const TRect& Rect, const std::string& Folder, const std::string& Name,
                      std::string_view FromText, IExportPlatform& Platform, TSaveResult& Result,
                      TAtomicBatch& Batch, std::optional<std::size_t> Line) {
  const std::string full = Folder + Name;
  if (!NameStaysInFolder(Name, FromText) || !IsFileNameCorrect(full)) {
    RefuseName(full, Platform, Result);
    return;
  }
  if (Rect.Width() <= 0 || Rect.Height() <= 0) {
    // A character or line that draws nothing (zero advance) has no image.
    Platform.ErrorBox("Image [" + full + "] has no pixels and is not saved!");
    Result.Refused.push_back(full);
    return;
  }
  try {
    Batch.Add(full, (Line ? LineImage(Rect, *Line) : CutImage(Rect))->SaveToBytes());
  } catch (const std::system_error& e) {
    if (!NameTurnedDown(e)) throw;
    RefuseName(full, Platform, Result);
    return;
  }
  Result.Written.push_back(full);
}

void TCTable::PlaceCuts(TAtomicBatch& Batch, IExportPlatform& Platform, TSaveResult& Result) {
  Batch.Commit([&](const std::string& FileName, const std::system_error& Error) {
    const auto written = std::find(Result.Written.rbegin(), Result.Written.rend(), FileName);
    // Not a cut (the page): its error is the save's.
    if (!NameTurnedDown(Error) || written == Result.Written.rend()) return false;
    Result.Written.erase(std::next(written).base());
    RefuseName(FileName, Platform, Result);
    return true;
  });
}

TCTable::TCutsKept::~TCutsKept() {
  try {
    Batch.Commit([](const std::string&, const std::system_error&) { return true; });
  } catch (...) {
  }
}
