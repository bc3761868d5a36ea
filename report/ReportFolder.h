// The report folder of one export: the lock that keeps other runs out, the staging folder its
// files are written into and published from, and ReportOutput, the object every report writer
// writes its files through. Nothing here is process-wide: two outputs in one process do not
// see each other.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/FileError.h"
#include "core/WorkerPool.h"

namespace barvik {

// The lock file of a report folder.
inline constexpr std::string_view kLockFileName = ".barvik.lock";

// Another run holds the report folder: "Report folder <folder> is in use".
class ReportFolderBusy : public FileError {
 public:
  explicit ReportFolderBusy(const std::string& folder)
      : FileError("Report folder " + folder + " is in use") {}

 protected:
  ReportFolderBusy(const std::string& message, std::string reason)
      : FileError(message, std::move(reason)) {}
};

// The lock file of a writable report folder cannot be opened (another user's, a folder or a
// symbolic link in its place): "Cannot lock report folder <folder>", with the reason. The
// run stops as when the folder is in use, since it could not keep others out.
class ReportFolderUnlockable : public ReportFolderBusy {
 public:
  ReportFolderUnlockable(const std::string& folder, std::string reason)
      : ReportFolderBusy("Cannot lock report folder " + folder, std::move(reason)) {}
};

// An advisory lock (flock) on the lock file of a report folder, held while it lives. Waits up
// to `wait_seconds` for another run to let go, then throws ReportFolderBusy naming
// `shown_name`. A lock file that exists but cannot be opened, or cannot be made in a folder
// this user may write, throws ReportFolderUnlockable; a symbolic link there is never
// followed. A folder that cannot be written at all gives no lock and no error: the export's
// first write then fails with its own message.
class ReportFolderLock {
 public:
  // `waiting`, when set, is called between tries; it may throw to give up (a stop signal).
  ReportFolderLock(const std::string& folder, double wait_seconds, const std::string& shown_name,
                   const std::function<void()>& waiting = {});
  ReportFolderLock(const ReportFolderLock&) = delete;
  ReportFolderLock& operator=(const ReportFolderLock&) = delete;
  ~ReportFolderLock();

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;  // the open lock file, or -1
};

// A staging folder inside a report folder, for one export. Files whose target lies in the
// report folder or below it are written (WriteStaged) to the same relative path inside the
// staging folder. Publish() then moves the staged files into place, the last written first,
// so the pages that link the others ("players.html", "index.html") arrive after them. Without
// Publish (a failed export) the destructor removes the staging folder with everything in it,
// and the report folder is as it was.
//
// The caller holds the folder's ReportFolderLock, so no other run writes there meanwhile.
class StagingArea {
 public:
  // `folder`: the report folder, which must exist. Throws FileError("Cannot create file
  // <folder>...") when the staging folder cannot be made there.
  explicit StagingArea(const std::string& folder);
  StagingArea(const StagingArea&) = delete;
  StagingArea& operator=(const StagingArea&) = delete;
  ~StagingArea();

  // Where a file for `target` is staged: the same relative path inside the staging folder
  // when it lies in the report folder, otherwise `target` itself.
  std::string StagedPlaceOf(const std::string& target) const;

  // Writes `bytes` for `target` at its staged `place` in one go, its folders made. Throws
  // FileError("Cannot create file <target>") on a failure, which leaves no file at `place`.
  // A file written again is published once, with its last bytes. `order`: where the file
  // stands among the writes (they may finish in another order on worker threads); Publish
  // goes by it. Safe to call from several threads for different places.
  void WriteStaged(const std::string& target, const std::string& place, std::string_view bytes,
                   uint64_t order);
  // The same in steps, for a file written piece by piece: OpenStaged opens a new file at
  // `place`, its folders made (throws as WriteStaged), and AddStaged lists it once it is
  // written whole.
  int OpenStaged(const std::string& target, const std::string& place);
  void AddStaged(const std::string& target, const std::string& place, uint64_t order);

  // Moves every staged file over its target. Throws FileError("Cannot create file
  // <target>") for a target that cannot be replaced (a folder in its place); that is checked
  // for every file before the first one moves.
  void Publish();

