// The report folder of one export: the lock that keeps other runs out, the staging folder its
// files are written into and published from, and ReportOutput, the object every report writer
// writes its files through. Nothing here is process-wide: two outputs in one process do not
// see each other.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/FileError.h"

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
  // A file written again is published once, with its last bytes.
  void WriteStaged(const std::string& target, const std::string& place, std::string_view bytes);

  // Moves every staged file over its target. Throws FileError("Cannot create file
  // <target>") for a target that cannot be replaced (a folder in its place); that is checked
  // for every file before the first one moves.
  void Publish();

  // Removes what killed runs left in `folder`: staging folders and the temporary files of
  // report files (IsSharedTemporaryName); a publish cut short is completed first. Only for a caller
  // that holds the folder's lock.
  static void RemoveLeftovers(const std::string& folder);

 private:
  std::string folder_;   // the report folder, normalised, ending in "/"
  std::string staging_;  // the staging folder, ending in "/"
  std::vector<std::pair<std::string, std::string>> files_;  // target, staged place
  std::unordered_set<std::string> staged_places_;           // the places of files_
  std::unordered_set<std::string> made_folders_;            // staged folders made so far
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

// Where the files of a report go, and whether unchanged ones are rewritten. Every report
// writer takes one and writes each file with Write.
//
// A plain output replaces every file atomically (ReplaceFileWhole, TemporaryStyle::kShared). Once
// Stage is called, files inside that report folder go to its staging folder instead and reach their
// places only at Publish. A keep-identical output (an incremental export) drops a file whose bytes
// are the same (SameApartFromTimeStamp) as those its target holds: the target keeps its bytes and
// modification time, nothing is staged for it, and web caches see no change. A file staged
// earlier by the same output is compared with its staged copy instead.
class ReportOutput {
 public:
  explicit ReportOutput(bool keep_identical = false) : keep_identical_(keep_identical) {}
  ReportOutput(const ReportOutput&) = delete;
  ReportOutput& operator=(const ReportOutput&) = delete;

  // Stages the files of report folder `folder` from now on (see StagingArea). Throws
  // FileError when the staging folder cannot be made; files then go on to their places.
  void Stage(const std::string& folder);
  // Moves the staged files into place (StagingArea::Publish), once, after the last Write;
  // nothing without staging. The staging folder goes with the output.
  void Publish();

  // The whole file `path` replaced by `bytes`, or staged, or kept, as above. Throws
  // FileError("Cannot create file <path>") on a failure, which leaves the file as it was.
  void Write(const std::string& path, std::string_view bytes);

  // Counts a file that the export left as it was without writing it at all (an image the
  // render memo found unchanged).
  void CountKept() { ++counts_.kept; }

  bool keeps_identical() const { return keep_identical_; }
  bool staged() const { return staging_.has_value(); }
  const WriteCounts& counts() const { return counts_; }

 private:
  // True when `bytes` for `target` (to go to `place`) change nothing.
  static bool Unchanged(const std::string& target, const std::string& place,
                        std::string_view bytes);

  bool keep_identical_ = false;
  std::optional<StagingArea> staging_;  // the staging folder files are routed into, if any
  WriteCounts counts_;
};

}  // namespace barvik
