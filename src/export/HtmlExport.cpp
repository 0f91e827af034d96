#include "export/ExportText.h"
#include "export/Saving.h"

#include <cerrno>
#include <system_error>
#include <unordered_map>

#include <sys/stat.h>
#include <unistd.h>

void CheckPageAllowed(const TExportSource& Source) {
  if (Source.ShadowDistance > 0)
    throw EExportError("The HTML page cannot be made from a rendering with a drop shadow.");
  if (Source.Shaped)
    throw EExportError("The HTML page cannot be made from a rendering with kerning and shaping: "
                       "joined and reordered text has no image per character.");
}

namespace {

// The page's distinct images in order of first use, with where each lies in
// Source, and per line the image of each character.
struct TCharCuts {
  TPageLayout Layout;
  std::vector<TImageCut> Cuts;
  std::vector<std::string_view> FromText; // the character, when it names its file
};

TCharCuts CharCuts(const TExportSource& Source, const std::vector<std::string>& Lines,
                   bool NameAsChar) {
  TCharCuts out;
  const auto measure = [&](std::string_view Text) { return MeasureIn(Source, Text); };
  const int sw = Source.SurfaceWidth;
  std::unordered_map<std::string, int> known;
  int y = Source.TextTop;
  for (const std::string& line : Lines) {
    std::vector<int>& cells = out.Layout.Cells.emplace_back();
    if (line.empty()) {
      y += measure("W").Height;
      continue;
    }
    const int w = measure(line).Width;
    int x = Source.TextLeft + LineStart(Source.Align, sw, w);
    int height = 0;
    for (const TTextChar& c : SplitChars(line)) {
      const std::string name = CharName(c, NameAsChar);
      const TTextSize size = measure(c.Bytes);
      auto [at, added] = known.try_emplace(name, int(out.Layout.Images.size()));
      if (added) {
        out.Layout.Images.push_back({name, std::string(c.Bytes), size.Width, size.Height});
        out.Cuts.push_back({{x, y, x + size.Width, y + size.Height}, {}});
        out.FromText.push_back(NameAsChar ? c.Bytes : std::string_view());
      }
      cells.push_back(at->second);
      x += size.Width;
      height = size.Height;
    }
    y += height;
  }
  return out;
}

} // namespace

TSaveResult SavePage(const TColorTable& Table, const TExportChoices& Choices,
                     const std::string& PageName, const TSaveHooks& Hooks) {
  TSaveResult result;
  const TExportSource& source = Table.Source();
  CheckPageAllowed(source);
  const std::string imageFolder = FolderOf(PageName) + "img_char/";
  const std::string extension = std::string(".") + ImageExtension(Choices.Format);
  const int scale = Choices.Scale;
  // Drawn first: a larger rendering past the limits is refused before any file.
  const std::shared_ptr<const TExportSource> larger = scale > 1 ? Table.SourceAt(scale) : nullptr;

  // Made before the folder: a page that cannot be created ends the save here.
  TAtomicFile page(PageName);
  // The images go nowhere else: a page whose images cannot be saved is not
  // written, and an old page stays.
  if (::mkdir(imageFolder.c_str(), 0777) != 0 && errno != EEXIST)
    throw std::system_error(errno, std::generic_category(),
                            "Cannot make the image folder " + imageFolder);
  struct stat st {};
  if (::stat(imageFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw EExportError("The image folder [" + imageFolder +
                       "] cannot be made: " + "something that is no folder is in its place.");
  if (::access(imageFolder.c_str(), W_OK | X_OK) != 0)
    throw std::system_error(errno, std::generic_category(),
                            "Cannot write into the image folder " + imageFolder);

  const std::vector<std::string> lines =
      PageLines(source.Lines, [&](std::string_view Text) { return Table.MeasureText(Text); });
  const TCharCuts chars = CharCuts(source, lines, Choices.NameAsChar);
  const TCharCuts largerChars = larger ? CharCuts(*larger, lines, Choices.NameAsChar) : TCharCuts{};
  const int images = int(chars.Cuts.size()) * (larger ? 2 : 1);
  const int total = images + 1; // and the page
  int done = 0;
  TImageWriter writer(Table, Choices, Hooks, result); // the images, then the page
  if (!writer.GoOn(0, total)) {
    result.Stopped = true;
    return result;
  }
  for (std::size_t i = 0; i < chars.Cuts.size(); ++i) {
    const std::string& name = chars.Layout.Images[i].Name;
    writer.Save(source, chars.Cuts[i], imageFolder, name + extension, chars.FromText[i]);
    bool goOn = writer.GoOn(++done, total);
    if (goOn && larger && i < largerChars.Cuts.size()) {
      writer.Save(*larger, ScaledCut(Table, *larger, largerChars.Cuts[i], chars.Cuts[i], scale, 0),
                  imageFolder, ScaledName(name + extension, scale), chars.FromText[i]);
      goOn = writer.GoOn(++done, total);
    }
    // Past the last image only the page is left: a stop then keeps it.
    if (!goOn && done + 1 < total) {
      result.Stopped = true;
      writer.Place();
      return result; // the page would point at missing images: left as it was
    }
  }

  page.Write(BuildPage(chars.Layout, lines, source.Align, Choices));
  page.Commit(writer.Batch()); // renamed after its images, and not if one fails
  writer.Place();
  result.Written.push_back(PageName);
  writer.GoOn(total, total);
  return result;
}