  // Removes what killed runs left in `folder`: staging folders and the temporary files of
  // report files (IsSharedTemporaryName); a publish cut short is completed first. Only for a caller
  // that holds the folder's lock.
  static void RemoveLeftovers(const std::string& folder);

 private:
  struct Staged {
    uint64_t order = 0;
    std::string target;
    std::string place;
  };

  std::string folder_;   // the report folder, normalised, ending in "/"
  std::string staging_;  // the staging folder, ending in "/"
  std::mutex mutex_;     // guards what follows: WriteStaged runs on worker threads
  std::vector<Staged> files_;
  std::unordered_set<std::string> staged_places_;  // the places of files_
  std::unordered_set<std::string> made_folders_;   // staged folders made so far
};

// True when two versions of a report file differ at most in their time stamp: the date and
// time of a classic page's footer, of a site page's footer, or the "generated" member of a
// JSON document. Everything else, the length of the time stamp's surroundings included,
// must match byte for byte.
bool SameApartFromTimeStamp(std::string_view a, std::string_view b);

// What an output did: files written with new contents, and files left as they were.
struct WriteCounts {
  size_t written = 0;
  size_t kept = 0;
};

class ReportOutput;

// One report file written piece by piece as it is made, so that it is never held whole
// (games.json, stats.json). Made by ReportOutput::Open; the file is that output's like any
// other: staged, counted, published with the rest.
//
// In a staged output the pieces go to the file's staged place a buffer at a time, and Close
// lists it for publishing in the order Close was called, as a Write there would. A
// keep-identical output compares each buffer with the target's bytes at the same place as it
// goes and stages nothing while they are the same; the file is JSON, whose time stamp (its
// "generated" value) lies in the first buffer. At the first difference the staged file gets
// the bytes so far and the rest follows as it comes; if all were the same apart from the
// stamp, the target is kept, as at a Write. (A streamed file is compared with its target, not
// with a copy the same output staged earlier.) Without staging the pieces gather in memory and
// Close hands them to Write. A failure throws FileError("Cannot create file <path>") from Append or
// Close and leaves nothing staged; a stream that goes without Close (a failure elsewhere) removes
// its staged part.
class ReportFileStream {
 public:
  ReportFileStream(const ReportFileStream&) = delete;
  ReportFileStream& operator=(const ReportFileStream&) = delete;
  ~ReportFileStream();

  void Append(std::string_view bytes);
  // Bytes appended so far.
  uint64_t size() const { return written_ + buffer_.size(); }
  // Ends the file; once only.
  void Close();

 private:
  friend class ReportOutput;
  ReportFileStream(ReportOutput& output, std::string path);
  static constexpr size_t kPiece = size_t{1} << 20;

  // Opens the staged file; on a failure lets go of its place and throws.
  void OpenStaged();
  // Writes the buffer to the staged file, or compares it while comparing_; on a failure
  // removes the staged file and throws.
  void Flush();
  void WriteOut(std::string_view bytes);
  // True when the buffer holds the target's bytes where it will lie (in the first piece, the
  // stamp aside); moves past them.
  bool SameAsTarget();
  // Ends the comparison at the first difference: stages the bytes taken so far, which are
  // the first piece as held and the target's bytes after it up to `old_upto`.
  void StopComparing(uint64_t old_upto);
  // Closes and removes the staged file and lets go of its place.
  void Abandon();

