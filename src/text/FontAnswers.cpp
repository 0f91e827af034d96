#include "text/FontAnswers.h"

#include "base/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace text_detail {

namespace {

constexpr const char* Header = "glyptika font answers 2";
// Larger than any real list of fonts; a bigger file is not ours to read.
constexpr long long MaxFileBytes = 16ll << 20;
// A run asks a handful of questions; these many cover the faces in use.
constexpr std::size_t MaxAnswers = 48;
// Font names run to a few dozen characters (Windows keeps 31 of them): a
// question about a longer name is a mistake or a probe, answered but not kept.
constexpr std::size_t MaxQuestionBytes = 256;

// What fontconfig reads from the environment: where its configuration and
// caches are, and the language that ranks matches.
constexpr const char* EnvironmentNames[] = {"FONTCONFIG_FILE",
                                            "FONTCONFIG_PATH",
                                            "FONTCONFIG_SYSROOT",
                                            "HOME",
                                            "XDG_CONFIG_HOME",
                                            "XDG_DATA_HOME",
                                            "XDG_CACHE_HOME",
                                            "FC_LANG",
                                            "LC_ALL",
                                            "LC_CTYPE",
                                            "LANG"};

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
  }
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(Unescape(line.substr(start, tab - start)));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::string Line(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    line += Escape(fields[i]);
  }
  line += '\n';
  return line;
}

// A whole decimal number, or nothing.
std::optional<long long> Number(const std::string& s) {
  long long value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

std::string Getenv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The user's folder for NAME, as the XDG rules give it.
std::string XdgFolder(const char* name, const char* fallback) {
  const std::string value = Getenv(name);
  if (!value.empty() && value[0] == '/') return value;
  const std::string home = Getenv("HOME");
  return home.empty() ? std::string() : home + "/" + fallback;
}

std::string Parent(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return slash == 0 ? "/" : ".";
  return path.substr(0, slash);
}

void AddList(std::set<std::string>& paths, FcStrList* list) {
  if (list == nullptr) return;
  while (FcChar8* s = FcStrListNext(list))
    paths.insert(reinterpret_cast<const char*>(s));
  FcStrListDone(list);
}

// FNV-1a of the bytes: a damaged file (a flipped byte, a cut) is told from
// one this program wrote.
std::string Checksum(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes)
    hash = (hash ^ std::uint8_t(c)) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// The file's bytes when it is a regular file of a sane size. Opened without
// waiting, so a pipe or a device put at the name cannot hold the run up.
std::optional<std::string> ReadRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
      st.st_size <= MaxFileBytes) {
    std::string data(std::size_t(st.st_size), '\0');
    std::size_t got = 0;
    while (got < data.size()) {
      const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += std::size_t(n);
    }
    if (got == data.size()) bytes = std::move(data);
  }
  ::close(fd);
  return bytes;
}

// A folder at the file's name would keep every answer from being kept: an
// empty one goes, any other is moved aside with what it holds.
void ClearFolder(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::rmdir(path.c_str()) == 0) return;
  for (int n = 1; n <= 100; ++n) {
    const std::string aside = path + ".moved-aside-" + std::to_string(n);
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0 ||
        errno != EEXIST)
      return;
  }
}

void MakeFolders(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return;
  const std::string parent = path.substr(0, slash);
  if (access(parent.c_str(), F_OK) == 0) return;
  MakeFolders(parent);
  mkdir(parent.c_str(), 0700);
}

} // namespace

TFontAnswers::TFontAnswers(std::string File) : FFile(std::move(File)) {
  if (!FFile.empty() && !Load()) {
    FAnswers.clear();
    FLoadedWatches.clear();
  }
}

