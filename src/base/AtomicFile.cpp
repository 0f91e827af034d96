#include "base/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporaries not yet in place, where a signal handler can read them:
// slots of atomic pointers to names, in chunks made as a batch needs them
// and kept for the process's life, so the handler never sees one go.
constexpr int SlotsPerChunk = 1024;
constexpr int Chunks = 64;
struct TChunk {
  std::atomic<char*> Names[SlotsPerChunk] = {};
};
static_assert(std::atomic<char*>::is_always_lock_free, "read from a signal handler");
std::atomic<TChunk*> Registry[Chunks] = {};
std::atomic<int> SearchFrom{0};
// A save made while none is under way tries the names from number 0; one
// made while others are (a batch's next file) goes on after their numbers
// rather than trying every name they took.
std::atomic<int> LiveTemporaries{0};
std::atomic<unsigned> NextTemporary{0};

// The slot now holding Name, or -1 when every slot is taken (that save is
// then simply not cleaned up after a signal).
int RememberTemporary(const std::string& Name) {
  char* copy = new char[Name.size() + 1];
  std::memcpy(copy, Name.c_str(), Name.size() + 1);
  constexpr int slots = SlotsPerChunk * Chunks;
  const int from = SearchFrom.load(std::memory_order_relaxed);
  for (int n = 0; n < slots; ++n) {
    const int i = (from + n) % slots;
    std::atomic<TChunk*>& home = Registry[i / SlotsPerChunk];
    TChunk* chunk = home.load(std::memory_order_acquire);
    if (!chunk) {
      TChunk* fresh = new TChunk;
      if (home.compare_exchange_strong(chunk, fresh, std::memory_order_acq_rel))
        chunk = fresh;
      else
        delete fresh; // another thread's chunk is in chunk now
    }
    char* expected = nullptr;
    if (chunk->Names[i % SlotsPerChunk].compare_exchange_strong(expected, copy,
                                                                std::memory_order_acq_rel)) {
      SearchFrom.store((i + 1) % slots, std::memory_order_relaxed);
      ++LiveTemporaries;
      return i;
    }
  }
  delete[] copy;
  return -1;
}

void ForgetTemporary(int& Slot) {
  if (Slot >= 0) {
    TChunk* chunk = Registry[Slot / SlotsPerChunk].load(std::memory_order_acquire);
    delete[] chunk->Names[Slot % SlotsPerChunk].exchange(nullptr, std::memory_order_acq_rel);
    --LiveTemporaries;
  }
  Slot = -1;
}

// INT, TERM and HUP held back while a temporary exists unrecorded: a signal
// then arrives once its name can be found and removed.
class TSignalsHeld {
public:
  TSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
      sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &FOld);
  }
  ~TSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &FOld, nullptr); }
  TSignalsHeld(const TSignalsHeld&) = delete;
  TSignalsHeld& operator=(const TSignalsHeld&) = delete;

private:
  sigset_t FOld;
};

void Seen(TSaveStep Step, const std::string& Name) {
  if (SaveStepSeen) SaveStepSeen(Step, Name);
}

void RemoveTemporariesAndEnd(int Signal) {
  for (const std::atomic<TChunk*>& home : Registry)
    if (const TChunk* chunk = home.load(std::memory_order_acquire))
      for (const std::atomic<char*>& name : chunk->Names)
        if (const char* p = name.load(std::memory_order_acquire)) ::unlink(p);
  // The signal is blocked while its handler runs: raised again, it ends the
  // process as soon as the handler returns, with the status the sender expects.
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

[[noreturn]] void Fail(int Error, const std::string& What, const std::string& FileName) {
  throw std::system_error(Error, std::generic_category(), What + " " + FileName);
}
[[noreturn]] void Fail(const std::string& What, const std::string& FileName) {
  Fail(errno, What, FileName);
}

std::string FolderOf(const std::string& Path) {
  const std::size_t slash = Path.rfind('/');
  return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

// Where the bytes for Path belong: the file at the end of its chain of links,
// which may not exist yet (a dangling link is written through as well).
std::string FollowLinks(std::string Path, const std::string& FileName) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(Path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return Path;
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(Path.c_str(), buffer, sizeof buffer);
    if (n < 0 || std::size_t(n) >= sizeof buffer)
      Fail(n < 0 ? errno : ENAMETOOLONG, "Cannot follow link", FileName);
    const std::string to(buffer, std::size_t(n));
    Path = to.starts_with('/') ? to : FolderOf(Path) + to;
  }
  Fail(ELOOP, "Cannot follow link", FileName);
}

// The mode a file made by open(..., 0666) would get.
unsigned NewFileMode() {
  unsigned mask = 0;
  bool known = false;
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (!known && std::fgets(line, sizeof line, status))
      known = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
  }
  if (!known) {
    mask = ::umask(022);
    ::umask(mode_t(mask));
  }
  return 0666u & ~mask;
}