  ReportOutput& output_;
  std::string path_;
  std::string place_;  // the staged place, when written as it goes
  int fd_ = -1;        // the staged file, open while written as it goes
  std::string buffer_;
  bool closed_ = false;
  uint64_t written_ = 0;  // bytes taken from the buffer (staged, or found the same)
  // A keep-identical output's comparison: the target open for reading, whether every byte so
  // far was the target's (the stamp aside) so that nothing is staged yet, where the next
  // buffer's bytes lie in the target, the first piece held back, and where the target's bytes
  // after it begin.
  int old_fd_ = -1;
  uint64_t old_size_ = 0;
  bool comparing_ = false;
  uint64_t old_at_ = 0;
  std::string head_;
  uint64_t head_old_end_ = 0;
  std::string old_bytes_;
};

// Where the files of a report go, and whether unchanged ones are rewritten. Every report
// writer takes one and writes each file with Write.
//
// A plain output replaces every file atomically (ReplaceFileWhole, TemporaryStyle::kShared). Once
// Stage is called, files inside that report folder go to its staging folder instead and reach their
// places only at Publish. A keep-identical output (an incremental export) drops a file whose bytes
// are the same (SameApartFromTimeStamp) as those its target holds: the target keeps its bytes and
// modification time, nothing is staged for it, and web caches see no change. A file staged
// earlier by the same output is compared with its staged copy instead (a streamed file, with
// its target: see ReportFileStream).
//
// With WriteOn, Write only hands the file to worker threads, which open, write and close it;
// Write may then be called from several threads. A file written again waits for its earlier
// write, so the last bytes win. The failure of the earliest write that failed (in the order
// the writes were handed over) is thrown by the next Write, by Wait and by Publish, each time
// once the writes under way have ended; nothing is published after a failure.
class ReportOutput {
 public:
  explicit ReportOutput(bool keep_identical = false) : keep_identical_(keep_identical) {}
  ReportOutput(const ReportOutput&) = delete;
  ReportOutput& operator=(const ReportOutput&) = delete;
  // Waits for the writes under way, so the staging folder goes with nothing left writing in it.
  ~ReportOutput();

  // Stages the files of report folder `folder` from now on (see StagingArea). Throws
  // FileError when the staging folder cannot be made; files then go on to their places.
  void Stage(const std::string& folder);
  // Hands the writes to `workers` from now on, holding up to `queued_bytes` of files not yet
  // written before a Write waits. `workers` must outlive the output.
  void WriteOn(WorkerPool& workers, size_t queued_bytes = size_t{8} << 20);
  // Moves the staged files into place (StagingArea::Publish), once, after the last Write;
  // nothing without staging. The staging folder goes with the output.
  void Publish();

  // The whole file `path` replaced by `bytes`, or staged, or kept, as above. Throws
  // FileError("Cannot create file <path>") on a failure, which leaves the file as it was.
  // Taken by value: a worker writes the caller's own buffer, moved in, not a copy.
  void Write(const std::string& path, std::string bytes);
  // The same, written on the calling thread even with workers: a failure is thrown here and
  // only here (for optional files whose failure the caller lets pass).
  void WriteHere(const std::string& path, std::string_view bytes);
  // Waits until every file handed to the workers is written; throws the earliest failure.
  void Wait();
  // `path` written piece by piece (see ReportFileStream); the output must outlive it.
  std::unique_ptr<ReportFileStream> Open(const std::string& path);

  // Counts a file that the export left as it was without writing it at all (an image the
  // render memo found unchanged).
  void CountKept();

  bool keeps_identical() const { return keep_identical_; }
  bool staged() const { return staging_.has_value(); }
  WriteCounts counts() const;

 private:
  friend class ReportFileStream;
  // The place `path` is written to: its staged place, or `path` itself.
  std::string PlaceOf(const std::string& path) const;
  // Waits, `lock` held, until no write of `place` is under way; gives the next write's order.
  uint64_t Claim(std::unique_lock<std::mutex>& lock, const std::string& place);
  // Writes (or keeps) one file on the calling thread.
  void WriteFile(const std::string& path, const std::string& place, std::string_view bytes,
                 uint64_t order);
  // Waits, `lock` held, for the writes under way, then throws the earliest failure, if any.
  void ThrowFailure(std::unique_lock<std::mutex>& lock);
  // True when `bytes` for `target` (to go to `place`) change nothing.
  static bool Unchanged(const std::string& target, const std::string& place,
                        std::string_view bytes);

  bool keep_identical_ = false;
  std::optional<StagingArea> staging_;  // the staging folder files are routed into, if any
  WorkerPool* workers_ = nullptr;       // where the writes go, if anywhere
  size_t queue_limit_ = 0;

  mutable std::mutex mutex_;  // guards what follows
  std::condition_variable changed_;
  WriteCounts counts_;
  uint64_t next_order_ = 0;
  size_t in_flight_ = 0;     // writes handed to the workers and not ended
  size_t queued_bytes_ = 0;  // their bytes
  std::unordered_set<std::string> busy_places_;
  std::exception_ptr failure_;  // the earliest failed write's error
  uint64_t failure_order_ = 0;
};

}  // namespace barvik