std::string TFontAnswers::DefaultFile() {
  const std::string folder = XdgFolder("XDG_CACHE_HOME", ".cache");
  if (folder.empty()) return {};
  // One file per environment: runs under different configurations (tests,
  // other users' settings) do not overwrite each other's answers.
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::string& entry : Environment())
    for (char c : entry + '\n')
      hash = (hash ^ std::uint8_t(c)) * 1099511628211ull;
  char name[40];
  std::snprintf(name, sizeof name, "font-answers-%016llx", static_cast<unsigned long long>(hash));
  return folder + "/glyptika/" + name;
}

std::vector<std::string> TFontAnswers::Environment() {
  std::vector<std::string> entries;
  for (const char* name : EnvironmentNames) {
    const char* value = std::getenv(name);
    entries.push_back(value ? std::string(name) + "=" + value : std::string(name));
  }
  entries.push_back("fontconfig=" + std::to_string(FcGetVersion()));
  return entries;
}

TFontAnswers::TWatched TFontAnswers::Watch(const std::string& Path) {
  TWatched w;
  w.Path = Path;
  struct stat st {};
  if (stat(Path.c_str(), &st) != 0) return w;
  w.Exists = true;
  w.MTimeSec = st.st_mtim.tv_sec;
  w.MTimeNsec = st.st_mtim.tv_nsec;
  w.Size = st.st_size;
  w.Inode = static_cast<long long>(st.st_ino);
  return w;
}

const std::vector<TFaceMember>* TFontAnswers::Find(const std::string& Question) const {
  const auto it = FAnswers.find(Question);
  if (it == FAnswers.end()) return nullptr;
  it->second.Used = ++FClock;
  return &it->second.Members;
}

bool TFontAnswers::Load() {
  const std::optional<std::string> file = ReadRegularFile(FFile);
  if (!file || !file->ends_with('\n')) return false;
  // The last line is "end" and the checksum of everything before it.
  const std::size_t last = file->rfind('\n', file->size() - 2);
  if (last == std::string::npos) return false;
  const std::string_view body = std::string_view(*file).substr(0, last + 1);
  if (std::string_view(*file).substr(last + 1) != "end\t" + Checksum(body) + "\n") return false;
  std::istringstream in{std::string(body)};
  std::string line;
  if (!std::getline(in, line) || line != Header) return false;
  for (const std::string& entry : Environment())
    if (!std::getline(in, line) || Fields(line) != std::vector<std::string>{"env", entry})
      return false;
  std::string question;
  std::vector<TFaceMember>* answer = nullptr;
  while (std::getline(in, line)) {
    const std::vector<std::string> f = Fields(line);
    if (f[0] == "watch" && f.size() == 6) {
      TWatched was;
      was.Path = f[5];
      const auto sec = Number(f[1]), nsec = Number(f[2]), bytes = Number(f[3]),
                 inode = Number(f[4]);
      if (!sec || !nsec || !bytes || !inode) return false;
      was.Exists = *sec >= 0;
      if (was.Exists) {
        was.MTimeSec = *sec;
        was.MTimeNsec = *nsec;
        was.Size = *bytes;
        was.Inode = *inode;
      }
      if (!(Watch(was.Path) == was)) return false;
      FLoadedWatches.push_back(std::move(was));
    } else if (f[0] == "answer" && f.size() == 2) {
      // Written oldest first: the order of use carries over.
      TAnswer& kept = FAnswers[f[1]];
      kept.Used = ++FClock;
      answer = &kept.Members;
    } else if (f[0] == "member" && f.size() == 11 && answer != nullptr) {
      TFaceMember m;
      m.File = f[1];
      const auto index = Number(f[2]), weight = Number(f[6]), italic = Number(f[7]),
                 charset = Number(f[8]), pitch = Number(f[9]), type = Number(f[10]);
      if (!index || !weight || !italic || !charset || !pitch || !type) return false;
      m.Index = int(*index);
      m.Face = f[3];
      m.Style = f[4];
      m.FullName = f[5];
      m.Weight = int(*weight);
      m.Italic = *italic != 0;
      m.CharSet = std::uint8_t(*charset);
      m.PitchAndFamily = std::uint8_t(*pitch);
      m.FontType = int(*type);
      answer->push_back(std::move(m));
    } else {
      return false;
    }
  }
  return true;
}

