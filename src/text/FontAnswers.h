// What fontconfig answered in earlier runs, kept in a file so that a short
// process (one glyptika-cli render) need not load fontconfig's configuration,
// which takes most of its time.
//
// The answers hold as long as what they were drawn from is unchanged: the
// fontconfig version, the environment fontconfig reads, every configuration
// file and folder it read or would read, and every font folder. All of these
// are recorded with the answers and compared, by their status, on loading; any
// difference drops every answer. It is the rule fontconfig applies to its own
// caches.
//
// Only the answers used last are kept, a few dozen, and none about a name far
// longer than font names run: a script trying names cannot slow every run.
#pragma once

#include "text/FontDatabase.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace text_detail {

class TFontAnswers {
public:
  // Answers from File when they still hold; none otherwise.
  explicit TFontAnswers(std::string File);

  // The file for the current environment under the user's cache folder;
  // empty when there is no such folder (no HOME).
  static std::string DefaultFile();

  // Counts as a use: the answers used last are the ones kept.
  const std::vector<TFaceMember>* Find(const std::string& Question) const;
  // Records an answer fontconfig gave under Config, loaded at LoadedAt (a
  // time(nullptr) value), and writes the answers to keep back. Failing to
  // write only means the next run asks fontconfig again.
  void Add(const std::string& Question, std::vector<TFaceMember> Answer, FcConfig* Config,
           long long LoadedAt);

private:
  struct TWatched {
    std::string Path;
    bool Exists = false;
    long long MTimeSec = 0, MTimeNsec = 0, Size = 0, Inode = 0;
    friend bool operator==(const TWatched&, const TWatched&) = default;
  };
  static TWatched Watch(const std::string& Path);
  static std::vector<std::string> Environment();
  bool Load();
  void Save(FcConfig* Config, long long LoadedAt);

  struct TAnswer {
    std::vector<TFaceMember> Members;
    mutable unsigned long long Used = 0; // FClock at the last use
  };

  std::string FFile;
  std::map<std::string, TAnswer> FAnswers;
  mutable unsigned long long FClock = 0;
  // What the answers read from the file were drawn from, and the questions
  // fontconfig answered in this process.
  std::vector<TWatched> FLoadedWatches;
  std::set<std::string> FAsked;
};

} // namespace text_detail
