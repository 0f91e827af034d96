// Files written whole or not at all. The bytes go to a fresh temporary in the
// target's folder, which is renamed over the target only once everything is
// written: until then the old file is untouched, and a failure removes the
// temporary. What the replacement keeps of the target:
// - a symbolic link stays a link, and the file it points at gets the bytes;
// - a replaced file keeps its mode bits; a new one gets 0666 less the umask;
// - a target that is no regular file (a pipe, a terminal, /dev/stdout) cannot
//   be replaced and is written in place;
// - a read-only file is refused, as writing it in place would be.
// The data reaches the disk before the new name does, and the name before
// Commit returns, so a power cut too leaves the old file or the new one.
// Errors are std::system_error whose message names the file.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

enum class TReplaceRule {
  AsAbove,  // links written through, pipes and devices in place, read-only refused
  WholeName // whatever is at the name but a folder (a link, a pipe, a read-only
            // file) gives way to a new regular file: for a program's own files
};

class TAtomicBatch;

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
  // Done writing: Batch puts the file in place with its others.
  void Commit(TAtomicBatch& Batch);

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

// Files saved together, each whole or not at all as above, for the price of
// one flush to disk rather than one per file: every temporary is written
// first, then all their data is flushed at once, then they are renamed in the
// order given and each folder is flushed once. Without Commit (or for the
// files after one whose renaming failed) the targets stay as they were.
class TAtomicBatch {
public:
  TAtomicBatch() = default;
  ~TAtomicBatch();
  TAtomicBatch(const TAtomicBatch&) = delete;
  TAtomicBatch& operator=(const TAtomicBatch&) = delete;

  void Add(const std::string& FileName, std::span<const std::uint8_t> Bytes);
  // Told of a file whose renaming failed; true skips it and goes on with the
  // others, false throws its error.
  using TRefusal = std::function<bool(const std::string& FileName, const std::system_error& Error)>;
  void Commit(const TRefusal& Refuse = {});

private:
  friend class TAtomicFile;
  friend void WriteIntoNewFile(const std::string&, std::span<const std::uint8_t>, TAtomicBatch&);
  struct TEntry {
    std::string FileName, Target;
    std::string TempName; // empty for a file already written at its name
    int Slot = -1;
    int Fd = -1; // kept open in a small batch, which flushes file by file
  };
  void Hold(TEntry Entry);
  void Discard(std::size_t From) noexcept;

  std::vector<TEntry> FEntries;
};

void WriteFileAtomically(const std::string& FileName, std::span<const std::uint8_t> Bytes);

// For a file this save made empty a moment ago (as the name check of the
// export does): written in place while it is still that empty regular file,
// which spares a temporary and a rename per image; otherwise as above. When
// this throws, the caller removes the file it made. With a batch, its data
// and name reach the disk with the batch's.
void WriteIntoNewFile(const std::string& FileName, std::span<const std::uint8_t> Bytes);
void WriteIntoNewFile(const std::string& FileName, std::span<const std::uint8_t> Bytes,
                      TAtomicBatch& Batch);

// True when FileName can only mean a folder: it ends in "/", its last part is
// "." or "..", or a folder (or a link to one) is there. Such a name gets no
// file: "DIR" + ".gif" or "DIR/" + ".gif" is not what the user asked for.
bool NamesFolder(const std::string& FileName);

// Removes a file, quietly: for the empty file a failed save leaves behind.
void RemoveFileQuietly(const std::string& FileName) noexcept;

// For tests: told of each step of a save as it happens, in the saving thread.
enum class TSaveStep { TemporaryMade, DataFlushed, Renamed, FolderFlushed };
extern void (*SaveStepSeen)(TSaveStep Step, const std::string& Name);
