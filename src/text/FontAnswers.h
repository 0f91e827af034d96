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

  const std::vector<TFaceMember>* Find(const std::string& Question) const;
  // Records an answer fontconfig gave under Config, loaded at LoadedAt (a
  // time(nullptr) value), and writes all answers back. Failing to write only
  // means the next run asks fontconfig again.
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

  std::string FFile;
  std::map<std::string, std::vector<TFaceMember>> FAnswers;
  // What the answers read from the file were drawn from, and the questions
  // fontconfig answered in this process.
  std::vector<TWatched> FLoadedWatches;
  std::set<std::string> FAsked;
};

} // namespace text_detail
