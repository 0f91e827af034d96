#include "base/AtomicFile.h"
#include "support/Files.h"
#include "support/PlantedLinks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void Save(const std::string& Name, const std::string& Bytes) {
  TAtomicFile file(Name);
  file.Write(Bytes);
  file.Commit();
}

unsigned ModeOf(const std::string& Name) {
  struct stat st {};
  EXPECT_EQ(::stat(Name.c_str(), &st), 0) << Name;
  return st.st_mode & 07777;
}

// The umask for the length of a test.
class TUmask {
public:
  explicit TUmask(mode_t Mask) : FOld(::umask(Mask)) {}
  ~TUmask() { ::umask(FOld); }

private:
  mode_t FOld;
};

TEST(AtomicFile, ANewFileGetsTheUmasksModeAndAReplacedOneKeepsItsOwn) {
  TTempDir dir;
  {
    TUmask mask(027);
    Save(dir / "new", "one");
    EXPECT_EQ(ModeOf(dir / "new"), 0640u);
  }
  for (unsigned mode : {0600u, 0644u, 0755u, 0664u}) {
    ::chmod((dir / "new").c_str(), mode);
    Save(dir / "new", "two");
    EXPECT_EQ(ModeOf(dir / "new"), mode);
    EXPECT_EQ(ReadFile(dir / "new"), "two");
  }
  EXPECT_EQ(dir.Names(), std::set<std::string>{"new"}) << "no temporary left";
}

TEST(AtomicFile, ATargetStaysAsItWasUntilCommitAndIsNeverLeftHalfWritten) {
  TTempDir dir;
  WriteFile(dir / "old", "precious");
  {
    TAtomicFile file(dir / "old");
    file.Write(std::string(100000, 'x'));
    EXPECT_EQ(ReadFile(dir / "old"), "precious") << "nothing shows before the commit";
  } // dropped without Commit
  EXPECT_EQ(ReadFile(dir / "old"), "precious");
  {
    TAtomicFile file(dir / "fresh");
    file.Write("partial");
  }
  EXPECT_EQ(dir.Names(), std::set<std::string>{"old"}) << "no empty file, no temporary";
}

TEST(AtomicFile, AFileNameOfTwoHundredAndFiftyBytesIsSavedTwice) {
  TTempDir dir;
  const std::string name = dir / (std::string(246, 'a') + ".gif");
  Save(name, "first");
  Save(name, "second");
  EXPECT_EQ(ReadFile(name), "second");
  EXPECT_EQ(dir.Names().size(), 1u);
}

TEST(AtomicFile, ALinkStaysALinkAndTheFileItPointsAtGetsTheBytes) {
  TTempDir dir;
  fs::create_directory(dir / "real");
  WriteFile(dir / "real/target", "old");
  ::chmod((dir / "real/target").c_str(), 0604);
  struct Case {
    const char* Name;
    std::string Link, PointsAt, Target;
  };
  const std::vector<Case> cases = {
      {"relative", dir / "rel", "real/target", dir / "real/target"},
      {"absolute", dir / "abs", dir / "real/target", dir / "real/target"},
      {"a link to a link", dir / "chain", "rel", dir / "real/target"},
      {"dangling: the file is made where it points", dir / "dangling", "real/made",
       dir / "real/made"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(::symlink(c.PointsAt.c_str(), c.Link.c_str()), 0);
    Save(c.Link, c.Name);
    EXPECT_TRUE(fs::is_symlink(c.Link));
    EXPECT_EQ(fs::read_symlink(c.Link).string(), c.PointsAt);
    EXPECT_EQ(ReadFile(c.Target), c.Name);
  }
  EXPECT_EQ(ModeOf(dir / "real/target"), 0604u) << "the file's mode, not the link's";
  std::vector<std::string> real;
  for (const auto& e : fs::directory_iterator(dir / "real"))
    real.push_back(e.path().filename().string());
  std::sort(real.begin(), real.end());
  EXPECT_EQ(real, (std::vector<std::string>{"made", "target"})) << "no temporary left";
}

TEST(AtomicFile, APipeIsWrittenInPlace) {
  TTempDir dir;
  const std::string fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(fifo); });
  const std::string bytes(200000, 'p'); // more than a pipe buffers
  Save(fifo, bytes);
  reader.join();
  EXPECT_EQ(received, bytes);
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "still the pipe, not a file put in its place";
  EXPECT_EQ(dir.Names(), std::set<std::string>{"pipe"});
}

TEST(AtomicFile, ADeviceIsWrittenInPlaceAndItsErrorsReported) {
  Save("/dev/null", "gone");
  try {
    Save("/dev/full", "no room");
    ADD_FAILURE() << "a full device reported success";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code().value(), ENOSPC);
    EXPECT_NE(std::string(e.what()).find("/dev/full"), std::string::npos) << e.what();
  }
}

