// The three ways of saving a rendering, and the colour table dialog without
// its window.
//
// TColorTable holds what every save is made from: the rendering, the indexed
// image made from it (FGif) with the user's colour edits, and whether the
// background is transparent. SaveSolid, SaveLines and SavePage write from it
// in a format (GIF or PNG) and at a scale, and ask nobody anything: the
// command line calls them directly.
//
// TCTable is the dialog's model: the grid of the table's colours with the
// background marked "BG", the captions, the user's choices (TExportChoices,
// kept from one showing to the next), and the "Save" button, which asks for a
// name through IExportPlatform (file and folder dialogs, message boxes, the
// shell) and calls a save. A window is a thin view over it.
//
// Files: ColorTable.cpp (preparation, colours, the images of each format
// and scale), CTable.cpp (the dialog), LinesExport.cpp (the whole rendering
// and one image per line), HtmlExport.cpp (the page), ExportText.cpp (names,
// masks, escaping, the page's text). Files are written whole or not at all
// (base/AtomicFile.h).
#pragma once

#include "gif/Gif.h"
#include "raster/Bitmap.h"
#include "raster/RgbaImage.h"
#include "render/RenderSettings.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A problem the user must be told about that is not a codec error, such as a
// rendering with no pixels. The message is meant for display as it is.
class TAtomicBatch;

class EExportError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TTextSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TTextSize&, const TTextSize&) = default;
};

// What the dialog reads from the main window after a rendering.
struct TExportSource {
  const TBitmap* Preview = nullptr; // FPreview
  int Scale = 1;                    // how many times the 1x rendering it is
  int SurfaceWidth = 0;             // Width of FSurface, shadow distance included
  int ShadowDistance = 0;           // d, 0 without a drop shadow
  // Where the text's cells start when the rendering grew to keep overhangs:
  // lines and characters are cut out from there, at their cells.
  int TextLeft = 0, TextTop = 0;
  bool Shaped = false;         // joined and reordered: no image per character
  TAlign Align = TAlign::Left; // FAlign
  TWidthMode WidthMode = TWidthMode::ToString;
  TColor BackColor = 0xFFFFFF;
  TColor TextColor = 0;
  TColor ShadowColor = 0; // unused without a shadow
  // The user's colours (background, text, shadow): they and the edges
  // between them stay exact when the rendering holds more than 256 colours.
  std::vector<TColor> KeepColors;
  std::vector<std::string> Lines; // UTF-8, empty lines included
  // DrawTextEx with DT_CALCRECT | DT_NOPREFIX from (0, 0, 1, 1) on FSurface's DC:
  // the right and bottom edges afterwards.
  std::function<TTextSize(std::string_view Text)> Measure;
  // Line Index of Lines drawn alone over the background into Image, whose
  // (0, 0) lies at (Left, Top) of Preview, so that a line's image holds no
  // other line's ink. None: lines are cut from the preview.
  std::function<void(std::size_t Index, TBitmap& Image, int Left, int Top)> DrawLine;
  // Given when the rendering kept overhangs: the box in Preview of line
  // Index's ink, shadow included (empty when none), by which its image grows.
  std::function<TRect(std::size_t Index)> LineInk;
  // The same rendering drawn again, Scale times larger (1 to MaxExportScale)
  // and in Colors, owning what it points at. None: only this one is at hand,
  // so there are no scaled images and no PNG with real transparency.
  std::function<std::shared_ptr<const TExportSource>(int Scale, const TRenderColors& Colors)>
      Redraw;
};

// The file format of the images a save writes.
enum class TImageFormat {
  Gif, // indexed, at most 256 colours, one of them transparent
  Png, // every colour, and real transparency: the text's coverage as alpha
};

// The largest scale a save writes images at, for screens of 3 device pixels
// to a CSS pixel.
constexpr int MaxExportScale = 3;

enum class TSaveKind {
  Html,  // RS1 "Save as HTML with using GIF as chars"
  Lines, // RS2 "Save strings as GIF files"
  Solid, // RS3 "Save as solid GIF-file"
};

// The dialog's choices, options and mask, as they open the first time.
struct TExportChoices {
  TSaveKind Save = TSaveKind::Html;
  bool IncludeScript = false;  // RBJS2 "Include JavaScript"; else RBJS1 "Plain HTML"
  bool NameAsChar = false;     // RBNC "Gif-file name as char"; else RBNAS, by code
  bool WriteSize = false;      // CBSS "Write image size to HTML"
  bool WriteAlt = false;       // CBAlt "Write image ALT (alternate text or hint) as char"
  bool Transparent = false;    // CBTransparent "Transparent background color"
  std::string Mask = "%t.gif"; // Emask
  TImageFormat Format = TImageFormat::Gif;
  // 1; or 2 or 3: beside each image, one of that many times the pixels,
  // named with "@2x" or "@3x" before the extension, for HiDPI screens.
  int Scale = 1;
};

