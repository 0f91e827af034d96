// The colour table dialog without its window, and the three ways of saving.
//
// TCTable holds what the dialog shows and edits: FGif made from the rendering,
// the grid of its colours with the background marked "BG", the captions, and
// the user's choices (TExportChoices, kept from one showing to the next). A
// window is a thin view over it; the command line drives it directly.
//
// What the platform provides (file and folder dialogs, message boxes, the
// shell) comes in through IExportPlatform, so the writers run unattended in
// tests and on the command line (TUnattendedPlatform).
//
// Files: CTable.cpp (preparation, grid, colours, shared steps),
// HtmlExport.cpp, GifExport.cpp, ExportText.cpp (names, masks, escaping,
// the page's text), UnattendedPlatform.cpp. Files are written
// whole or not at all (base/AtomicFile.h).
#pragma once

#include "gif/Gif.h"
#include "raster/Bitmap.h"
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
  const TBitmap* Preview = nullptr; // FPreview; read by Prepare only
  int SurfaceWidth = 0;             // Width of FSurface, shadow distance included
  int ShadowDistance = 0;           // d, 0 without a drop shadow
  // Where the text's cells start when the rendering grew to keep overhangs:
  // lines and characters are cut out from there, at their cells.
  int TextLeft = 0, TextTop = 0;
  bool Shaped = false;         // joined and reordered: no image per character
  TAlign Align = TAlign::Left; // FAlign
  TWidthMode WidthMode = TWidthMode::ToString;
  TColor BackColor = 0xFFFFFF;
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

// The platform of a run without a user: the dialogs answer with given paths,
// boxes are collected, nothing is opened, the colour dialog is cancelled.
class TUnattendedPlatform : public IExportPlatform {
public:
  std::optional<std::string> SaveFileName; // answer of SD
  std::optional<std::string> Folder;       // answer of the folder picker
  bool OpenResult = false;                 // answer to "Open result file?"
  std::vector<std::string> Errors, Warnings, Opened;

  std::optional<std::string> SaveFileDialog(const TSaveFileRequest& Request) override;
  std::optional<std::string> BrowseForFolder(const std::string& Title) override;
  void ErrorBox(const std::string& Text) override;
  void WarningBox(const std::string& Text) override;
  bool ConfirmBox(const std::string& Text) override;
  void ShellOpen(const std::string& FileName) override;
  std::optional<TColor> ChooseColor(TColor Initial) override;
  void Beep() override {}
};