TEST(AtomicFile, WhatCannotBeWrittenIsRefusedWithTheOldFileIntact) {
  TTempDir dir;
  WriteFile(dir / "readonly", "keep me");
  ::chmod((dir / "readonly").c_str(), 0444);
  fs::create_directory(dir / "folder");
  struct Case {
    const char* Name;
    std::string Target;
    int Error;
  };
  const std::vector<Case> cases = {
      {"a read-only file", dir / "readonly", EACCES},
      {"a folder", dir / "folder", EISDIR},
      {"a folder that does not exist", dir / "missing/x", ENOENT},
      {"a name longer than a file system takes", dir / std::string(300, 'n'), ENAMETOOLONG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    try {
      Save(c.Target, "new");
      ADD_FAILURE() << "saved";
    } catch (const std::system_error& e) {
      EXPECT_EQ(e.code().value(), c.Error) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.Target), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ReadFile(dir / "readonly"), "keep me");
  EXPECT_EQ(ModeOf(dir / "readonly"), 0444u);
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"folder", "readonly"}));
}

TEST(AtomicFile, ALinkPlantedAtTheTemporarysNameIsNotFollowed) {
  TTempDir dir;
  const TPlantedLinks planted(dir / "victim", {dir.Path()});
  TAtomicFile file(dir / "out");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / TemporaryName(planted.PerFolder))))
      << "the temporary takes the first name no link holds";
  file.Write("mine");
  file.Commit();
  EXPECT_EQ(ReadFile(dir / "out"), "mine");
  EXPECT_FALSE(fs::is_symlink(dir / "out"));
  planted.ExpectUntouched();
}

TEST(AtomicFile, AFreshEmptyFileIsFilledInPlaceAndAnythingElseTheCarefulWay) {
  TTempDir dir;
  const std::vector<std::uint8_t> bytes = {'G', 'I', 'F'};
  WriteFile(dir / "fresh", "");
  ::chmod((dir / "fresh").c_str(), 0640);
  struct stat before {};
  ::stat((dir / "fresh").c_str(), &before);
  WriteIntoNewFile(dir / "fresh", bytes);
  struct stat after {};
  ::stat((dir / "fresh").c_str(), &after);
  EXPECT_EQ(ReadFile(dir / "fresh"), "GIF");
  EXPECT_EQ(after.st_ino, before.st_ino) << "written in place";
  EXPECT_EQ(ModeOf(dir / "fresh"), 0640u);

  // Someone filled it meanwhile: replaced whole, not written over its start.
  WriteFile(dir / "filled", "longer content");
  WriteIntoNewFile(dir / "filled", bytes);
  EXPECT_EQ(ReadFile(dir / "filled"), "GIF");
  // A link put in its place: the link stays, its file gets the bytes whole.
  WriteFile(dir / "other", "longer content");
  ::symlink("other", (dir / "linked").c_str());
  WriteIntoNewFile(dir / "linked", bytes);
  EXPECT_TRUE(fs::is_symlink(dir / "linked"));
  EXPECT_EQ(ReadFile(dir / "other"), "GIF");
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"filled", "fresh", "linked", "other"}));
}

// The signal comes as a batch's twelfth temporary is made, before the save
// has noted its name: it must wait until the name is noted.
int SignalOnTemporary = 0;
void RaiseOnTwelfth(TSaveStep Step, const std::string&) {
  static int made = 0;
  if (Step == TSaveStep::TemporaryMade && ++made == 12) std::raise(SignalOnTemporary);
}

// A save under way when the user presses Ctrl+C, or the session ends, leaves
// the old file as it was and no hidden temporary beside it.
TEST(AtomicFile, ASignalDuringASaveLeavesNoTemporaryAndEndsTheProcessAsAsked) {
  const struct {
    const char* name;
    void (*save)(const TTempDir& Dir, int Signal);
  } cases[] = {
      {"while nested saves write",
       [](const TTempDir& Dir, int Signal) {
         TAtomicFile outer(Dir / "old.gif");
         outer.Write(std::string(100000, 'x'));
         TAtomicFile nested(Dir / "new.gif");
         nested.Write("half");
         std::raise(Signal);
       }},
      {"as a batch's temporary is made",
       [](const TTempDir& Dir, int Signal) {
         SignalOnTemporary = Signal;
         SaveStepSeen = RaiseOnTwelfth;
         TAtomicBatch batch;
         const std::vector<std::uint8_t> bytes = {'n', 'e', 'w'};
         for (int i = 0; i < 11; ++i)
           batch.Add(Dir / ("new" + std::to_string(i) + ".gif"), bytes);
         batch.Add(Dir / "old.gif", bytes);
       }},
  };
  for (const auto& c : cases)
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      TTempDir dir;
      WriteFile(dir / "old.gif", "precious");
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        RemoveTemporariesOnSignals();
        c.save(dir, signal);
        ::_exit(0); // not reached
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << c.name << ", " << signal;
      EXPECT_EQ(dir.Names(), std::set<std::string>{"old.gif"}) << c.name << ", " << signal;
      EXPECT_EQ(ReadFile(dir / "old.gif"), "precious") << c.name;
    }
}

// Each file's data is on the disk before any name is, and the names before
// the save ends: one file flushes itself, a large batch its file system once.
std::string Steps;
void NoteStep(TSaveStep Step, const std::string&) {
  Steps += "MDRF"[int(Step)];
}