// The save-file dialog SD, as one save asks for it.
struct TSaveFileRequest {
  std::string Filter;     // "Description|*.ext|..." pairs
  std::string DefaultExt; // without the dot
  bool OverwritePrompt = true;
};

class IExportPlatform {
public:
  virtual ~IExportPlatform() = default;
  // SD: the chosen full file name, or nothing when cancelled.
  virtual std::optional<std::string> SaveFileDialog(const TSaveFileRequest& Request) = 0;
  // The folder picker: only file-system folders; nothing when cancelled.
  virtual std::optional<std::string> BrowseForFolder(const std::string& Title) = 0;
  // Caption "Error", stop icon, OK.
  virtual void ErrorBox(const std::string& Text) = 0;
  // Caption "Warning", warning icon, the single button "Cancel".
  virtual void WarningBox(const std::string& Text) = 0;
  // Caption "Confirm", question icon, "&Yes" and "Cancel": true for "Yes".
  virtual bool ConfirmBox(const std::string& Text) = 0;
  // The shell's "open" on a file, shown maximised.
  virtual void ShellOpen(const std::string& FileName) = 0;
  // ColorDialog, fully expanded: the accepted colour, or nothing when cancelled.
  virtual std::optional<TColor> ChooseColor(TColor Initial) = 0;
  virtual void Beep() = 0;
  // The hourglass while true.
  virtual void SetBusy(bool /*Busy*/) {}
};

// The hourglass for as long as it lives, also when a save throws.
class TBusy {
public:
  explicit TBusy(IExportPlatform& Platform) : FPlatform(Platform) { FPlatform.SetBusy(true); }
  ~TBusy() { FPlatform.SetBusy(false); }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;

private:
  IExportPlatform& FPlatform;
};

// What one save did, for callers that report it (the command line, tests).
struct TSaveResult {
  bool Cancelled = false;           // a dialog was cancelled or the mask refused
  bool Stopped = false;             // the progress answer ended it between two files
  std::vector<std::string> Written; // full names, in order of writing
  std::vector<std::string> Refused; // full names the error box named
};

// Told once the writing starts (0 of Total) and after each file, written or
// refused (Done of Total). Answering false stops the save before the next
// file; the files written stay, and an HTML page whose images are not all
// made is not written.
using TSaveProgress = std::function<bool(int Done, int Total)>;

// What a save tells its caller as it goes.
struct TSaveHooks {
  // Asked by every save; none lets a save run to its end.
  TSaveProgress Progress;
  // A file that is not written, by its full name, with what to tell the user
  // ("File name [...] is not correct!"); the save goes on with the next.
  std::function<void(const std::string& Name, const std::string& Message)> Refused;
};

// The file name extension of a format, without the dot.
const char* ImageExtension(TImageFormat Format);
// Name with "@2x" (Scale 2) before its extension: "Hello.png" gives
// "Hello@2x.png", "img_char/72.gif" gives "img_char/72@2x.gif". Scale 1
// gives Name.
std::string ScaledName(const std::string& Name, int Scale);

// A part of the rendering that becomes one image: a rectangle of its pixels
// (right and bottom exclusive; background outside), or line Line drawn alone
// over it.
struct TImageCut {
  TRect Rect;
  std::optional<std::size_t> Line;
};

// The rendering with the user's colour edits.
class TColorTable {
public:
  // Makes FGif from Source.Preview and lists its colours. A rendering with
  // no pixels throws EExportError. OnProcessMessages runs after each pixel
  // row while the colours are counted, so a window can keep painting.
  void Prepare(TExportSource Source, std::function<void()> OnProcessMessages = {});
  void Clear() { FGif.reset(); }
  bool Prepared() const { return FGif != nullptr; }

  // Entries 0 to ColorCount() - 1 of the image's colour table.
  int ColorCount() const { return FColorCount; }
  int BackIndex() const { return FBackIndex; }
  TColor Color(int Index) const;
  // Entry Index becomes K, in the table and in every pixel of the image that
  // uses it. False (and nothing changes) for an index not listed.
  bool ChangeColor(int Index, TColor K);
  // Pairs (from, to) in order: the first listed entry of colour From becomes
  // To, each seeing the table as the pairs before it left it, with one pass
  // over the image for all. Stops at the first pair whose colour is not
  // listed; returns how many were applied.
  std::size_t RecolorListed(const std::vector<std::pair<TColor, TColor>>& Pairs);
  // The background entry's colour is made transparent, in the image and in
  // what the saves write.
  void SetTransparent(bool Transparent);
  bool Transparent() const { return FTransparent; }

