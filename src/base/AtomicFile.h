// Files written whole or not at all. The bytes go to a fresh temporary in the
// target's folder, which is renamed over the target only once everything is
// written: until then the old file is untouched, and a failure removes the
// temporary. What the replacement keeps of the target:
// - a symbolic link stays a link, and the file it points at gets the bytes;
// - a replaced file keeps its mode bits; a new one gets 0666 less the umask;
// - a target that is no regular file (a pipe, a terminal, /dev/stdout) cannot
//   be replaced and is written in place;
// - a read-only file is refused, as writing it in place would be.
// Errors are std::system_error whose message names the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

enum class TReplaceRule {
  AsAbove,  // links written through, pipes and devices in place, read-only refused
  WholeName // whatever is at the name but a folder (a link, a pipe, a read-only
            // file) gives way to a new regular file: for a program's own files
};

class TAtomicFile {
public:
  // Makes the temporary at once, so a target that cannot be written fails
  // before anything else of the save happens.
  explicit TAtomicFile(std::string FileName, TReplaceRule Rule = TReplaceRule::AsAbove);
  ~TAtomicFile(); // without Commit: the target stays as it was
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  void Write(std::string_view Bytes);
  void Write(std::span<const std::uint8_t> Bytes);
  // Puts the file in place.
  void Commit();

private:
  void Discard() noexcept;

  std::string FFileName; // as the caller named it, for messages
  std::string FTarget;   // where the bytes end up: a link's file, followed
  std::string FTempName; // empty when writing in place
  int FPendingSlot = -1; // where a signal finds the temporary to remove
  int FFd = -1;
  unsigned FMode = 0;
};

// A program that saves calls this once at its start: then SIGINT, SIGTERM and
// SIGHUP remove the temporaries of saves under way before the process ends as
// the signal asks. A signal the process ignores stays ignored.
void RemoveTemporariesOnSignals();

void WriteFileAtomically(const std::string& FileName, std::span<const std::uint8_t> Bytes);

// For a file this save made empty a moment ago (as the name check of the
// export does): written in place while it is still that empty regular file,
// which spares a temporary and a rename per image; otherwise as above. When
// this throws, the caller removes the file it made.
void WriteIntoNewFile(const std::string& FileName, std::span<const std::uint8_t> Bytes);

// True when FileName can only mean a folder: it ends in "/", its last part is
// "." or "..", or a folder (or a link to one) is there. Such a name gets no
// file: "DIR" + ".gif" or "DIR/" + ".gif" is not what the user asked for.
bool NamesFolder(const std::string& FileName);

// Removes a file, quietly: for the empty file a failed save leaves behind.
void RemoveFileQuietly(const std::string& FileName) noexcept;