TEST(AtomicFile, DataReachesTheDiskBeforeTheNames) {
  const struct {
    const char* name;
    int files;
    bool batch;
    const char* steps;
  } cases[] = {
      {"a file alone", 1, false, "MDRF"},
      {"a small batch, file by file", 3, true, "MMMDDDRRRF"},
      {"a large batch, at once", 10, true, "MMMMMMMMMMDRRRRRRRRRRF"},
  };
  for (const auto& c : cases) {
    TTempDir dir;
    Steps.clear();
    SaveStepSeen = NoteStep;
    const std::vector<std::uint8_t> bytes = {'G', 'I', 'F'};
    if (c.batch) {
      TAtomicBatch batch;
      for (int i = 0; i < c.files; ++i)
        batch.Add(dir / std::to_string(i), bytes);
      batch.Commit();
    } else {
      WriteFileAtomically(dir / "0", bytes);
    }
    SaveStepSeen = nullptr;
    EXPECT_EQ(Steps, c.steps) << c.name;
    EXPECT_EQ(int(dir.Names().size()), c.files) << c.name;
  }
}

// A file that cannot take its name ends the batch there, or, when refused,
// is left out: the others are placed, and no temporary stays either way.
TEST(AtomicFile, ABatchStopsAtAFailedNameUnlessItIsLeftOut) {
  for (const bool leaveOut : {false, true}) {
    TTempDir dir;
    TAtomicBatch batch;
    const std::vector<std::uint8_t> bytes = {'G', 'I', 'F'};
    for (const char* name : {"a", "b", "c"})
      batch.Add(dir / name, bytes);
    // A folder with a file in it takes b's name meanwhile.
    fs::create_directory(dir / "b");
    WriteFile(dir / "b/in", "");
    std::vector<std::string> refused;
    const auto refuse = [&](const std::string& Name, const std::system_error&) {
      refused.push_back(Name);
      return leaveOut;
    };
    if (leaveOut)
      batch.Commit(refuse);
    else
      EXPECT_THROW(batch.Commit(refuse), std::system_error);
    EXPECT_EQ(refused, std::vector<std::string>{dir / "b"});
    EXPECT_EQ(dir.Names(), leaveOut ? (std::set<std::string>{"a", "b", "b/in", "c"})
                                    : (std::set<std::string>{"a", "b", "b/in"}))
        << leaveOut;
    EXPECT_EQ(ReadFile(dir / "a"), "GIF");
  }
}

TEST(AtomicFile, ASignalTheProcessIgnoresStaysIgnored) {
  TTempDir dir;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGHUP, SIG_IGN); // as nohup leaves it
    RemoveTemporariesOnSignals();
    TAtomicFile file(dir / "kept.gif");
    file.Write("whole");
    std::raise(SIGHUP);
    file.Commit();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(dir / "kept.gif"), "whole");
}

} // namespace

namespace {

TEST(AtomicFile, AProgramsOwnFileReplacesWhateverIsAtItsNameButAFolder) {
  struct Case {
    const char* name;
    void (*plant)(const std::string& Path, const std::string& Other);
  };
  const Case cases[] = {
      {"nothing", [](const std::string&, const std::string&) {}},
      {"a pipe", [](const std::string& p, const std::string&) { ::mkfifo(p.c_str(), 0600); }},
      {"a link",
       [](const std::string& p, const std::string& o) { ::symlink(o.c_str(), p.c_str()); }},
      {"a read-only file",
       [](const std::string& p, const std::string&) {
         WriteFile(p, "old");
         ::chmod(p.c_str(), 0400);
       }},
  };
  for (const Case& c : cases) {
    TTempDir dir;
    WriteFile(dir / "other", "someone else's");
    c.plant(dir / "cache", dir / "other");
    TAtomicFile file(dir / "cache", TReplaceRule::WholeName); // a pipe must not make this wait
    file.Write(std::string_view("answers"));
    file.Commit();
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "cache"))) << c.name;
    EXPECT_EQ(ReadFile(dir / "cache"), "answers") << c.name;
    EXPECT_EQ(ReadFile(dir / "other"), "someone else's") << c.name;
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"cache", "other"})) << c.name;
  }
  TTempDir dir;
  fs::create_directory(dir / "folder");
  EXPECT_THROW(TAtomicFile(dir / "folder", TReplaceRule::WholeName), std::system_error);
}

TEST(AtomicFile, NamesThatCanOnlyMeanAFolder) {
  TTempDir dir;
  fs::create_directory(dir / "sub");
  ::symlink("sub", (dir / "link").c_str());
  WriteFile(dir / "file", "x");
  const struct {
    std::string name;
    bool folder;
  } cases[] = {
      {"", true},
      {".", true},
      {"..", true},
      {dir / "sub", true},
      {dir / "sub/", true},
      {dir / "link", true},
      {dir / "new/", true},
      {dir / "sub/.", true},
      {dir / "file", false},
      {dir / "new.gif", false},
      {dir / ".hidden", false},
      {dir / "...", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NamesFolder(c.name), c.folder) << c.name;
}

} // namespace