// Told once the writing starts (0 of Total) and after each file, written or
// refused (Done of Total). Answering false stops the save before the next
// file; the files written stay, and an HTML page whose images are not all
// made is not written.
using TSaveProgress = std::function<bool(int Done, int Total)>;

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

  // Makes FGif from Source.Preview, lists its colours and counts what each
  // save will produce. A rendering with no pixels throws EExportError.
  void Prepare(TExportSource Source);
  // The dialog closes, by whatever button: FGif goes.
  void FormClose();
  bool Prepared() const { return FGif != nullptr; }

  // The grid: entry Col + 8 * Row of colour table 0.
  int ColorCount() const { return FColorCount; }
  int BackIndex() const { return FBackIndex; }
  int GridRowCount() const { return int(FCells.size()) / GridColumns; }
  const std::string& CellText(int Col, int Row) const; // "" for a crossed cell
  std::optional<TColor> CellColor(int Col, int Row) const;
  bool IsBackCell(int Col, int Row) const { return Col + GridColumns * Row == FBackIndex; }
  // "BG" is drawn in the cell colour with all 24 bits inverted.
  static TColor BackMarkColor(TColor CellColor) { return CellColor ^ 0xFFFFFF; }

  const std::string& Label1Caption() const { return FLabel1; }
  const std::string& RS1Caption() const { return FRS1; }
  const std::string& RS2Caption() const { return FRS2; }
  int DistinctCharCount() const { return FCharCount; }

  // Which option groups RS2Click leaves enabled for the current choice.
  bool HtmlOptionsEnabled() const { return Choices.Save == TSaveKind::Html; }
  bool MaskEnabled() const { return Choices.Save == TSaveKind::Lines; }

  // Entry Index becomes K, in the table and in every pixel of the image that
  // uses it. False (and nothing changes) for a crossed cell.
  bool ChangeColor(int Index, TColor K);
  // The first listed entry of colour From becomes To; false if none is listed.
  bool RecolorListed(TColor From, TColor To);
  // Pairs (from, to) in order, each as RecolorListed, with one pass over the
  // image for all of them. Stops at the first pair whose colour is not
  // listed; returns how many were applied.
  std::size_t RecolorListed(const std::vector<std::pair<TColor, TColor>>& Pairs);
  // Double-click on a cell: the colour dialog, or a beep on a crossed cell.
  void BChColorClick(int Col, int Row, IExportPlatform& Platform);
  void CBTransparentClick(bool Ticked);

  // "Save": the writer of the current choice (solid, else HTML, else lines).
  // The HTML page is refused (EExportError) for a rendering with a shadow or
  // with shaping, whose characters are not where single letters would put them.
  TSaveResult BSaveClick(IExportPlatform& Platform);
  TSaveResult SaveHtml(IExportPlatform& Platform);
  TSaveResult SaveLines(IExportPlatform& Platform);
  TSaveResult SaveSolid(IExportPlatform& Platform);

  // Shared steps of the writers.
  TTextSize MeasureText(std::string_view Text) const;
  // The edited image under Rect (right and bottom exclusive; white outside),
  // with the dialog's transparency.
  std::unique_ptr<TGif> CutImage(const TRect& Rect);
  // Line Index drawn alone over Rect (Source().DrawLine), in the edited
  // colours and with the dialog's transparency.
  std::unique_ptr<TGif> LineImage(const TRect& Rect, std::size_t Index);
  // True when the file exists or its folder would take it. Makes nothing.
  static bool IsFileNameCorrect(const std::string& FileName);

  // The edited image: what the preview paints.
  TGif& Gif();
  const TExportSource& Source() const { return FSource; }

private:
  bool GoOn(int Done, int Total) const { return !Progress || Progress(Done, Total); }
  // Cuts Rect and adds it to Batch as Folder + Name, or shows the error box.
  // Name must not leave Folder; FromText is the part of Name the user's text
  // brought. Line, when given, is drawn alone (LineImage) rather than cut.
  void SaveCut(const TRect& Rect, const std::string& Folder, const std::string& Name,
               std::string_view FromText, IExportPlatform& Platform, TSaveResult& Result,
               TAtomicBatch& Batch, std::optional<std::size_t> Line = std::nullopt);
  // Puts Batch's files in place; a name the file system turns down only then
  // is refused as SaveCut refuses it.
  static void PlaceCuts(TAtomicBatch& Batch, IExportPlatform& Platform, TSaveResult& Result);
  // A save ended by an error keeps the files it had written, as it would
  // have placed them one by one; the error under way is the one reported.
  struct TCutsKept {
    TAtomicBatch& Batch;
    ~TCutsKept();
  };
  // The image's own colours, as the edits left them, and its transparency.
  std::unique_ptr<TGif> Indexed(const TBitmap& Image) const;
  // Pixels in the rendering's colours take the colour their entry has now.
  void ApplyEdits(TBitmap& Image) const;

  // Entry Index of the table and its cell, then the pixels of the changed
  // entries, in one scan.
  void SetEntry(int Index, TColor K);
  void Repaint(const std::array<bool, 256>& Changed);

  std::unique_ptr<TGif> FGif;
  TExportSource FSource;
  int FBackIndex = 0;
  int FColorCount = 0;
  int FCharCount = 0;
  std::vector<std::string> FCells;
  std::vector<TColor> FRendered; // the entries' colours as Prepare listed them
  std::string FLabel1 = "Uses color:";
  std::string FRS1 = "Save as HTML with using GIF as chars";
  std::string FRS2 = "Save strings as GIF files";
};