void TFontAnswers::Add(const std::string& Question, std::vector<TFaceMember> Answer,
                       FcConfig* Config, long long LoadedAt) {
  FAnswers[Question] = {std::move(Answer), ++FClock};
  FAsked.insert(Question);
  if (!FFile.empty() && Config != nullptr && Question.size() <= MaxQuestionBytes)
    Save(Config, LoadedAt);
}

void TFontAnswers::Save(FcConfig* Config, long long LoadedAt) {
  // Font folders that do not exist are listed too, so their making is seen.
  std::set<std::string> paths;
  AddList(paths, FcConfigGetFontDirs(Config));
  // A configuration file made beside those read is seen by its folder's
  // change; the user's own places may not exist at all yet.
  std::set<std::string> configs;
  AddList(configs, FcConfigGetConfigFiles(Config));
  for (const std::string& p : configs) {
    paths.insert(p);
    paths.insert(Parent(p));
  }
  const std::string config = XdgFolder("XDG_CONFIG_HOME", ".config");
  if (!config.empty()) {
    paths.insert(config + "/fontconfig");
    paths.insert(config + "/fontconfig/fonts.conf");
    paths.insert(config + "/fontconfig/conf.d");
  }
  if (const std::string home = Getenv("HOME"); !home.empty()) {
    paths.insert(home + "/.fonts.conf");
    paths.insert(home + "/.fonts.conf.d");
  }

  std::string text = std::string(Header) + "\n";
  for (const std::string& entry : Environment())
    text += Line({"env", entry});
  std::vector<TWatched> watches;
  for (const std::string& path : paths) {
    const TWatched w = Watch(path);
    // Changed in the second fontconfig read it, or since: a later change in
    // that same second would not show in the time. Better not to keep it.
    if (w.Exists && w.MTimeSec >= LoadedAt - 1) return;
    text += w.Exists ? Line({"watch", std::to_string(w.MTimeSec), std::to_string(w.MTimeNsec),
                             std::to_string(w.Size), std::to_string(w.Inode), path})
                     : Line({"watch", "-1", "0", "0", "0", path});
    watches.push_back(w);
  }
  // Answers read from the file held for what was there then; if that has
  // changed since, only this process's answers go under the new stamp.
  if (watches != FLoadedWatches)
    std::erase_if(FAnswers, [&](const auto& answer) { return !FAsked.contains(answer.first); });
  std::vector<const std::pair<const std::string, TAnswer>*> kept;
  for (const auto& entry : FAnswers)
    if (entry.first.size() <= MaxQuestionBytes) kept.push_back(&entry);
  std::sort(kept.begin(), kept.end(),
            [](const auto* a, const auto* b) { return a->second.Used > b->second.Used; });
  if (kept.size() > MaxAnswers) kept.resize(MaxAnswers);
  for (auto entry = kept.rbegin(); entry != kept.rend(); ++entry) {
    text += Line({"answer", (*entry)->first});
    for (const TFaceMember& m : (*entry)->second.Members)
      text += Line({"member", m.File, std::to_string(m.Index), m.Face, m.Style, m.FullName,
                    std::to_string(m.Weight), m.Italic ? "1" : "0", std::to_string(m.CharSet),
                    std::to_string(m.PitchAndFamily), std::to_string(m.FontType)});
  }
  text += "end\t" + Checksum(text) + "\n";

  // Whole or not at all: readers never see a half-written file. Whatever
  // else is at the name (a pipe, a link) is not ours to write into.
  MakeFolders(FFile);
  ClearFolder(FFile);
  try {
    TAtomicFile file(FFile, TReplaceRule::WholeName);
    file.Write(text);
    file.Commit();
  } catch (const std::system_error&) {
    // Not kept this time: the answers are asked for again next run.
  }
}

} // namespace text_detail
