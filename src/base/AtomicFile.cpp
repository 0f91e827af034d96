#include "base/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporaries being written, where a signal handler can read them: fixed
// slots of plain characters, each published by an atomic state. Saves nest
// (one may start from another's progress report), hence more than one.
enum TSlotState : int { Free, Filling, Live };
struct TPendingTemporary {
  std::atomic<int> State{Free};
  char Name[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");
TPendingTemporary Pending[8];

// The slot now holding Name, or -1 when every slot is taken (that save is
// then simply not cleaned up after a signal).
int RememberTemporary(const std::string& Name) {
  if (Name.size() >= PATH_MAX) return -1;
  for (int i = 0; i < int(std::size(Pending)); ++i) {
    int expected = Free;
    if (!Pending[i].State.compare_exchange_strong(expected, Filling)) continue;
    std::memcpy(Pending[i].Name, Name.c_str(), Name.size() + 1);
    Pending[i].State.store(Live, std::memory_order_release);
    return i;
  }
  return -1;
}

void ForgetTemporary(int& Slot) {
  if (Slot >= 0) Pending[Slot].State.store(Free, std::memory_order_release);
  Slot = -1;
}

void RemoveTemporariesAndEnd(int Signal) {
  for (TPendingTemporary& p : Pending)
    if (p.State.load(std::memory_order_acquire) == Live) ::unlink(p.Name);
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
  for (int attempt = 0; attempt < 1000 && FFd < 0; ++attempt) {
    FTempName = prefix + std::to_string(attempt) + ".tmp";
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
  FPendingSlot = RememberTemporary(FTempName);
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
  if (FFd < 0) Fail(EBADF, "Cannot write file", FFileName);
  const int fd = FFd;
  FFd = -1;
  const bool replacing = !FTempName.empty();
  int error = 0;
  if (replacing && ::fchmod(fd, mode_t(FMode)) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (replacing && error == 0 && ::rename(FTempName.c_str(), FTarget.c_str()) != 0) error = errno;
  if (error != 0) {
    Discard();
    Fail(error, "Cannot write file", FFileName);
  }
  ForgetTemporary(FPendingSlot);
  FTempName.clear();
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

void WriteFileAtomically(const std::string& FileName, std::span<const std::uint8_t> Bytes) {
  TAtomicFile file(FileName);
  file.Write(Bytes);
  file.Commit();
}

void WriteIntoNewFile(const std::string& FileName, std::span<const std::uint8_t> Bytes) {
  const int fd = ::open(FileName.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  struct stat st {};
  // Anything else under the name (a link, a file someone wrote meanwhile)
  // gets the careful way.
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0 ||
      st.st_nlink != 1) {
    if (fd >= 0) ::close(fd);
    WriteFileAtomically(FileName, Bytes);
    return;
  }
  try {
    WriteAll(fd, Bytes, FileName);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) Fail("Cannot write file", FileName);
}

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