  // The edited image: what the preview paints.
  TGif& Gif();
  // Its size: the rendering's at 1x.
  TTextSize ImageSize() const;
  const TExportSource& Source() const { return FSource; }
  TTextSize MeasureText(std::string_view Text) const;

  // Cut as a file of Format at the scale of Source (Source() or a Redraw
  // of it), in the edited colours and with the table's transparency.
  std::vector<std::uint8_t> ImageFile(const TExportSource& Source, const TImageCut& Cut,
                                      TImageFormat Format) const;
  // The pixels of Cut as a PNG of it holds them.
  TRgbaImage PngPixels(const TExportSource& Source, const TImageCut& Cut) const;
  // The whole rendering as a GIF at scale 1: the edited image itself.
  std::vector<std::uint8_t> WholeGif() const;
  // The rendering drawn again at Scale, in the colours of Source as drawn:
  // Source() itself at scale 1. Throws EExportError when it cannot be.
  std::shared_ptr<const TExportSource> SourceAt(int Scale) const;
  // The box of the pixels of Cut unlike Source's background, in Source's
  // coordinates; empty when there are none.
  TRect InkBox(const TExportSource& Source, const TImageCut& Cut) const;
  // Lets go of the renderings drawn again for the images of a save.
  void ForgetDrawn() const { FDrawn.clear(); }

  // The edited image under Rect (right and bottom exclusive; white outside),
  // with the table's transparency.
  std::unique_ptr<TGif> CutImage(const TRect& Rect) const;
  // Line Index drawn alone over Rect (Source().DrawLine), in the edited
  // colours and with the table's transparency.
  std::unique_ptr<TGif> LineImage(const TRect& Rect, std::size_t Index) const;

private:
  std::unique_ptr<TGif> Indexed(const TBitmap& Image) const;
  // The entry a pixel of the rendering's colours was listed under.
  std::size_t EntryOf(TColor C) const;
  // Pixels in the rendering's colours take the colour their entry has now.
  void ApplyEdits(TBitmap& Image) const;
  // The user's colours as edited now: what a PNG is drawn in.
  TRenderColors EditedColors() const;
  // An edit on a colour of an image drawn again (larger or in the edited
  // colours), unreduced: a colour the table lists takes its entry's new colour;
  // in a reduced table, a colour near an edited entry moves as that entry
  // moved. UserColors false leaves the user's colours, which a PNG is drawn in.
  TColor Edited(TColor C, bool UserColors) const;
  std::vector<std::uint8_t> PngFile(const TExportSource& Source, const TImageCut& Cut) const;
  // Source drawn again in Colors, kept for the next image of the same save.
  std::shared_ptr<const TExportSource> Drawn(const TExportSource& Source,
                                             const TRenderColors& Colors) const;
  void SetEntry(int Index, TColor K);
  void Repaint(const std::array<bool, 256>& Changed);

  std::unique_ptr<TGif> FGif;
  TExportSource FSource;
  int FBackIndex = 0;
  int FColorCount = 0;
  bool FReduced = false; // the rendering held more colours than listed
  bool FTransparent = false;
  struct TDrawn {
    const TExportSource* From;
    TRenderColors Colors;
    std::shared_ptr<const TExportSource> Source;
  };
  mutable std::vector<TDrawn> FDrawn; // a save's redrawings, by what they were made from
  std::vector<TColor> FRendered;      // the entries' colours as Prepare listed them
};

// The three saves. Each writes Choices.Format, and with Choices.Scale above
// 1 also an image of that many times the pixels beside each one ("@2x"),
// with the table's transparency; files are written whole or not at all.
// A codec or file system error ends the save (an exception); the files
// already written stay.
//
// The whole rendering as FileName.
TSaveResult SaveSolid(const TColorTable& Table, const TExportChoices& Choices,
                      const std::string& FileName, const TSaveHooks& Hooks = {});
// One image per line of text, named by Choices.Mask, into Folder. A mask
// whose extension names the other format ends in the chosen format's. A
// mask with no placeholder throws EExportError.
TSaveResult SaveLines(const TColorTable& Table, const TExportChoices& Choices,
                      const std::string& Folder, const TSaveHooks& Hooks = {});
