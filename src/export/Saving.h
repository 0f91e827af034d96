// What the three saves share: the images of one save, written together.
#pragma once

#include "base/AtomicFile.h"
#include "export/Export.h"

#include <string>
#include <string_view>

// The images of one save, each as Folder + Name in the chosen format, put in
// place together by Place. A save ended by an error keeps the files it had
// written, as it would have placed them one by one; the error under way is
// the one reported.
class TImageWriter {
public:
  TImageWriter(const TColorTable& Table, const TExportChoices& Choices, const TSaveHooks& Hooks,
               TSaveResult& Result)
      : FTable(Table), FChoices(Choices), FHooks(Hooks), FResult(Result) {}
  ~TImageWriter();
  TImageWriter(const TImageWriter&) = delete;
  TImageWriter& operator=(const TImageWriter&) = delete;

  // Cut of Source becomes Folder + Name, or is refused (Hooks.Refused). Name
  // must not leave Folder; FromText is the part of Name the user's text
  // brought.
  void Save(const TExportSource& Source, const TImageCut& Cut, const std::string& Folder,
            const std::string& Name, std::string_view FromText);
  // Puts the files in place; a name the file system turns down only then is
  // refused as Save refuses it.
  void Place();
  TAtomicBatch& Batch() { return FBatch; }

  // Told before the first file and after each: false stops the save.
  bool GoOn(int Done, int Total) const { return !FHooks.Progress || FHooks.Progress(Done, Total); }

private:
  void Refuse(const std::string& Full, const std::string& Message);

  const TColorTable& FTable;
  const TExportChoices& FChoices;
  const TSaveHooks& FHooks;
  TSaveResult& FResult;
  TAtomicBatch FBatch;
};

// Text measured in Source, as it was drawn there.
inline TTextSize MeasureIn(const TExportSource& Source, std::string_view Text) {
  if (!Source.Measure) throw EExportError("The rendering gives no way to measure text.");
  return Source.Measure(Text);
}

// The cut of the rendering drawn Scale times larger (Large) that stands for
// Cut1 of the 1x one: Scale times Cut1's size, so that a page showing it at
// Cut1's size shows it unstretched, placed so that its ink lies where Cut1's
// lies, scaled. The larger face's metrics round their own way and may make a
// line a few pixels longer than Scale times its 1x length: the cut then grows
// by what it takes to keep that ink whole. Margin widens the search for ink
// around CutN (0 where other ink is near, as between characters).
TImageCut ScaledCut(const TColorTable& Table, const TExportSource& Large, const TImageCut& CutN,
                    const TImageCut& Cut1, int Scale, int Margin);
