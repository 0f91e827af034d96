#include "base/AtomicFile.h"
#include "export/Export.h"
#include "export/ExportText.h"

#include <cerrno>
#include <system_error>
#include <unordered_map>

#include <sys/stat.h>
#include <unistd.h>

TSaveResult TCTable::SaveHtml(IExportPlatform& Platform) {
  TSaveResult result;
  Gif(); // refuse before any dialog when nothing was prepared
  if (FSource.ShadowDistance > 0)
    throw EExportError("The HTML page cannot be made from a rendering with a drop shadow.");
  if (FSource.Shaped)
    throw EExportError("The HTML page cannot be made from a rendering with kerning and shaping: "
                       "joined and reordered text has no image per character.");
  const std::optional<std::string> chosen =
      Platform.SaveFileDialog({"HTML file (*.htm)|*.htm|HTML file (*.html)|*.html", "html", true});
  if (!chosen) {
    result.Cancelled = true;
    return result;
  }
  if (NamesFolder(*chosen))
    throw EExportError("The page [" + *chosen + "] names a folder, not a file.");
  const std::string pageName = WithDefaultExtension(*chosen, "html");
  const std::string imageFolder = FolderOf(pageName) + "img_char/";

  std::optional<TBusy> busy; // not over the question at the end
  busy.emplace(Platform);
  // Made before the folder: a page that cannot be created ends the save here.
  TAtomicFile page(pageName);
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
      PageLines(FSource.Lines, [this](std::string_view Text) { return MeasureText(Text); });
  const int total = CountPageImages(lines, Choices.NameAsChar) + 1; // and the page
  int done = 0;
  if (!GoOn(0, total)) {
    result.Stopped = true;
    return result;
  }
  TAtomicBatch batch; // the images, then the page
  const TCutsKept kept{batch};
  const int sw = FSource.SurfaceWidth;
  TPageLayout layout;
  std::unordered_map<std::string, int> known;
  int y = FSource.TextTop;
  for (const std::string& line : lines) {
    std::vector<int>& cells = layout.Cells.emplace_back();
    if (line.empty()) {
      y += MeasureText("W").Height;
      continue;
    }
    const int w = MeasureText(line).Width;
    int x = FSource.TextLeft + LineStart(FSource.Align, sw, w);
    int height = 0;
    for (const TTextChar& c : SplitChars(line)) {
      const std::string name = CharName(c, Choices.NameAsChar);
      const TTextSize size = MeasureText(c.Bytes);
      auto [at, added] = known.try_emplace(name, int(layout.Images.size()));
      if (added) {
        layout.Images.push_back({name, std::string(c.Bytes), size.Width, size.Height});
        SaveCut({x, y, x + size.Width, y + size.Height}, imageFolder, name + ".gif",
                Choices.NameAsChar ? c.Bytes : std::string_view(), Platform, result, batch);
        // Past the last image only the page is left: a stop then keeps it.
        if (!GoOn(++done, total) && done + 1 < total) {
          result.Stopped = true;
          PlaceCuts(batch, Platform, result);
          return result; // the page would point at missing images: left as it was
        }
      }
      cells.push_back(at->second);
      x += size.Width;
      height = size.Height;
    }
    y += height;
  }

  page.Write(BuildPage(layout, lines, FSource.Align, Choices));
  page.Commit(batch); // renamed after its images, and not if one fails
  PlaceCuts(batch, Platform, result);
  result.Written.push_back(pageName);
  GoOn(total, total);
  busy.reset();

  if (Platform.ConfirmBox("Open result file?")) Platform.ShellOpen(pageName);
  return result;
}