void WriteAll(int Fd, std::span<const std::uint8_t> Bytes, const std::string& FileName) {
  while (!Bytes.empty()) {
    const ssize_t n = ::write(Fd, Bytes.data(), Bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(n < 0 ? errno : EIO, "Cannot write file", FileName);
    Bytes = Bytes.subspan(std::size_t(n));
  }
}

} // namespace

TAtomicFile::TAtomicFile(std::string FileName, TReplaceRule Rule) : FFileName(std::move(FileName)) {
  const bool whole = Rule == TReplaceRule::WholeName;
  struct stat st {};
  const bool exists =
      (whole ? ::lstat(FFileName.c_str(), &st) : ::stat(FFileName.c_str(), &st)) == 0;
  if (!exists && errno != ENOENT) Fail("Cannot write file", FFileName);
  if (exists && S_ISDIR(st.st_mode)) Fail(EISDIR, "Cannot write file", FFileName);
  if (whole) {
    FTarget = FFileName;
    FMode = exists && S_ISREG(st.st_mode) ? unsigned(st.st_mode & 0777) | 0600u : NewFileMode();
  } else if (exists && !S_ISREG(st.st_mode)) {
    // A pipe or a device cannot be replaced: its reader is on this very node.
    FTarget = FFileName;
    FFd = ::open(FFileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (FFd < 0) Fail("Cannot write file", FFileName);
    return;
  } else {
    // A file no one may write is refused even where this process could replace it.
    if (exists && ((st.st_mode & 0222) == 0 || ::access(FFileName.c_str(), W_OK) != 0))
      Fail(EACCES, "Cannot write read-only file", FFileName);
    FTarget = FollowLinks(FFileName, FFileName);
    FMode = exists ? unsigned(st.st_mode & 07777) : NewFileMode();
  }

  // The temporary's name is short whatever the target's, so any name that
  // can be saved at all can be saved; made new, it never follows a link.
  const std::string prefix = FolderOf(FTarget) + ".glyptika-" + std::to_string(::getpid()) + "-";
  {
    const TSignalsHeld held;
    const unsigned first = LiveTemporaries == 0 ? 0 : NextTemporary.load();
    for (unsigned attempt = 0; attempt < 1000 && FFd < 0; ++attempt) {
      FTempName = prefix + std::to_string(first + attempt) + ".tmp";
      NextTemporary = first + attempt + 1;
      FFd = ::open(FTempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (FFd < 0 && errno != EEXIST) {
        const int error = errno;
        FTempName.clear();
        Fail(error, "Cannot create file", FFileName);
      }
    }
    if (FFd < 0) {
      FTempName.clear();
      Fail(EEXIST, "Cannot create file", FFileName);
    }
    Seen(TSaveStep::TemporaryMade, FTempName);
    FPendingSlot = RememberTemporary(FTempName);
  }
  if (!whole && exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
    // Keeps the owner where this process may; elsewhere the file becomes its own.
    [[maybe_unused]] const int kept = ::fchown(FFd, st.st_uid, st.st_gid);
  }
}

TAtomicFile::~TAtomicFile() {
  Discard();
}

void TAtomicFile::Write(std::string_view Bytes) {
  Write(std::span(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size()));
}

void TAtomicFile::Write(std::span<const std::uint8_t> Bytes) {
  if (FFd < 0) Fail(EBADF, "Cannot write file", FFileName);
  try {
    WriteAll(FFd, Bytes, FFileName);
  } catch (...) {
    Discard();
    throw;
  }
}

void TAtomicFile::Commit() {
  TAtomicBatch alone;
  Commit(alone);
  alone.Commit();
}

void TAtomicFile::Commit(TAtomicBatch& Batch) {
  if (FFd < 0) Fail(EBADF, "Cannot write file", FFileName);
  const int fd = FFd;
  FFd = -1;
  if (FTempName.empty()) { // a pipe or a device: nothing to rename or flush
    if (::close(fd) != 0) Fail("Cannot write file", FFileName);
    return;
  }
  if (::fchmod(fd, mode_t(FMode)) != 0) {
    const int error = errno;
    ::close(fd);
    Discard();
    Fail(error, "Cannot write file", FFileName);
  }
  TAtomicBatch::TEntry entry{FFileName, FTarget, std::move(FTempName), FPendingSlot, fd};
  FTempName.clear();
  FPendingSlot = -1;
  Batch.Hold(std::move(entry));
}

void TAtomicFile::Discard() noexcept {
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
  if (!FTempName.empty()) ::unlink(FTempName.c_str());
  ForgetTemporary(FPendingSlot);
  FTempName.clear();
}

void RemoveTemporariesOnSignals() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

namespace {

// Up to this many files are flushed one by one; more, and one flush of their
// file system costs less than theirs.
constexpr std::size_t SmallBatch = 8;

// A folder of a batch's files, open for flushing. Fd is -1 where it cannot be
// opened (no read permission): that file system is then flushed by sync().
struct TFolder {
  std::string Path;
  int Fd = -1;
  dev_t Device = 0;
  bool Changed = false;
};

class TFolders {
public:
  ~TFolders() {
    for (const TFolder& f : FList)
      if (f.Fd >= 0) ::close(f.Fd);
  }
  TFolder& Of(const std::string& Target) {
    const std::string path = FolderOf(Target).empty() ? "." : FolderOf(Target);
    for (TFolder& f : FList)
      if (f.Path == path) return f;
    TFolder& f = FList.emplace_back();
    f.Path = path;
    f.Fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (f.Fd >= 0 && ::fstat(f.Fd, &st) == 0) f.Device = st.st_dev;
    return f;
  }
  std::vector<TFolder>& List() { return FList; }

private:
  std::vector<TFolder> FList;
};

// File systems that cannot flush a folder keep no order to flush.
bool CannotFlush(int Error) {
  return Error == EINVAL || Error == EOPNOTSUPP || Error == ENOTSUP;
}

} // namespace

TAtomicBatch::~TAtomicBatch() {
  Discard(0);
}

void TAtomicBatch::Add(const std::string& FileName, std::span<const std::uint8_t> Bytes) {
  TAtomicFile file(FileName);
  file.Write(Bytes);
  file.Commit(*this);
}

void TAtomicBatch::Hold(TEntry Entry) {
  FEntries.push_back(std::move(Entry));
  if (FEntries.size() <= SmallBatch) return;
  // A large batch flushes its file systems whole: no file needs staying open.
  TEntry& last = FEntries.back();
  if (last.Fd >= 0 && ::close(std::exchange(last.Fd, -1)) != 0) {
    const int error = errno;
    const std::string fileName = last.FileName;
    Discard(FEntries.size() - 1);
    FEntries.pop_back();
    Fail(error, "Cannot write file", fileName);
  }
  for (TEntry& e : FEntries)
    if (e.Fd >= 0) ::close(std::exchange(e.Fd, -1));
}

void TAtomicBatch::Discard(std::size_t From) noexcept {
  for (std::size_t i = From; i < FEntries.size(); ++i) {
    TEntry& e = FEntries[i];
    if (e.Fd >= 0) ::close(e.Fd);
    e.Fd = -1;
    if (!e.TempName.empty()) ::unlink(e.TempName.c_str());
    ForgetTemporary(e.Slot);
  }
}

void TAtomicBatch::Commit(const TRefusal& Refuse) {
  std::vector<TEntry> entries = std::move(FEntries);
  FEntries.clear();
  // Whatever leaves early: the temporaries not yet in place go.
  struct TRest {
    TAtomicBatch& Batch;
    std::vector<TEntry>& Entries;
    std::size_t From = 0;
    ~TRest() {
      Batch.FEntries = std::move(Entries);
      Batch.Discard(From);
      Batch.FEntries.clear();
    }
  } rest{*this, entries};

  TFolders folders;
  for (const TEntry& e : entries)
    folders.Of(e.Target);

  // The data first: a name must never reach the disk before its bytes.
  bool smallBatch = true;
  for (const TEntry& e : entries)
    smallBatch = smallBatch && e.Fd >= 0;
  if (smallBatch) {
    for (TEntry& e : entries) {
      int error = ::fdatasync(e.Fd) == 0 || CannotFlush(errno) ? 0 : errno;
      if (::close(std::exchange(e.Fd, -1)) != 0 && error == 0) error = errno;
      if (error != 0) Fail(error, "Cannot write file", e.FileName);
      Seen(TSaveStep::DataFlushed, e.FileName);
    }
  } else {
    bool everything = false;
    std::vector<dev_t> flushed;
    for (const TFolder& f : folders.List()) {
      if (f.Fd < 0) {
        everything = true;
        continue;
      }
      if (std::find(flushed.begin(), flushed.end(), f.Device) != flushed.end()) continue;
      flushed.push_back(f.Device);
      if (::syncfs(f.Fd) != 0) Fail("Cannot write file", entries.front().FileName);
      Seen(TSaveStep::DataFlushed, f.Path);
    }
    if (everything) ::sync();
  }

  for (std::size_t i = 0; i < entries.size(); ++i) {
    TEntry& e = entries[i];
    rest.From = i + 1;
    if (!e.TempName.empty() && ::rename(e.TempName.c_str(), e.Target.c_str()) != 0) {
      const std::system_error error(errno, std::generic_category(),
                                    "Cannot write file " + e.FileName);
      ::unlink(e.TempName.c_str());
      ForgetTemporary(e.Slot);
      if (Refuse && Refuse(e.FileName, error)) continue;
      throw error;
    }
    ForgetTemporary(e.Slot);
    folders.Of(e.Target).Changed = true;
    if (!e.TempName.empty()) Seen(TSaveStep::Renamed, e.FileName);
  }

  bool everything = false;
  for (const TFolder& f : folders.List()) {
    if (!f.Changed) continue;
    if (f.Fd < 0) {
      everything = true;
      continue;
    }
    if (::fsync(f.Fd) != 0 && !CannotFlush(errno)) Fail("Cannot write into folder", f.Path);
    Seen(TSaveStep::FolderFlushed, f.Path);
  }
  if (everything) ::sync();
}

void WriteFileAtomically(const std::string& FileName, std::span<const std::uint8_t> Bytes) {
  TAtomicFile file(FileName);
  file.Write(Bytes);
  file.Commit();
}

void WriteIntoNewFile(const std::string& FileName, std::span<const std::uint8_t> Bytes) {
  TAtomicBatch alone;
  WriteIntoNewFile(FileName, Bytes, alone);
  alone.Commit();
}

void WriteIntoNewFile(const std::string& FileName, std::span<const std::uint8_t> Bytes,
                      TAtomicBatch& Batch) {
  const int fd = ::open(FileName.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  struct stat st {};
  // Anything else under the name (a link, a file someone wrote meanwhile)
  // gets the careful way.
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0 ||
      st.st_nlink != 1) {
    if (fd >= 0) ::close(fd);
    TAtomicFile file(FileName);
    file.Write(Bytes);
    file.Commit(Batch);
    return;
  }
  try {
    WriteAll(fd, Bytes, FileName);
  } catch (...) {
    ::close(fd);
    throw;
  }
  // Its name is new too: the batch flushes it with the folder.
  Batch.Hold({FileName, FileName, std::string(), -1, fd});
}

void (*SaveStepSeen)(TSaveStep Step, const std::string& Name) = nullptr;

void RemoveFileQuietly(const std::string& FileName) noexcept {
  ::unlink(FileName.c_str());
}

bool NamesFolder(const std::string& FileName) {
  if (FileName.empty() || FileName.back() == '/') return true;
  const std::size_t slash = FileName.rfind('/');
  const std::string_view last =
      std::string_view(FileName).substr(slash == std::string::npos ? 0 : slash + 1);
  if (last == "." || last == "..") return true;
  struct stat st {};
  return ::stat(FileName.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