// The page PageName and one image per distinct character in "img_char"
// beside it. Refused (EExportError) for a rendering with a shadow or with
// shaping, whose characters are not where single letters would put them.
// The page is written last, and not when a stop or an error leaves its
// images incomplete.
TSaveResult SavePage(const TColorTable& Table, const TExportChoices& Choices,
                     const std::string& PageName, const TSaveHooks& Hooks = {});

// Throws the EExportError SavePage refuses Source with, if any.
void CheckPageAllowed(const TExportSource& Source);

// True when the file exists or its folder would take it. Makes nothing.
bool IsFileNameCorrect(const std::string& FileName);

class TCTable {
public:
  static constexpr int GridColumns = 8;
  static constexpr const char* Caption = "Color table & type Save ";

  TExportChoices Choices;
  // Asked by every save; none lets a save run to its end.
  TSaveProgress Progress;
  // Run after each pixel row while Prepare counts the colours, so a window can
  // keep painting.
  std::function<void()> OnProcessMessages;

  // Makes the table from Source, lists its colours and counts what each save
  // will produce. A rendering with no pixels throws EExportError.
  void Prepare(TExportSource Source);
  // The dialog closes, by whatever button: FGif goes.
  void FormClose() { FTable.Clear(); }
  bool Prepared() const { return FTable.Prepared(); }

  // The grid: entry Col + 8 * Row of colour table 0.
  int ColorCount() const { return FTable.ColorCount(); }
  int BackIndex() const { return FTable.BackIndex(); }
  int GridRowCount() const { return (ColorCount() + GridColumns - 1) / GridColumns; }
  std::string CellText(int Col, int Row) const; // "" for a crossed cell
  std::optional<TColor> CellColor(int Col, int Row) const;
  bool IsBackCell(int Col, int Row) const { return Col + GridColumns * Row == BackIndex(); }
  // "BG" is drawn in the cell colour with all 24 bits inverted.
  static TColor BackMarkColor(TColor CellColor) { return CellColor ^ 0xFFFFFF; }

  const std::string& Label1Caption() const { return FLabel1; }
  // They name the chosen format.
  std::string RS1Caption() const;
  std::string RS2Caption() const;
  int DistinctCharCount() const { return FCharCount; }

  // Which option groups RS2Click leaves enabled for the current choice.
  bool HtmlOptionsEnabled() const { return Choices.Save == TSaveKind::Html; }
  bool MaskEnabled() const { return Choices.Save == TSaveKind::Lines; }

  bool ChangeColor(int Index, TColor K) { return FTable.ChangeColor(Index, K); }
  // The first listed entry of colour From becomes To; false if none is listed.
  bool RecolorListed(TColor From, TColor To) { return RecolorListed({{From, To}}) == 1; }
  std::size_t RecolorListed(const std::vector<std::pair<TColor, TColor>>& Pairs) {
    return FTable.RecolorListed(Pairs);
  }
  // Double-click on a cell: the colour dialog, or a beep on a crossed cell.
  void BChColorClick(int Col, int Row, IExportPlatform& Platform);
  void CBTransparentClick(bool Ticked);

  // "Save": asks for the file, page or folder, then the save of the current
  // choice (solid, else HTML, else lines); a file it refuses is named in the
  // error box. After the page: "Open result file?".
  TSaveResult BSaveClick(IExportPlatform& Platform);
  TSaveResult SaveHtml(IExportPlatform& Platform);
  TSaveResult SaveLines(IExportPlatform& Platform);
  TSaveResult SaveSolid(IExportPlatform& Platform);

  TTextSize MeasureText(std::string_view Text) const { return FTable.MeasureText(Text); }
  std::unique_ptr<TGif> CutImage(const TRect& Rect) const { return FTable.CutImage(Rect); }
  static bool IsFileNameCorrect(const std::string& FileName) {
    return ::IsFileNameCorrect(FileName);
  }

  // The edited image: what the preview paints.
  TGif& Gif() { return FTable.Gif(); }
  // What the preview paints instead when a PNG with real transparency is
  // chosen: the rendering's coverage as alpha; nothing otherwise.
  std::optional<TRgbaImage> ClearPreview() const;
  const TExportSource& Source() const { return FTable.Source(); }
  const TColorTable& Table() const { return FTable; }

private:
  TSaveHooks Hooks(IExportPlatform& Platform) const;

  TColorTable FTable;
  int FCharCount = 0;
  std::string FLabel1 = "Uses color:";
};
