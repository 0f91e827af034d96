#include "export/Export.h"
#include "export/ExportTestUtil.h"
#include "export/FakeRendering.h"
#include "support/UnattendedPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <utility>
#include <vector>

namespace {

using TReports = std::vector<std::pair<int, int>>;

struct TProgressRun {
  TTempDir Dir;
  TUnattendedPlatform Platform;
  TCTable Table;
  TReports Reports;
  int StopAt = 0; // the report, counted from 1, that answers "stop"; 0 never

  TSaveResult Save(const TFakeRendering& R, TSaveKind Kind) {
    Table.Choices.Save = Kind;
    Table.Prepare(R.Source);
    Platform.Folder = Dir.Folder();
    Platform.SaveFileName = Dir.Folder() + (Kind == TSaveKind::Solid ? "all.gif" : "page.html");
    Table.Progress = [this](int Done, int Total) {
      Reports.emplace_back(Done, Total);
      return int(Reports.size()) != StopAt;
    };
    return Table.BSaveClick(Platform);
  }
};

// The reports 0 of Total up to Last of Total.
TReports Counting(int Total, int Last = -1) {
  TReports reports;
  for (int done = 0; done <= (Last < 0 ? Total : Last); ++done)
    reports.emplace_back(done, Total);
  return reports;
}

} // namespace

TEST(SaveProgress, CountsEveryFileOfTheSave) {
  struct Case {
    const char* name;
    TSaveKind kind;
    std::vector<std::string> lines;
    int files; // every file the save makes, the page included
  };
  const Case cases[] = {
      {"one per non-empty line", TSaveKind::Lines, {"Hello", "", "World"}, 2},
      {"one per distinct image, then the page", TSaveKind::Html, {"abba", "", "cab"}, 4},
      {"the solid GIF is one file", TSaveKind::Solid, {"Hello", "World"}, 1},
  };
  for (const Case& c : cases) {
    TProgressRun run;
    const TFakeRendering r(c.lines);
    const TSaveResult result = run.Save(r, c.kind);
    EXPECT_EQ(run.Reports, Counting(c.files)) << c.name;
    EXPECT_EQ(int(result.Written.size()), c.files) << c.name;
    EXPECT_FALSE(result.Stopped) << c.name;
  }
}

TEST(SaveProgress, StopKeepsTheLinesWrittenWholeAndMakesNoMore) {
  TProgressRun run;
  run.StopAt = 3;
  const TFakeRendering r({"one", "two", "three", "four", "five"});
  const TSaveResult result = run.Save(r, TSaveKind::Lines);

  EXPECT_TRUE(result.Stopped);
  EXPECT_EQ(run.Reports, Counting(5, 2));
  EXPECT_EQ(result.Written,
            (std::vector<std::string>{run.Dir.Folder() + "one.gif", run.Dir.Folder() + "two.gif"}));
  EXPECT_EQ(run.Dir.Files(), (std::set<std::string>{"one.gif", "two.gif"}));
  for (const char* name : {"one.gif", "two.gif"}) {
    const TSavedGif saved = ReadSavedGif(run.Dir.Folder() + name);
    EXPECT_EQ(saved.Width, r.Preview.Width()) << name << " is whole";
    EXPECT_EQ(saved.Height, TFakeFont::LineHeight) << name << " is whole";
  }
}

