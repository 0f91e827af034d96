#include "export/ExportFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& What, const std::string& FileName) {
  throw std::system_error(errno, std::generic_category(), What + " " + FileName);
}

std::string TempNameFor(const std::string& FileName) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = FileName.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : FileName.substr(0, slash + 1);
  // Not built from the target's name, so a long name still gets a temporary.
  return folder + ".glyptika-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1)) + ".tmp";
}

} // namespace

TAtomicFile::TAtomicFile(std::string FileName) : FFileName(std::move(FileName)) {
  for (int attempt = 0; attempt < 100 && FFd < 0; ++attempt) {
    FTempName = TempNameFor(FFileName);
    FFd = ::open(FTempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (FFd < 0 && errno != EEXIST) Fail("Cannot create file", FFileName);
  }
  if (FFd < 0) Fail("Cannot create file", FFileName);
}

TAtomicFile::~TAtomicFile() {
  Discard();
}

void TAtomicFile::Write(std::string_view Bytes) {
  while (!Bytes.empty()) {
    const ssize_t n = ::write(FFd, Bytes.data(), Bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = errno;
      Discard();
      errno = error;
      Fail("Cannot write file", FFileName);
    }
    Bytes.remove_prefix(std::size_t(n));
  }
}

void TAtomicFile::Commit() {
  const int fd = FFd;
  FFd = -1;
  if (::close(fd) != 0 || ::rename(FTempName.c_str(), FFileName.c_str()) != 0) {
    const int error = errno;
    ::unlink(FTempName.c_str());
    FTempName.clear();
    errno = error;
    Fail("Cannot write file", FFileName);
  }
  FTempName.clear();
}

void TAtomicFile::Discard() noexcept {
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
  if (!FTempName.empty()) ::unlink(FTempName.c_str());
  FTempName.clear();
}

void WriteIntoNewFile(const std::string& FileName, std::span<const std::uint8_t> Bytes) {
  const int fd = ::open(FileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) Fail("Cannot write file", FileName);
  while (!Bytes.empty()) {
    const ssize_t n = ::write(fd, Bytes.data(), Bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      Fail("Cannot write file", FileName);
    }
    Bytes = Bytes.subspan(std::size_t(n));
  }
  if (::close(fd) != 0) Fail("Cannot write file", FileName);
}

void RemoveFileQuietly(const std::string& FileName) noexcept {
  ::unlink(FileName.c_str());
}