TEST(SaveProgress, StoppedPageStaysOldUntilEveryImageIsMade) {
  struct Case {
    const char* name;
    int stopAt;
    std::vector<std::string> written; // under the folder
    bool stopped;
  };
  const Case cases[] = {
      {"after the first image", 2, {"img_char/H.gif"}, true},
      {"after the last image: only the page was left",
       3,
       {"img_char/H.gif", "img_char/i.gif", "page.html"},
       false},
  };
  for (const Case& c : cases) {
    TProgressRun run;
    run.StopAt = c.stopAt;
    {
      std::ofstream old(run.Dir.Folder() + "page.html");
      old << "the old page";
    }
    const TFakeRendering r({"Hi"});
    run.Table.Choices.NameAsChar = true;
    const TSaveResult result = run.Save(r, TSaveKind::Html);

    EXPECT_EQ(result.Stopped, c.stopped) << c.name;
    std::vector<std::string> written;
    for (const std::string& name : c.written)
      written.push_back(run.Dir.Folder() + name);
    EXPECT_EQ(result.Written, written) << c.name;
    std::set<std::string> files(c.written.begin(), c.written.end());
    files.insert("page.html");
    EXPECT_EQ(run.Dir.Files(), files) << c.name << ": no temporary left behind";
    EXPECT_EQ(ReadFile(run.Dir.Folder() + "page.html") == "the old page", c.stopped) << c.name;
    EXPECT_TRUE(run.Platform.Opened.empty()) << c.name;
  }
}

TEST(SaveProgress, RefusedNamesCountAsDone) {
  TProgressRun run;
  run.StopAt = 3;
  // The first line's name leaves the folder and is refused; the stop comes
  // after the second line all the same.
  const TFakeRendering r({"a/b", "ok", "late"});
  const TSaveResult result = run.Save(r, TSaveKind::Lines);
  EXPECT_EQ(result.Refused.size(), 1u);
  EXPECT_EQ(run.Dir.Files(), (std::set<std::string>{"ok.gif"}));
  EXPECT_EQ(run.Reports, Counting(3, 2));
}

TEST(SaveProgress, StopBeforeTheFirstFileWritesNothing) {
  for (TSaveKind kind : {TSaveKind::Lines, TSaveKind::Html, TSaveKind::Solid}) {
    TProgressRun run;
    run.StopAt = 1;
    const TFakeRendering r({"Hi"});
    const TSaveResult result = run.Save(r, kind);
    EXPECT_TRUE(result.Stopped) << int(kind);
    EXPECT_TRUE(result.Written.empty()) << int(kind);
    // The HTML save has made its empty image folder by then: no file in it.
    EXPECT_TRUE(run.Dir.Files().empty()) << int(kind);
  }
}

namespace {

// Notes whether the hourglass is up whenever the user is asked something.
class TBusyWatch : public TUnattendedPlatform {
public:
  bool Busy = false;
  std::vector<bool> BusyWhenAsked;
  void SetBusy(bool On) override { Busy = On; }
  std::optional<std::string> SaveFileDialog(const TSaveFileRequest& Request) override {
    BusyWhenAsked.push_back(Busy);
    return TUnattendedPlatform::SaveFileDialog(Request);
  }
  std::optional<std::string> BrowseForFolder(const std::string& Title) override {
    BusyWhenAsked.push_back(Busy);
    return TUnattendedPlatform::BrowseForFolder(Title);
  }
  bool ConfirmBox(const std::string& Text) override {
    BusyWhenAsked.push_back(Busy);
    return TUnattendedPlatform::ConfirmBox(Text);
  }
};

} // namespace

TEST(SaveProgress, HourglassWhileFilesAreWrittenNotWhileTheUserIsAsked) {
  for (TSaveKind kind : {TSaveKind::Lines, TSaveKind::Html, TSaveKind::Solid}) {
    TTempDir dir;
    TBusyWatch platform;
    platform.Folder = dir.Folder();
    platform.SaveFileName = dir.Folder() + "page.html";
    TCTable table;
    const TFakeRendering r({"Hi", "Ho"});
    table.Choices.Save = kind;
    table.Prepare(r.Source);
    std::vector<bool> busyAtReports;
    table.Progress = [&](int, int) {
      busyAtReports.push_back(platform.Busy);
      return true;
    };
    table.BSaveClick(platform);
    EXPECT_FALSE(busyAtReports.empty()) << int(kind);
    EXPECT_EQ(std::count(busyAtReports.begin(), busyAtReports.end(), false), 0) << int(kind);
    EXPECT_EQ(std::count(platform.BusyWhenAsked.begin(), platform.BusyWhenAsked.end(), true), 0)
        << int(kind);
    EXPECT_FALSE(platform.Busy) << int(kind) << ": the hourglass is gone at the end";
  }
}
