// Report files are replaced atomically: the bytes go to a temporary file in the target's own
// folder, which is then renamed over the target. A failure at any point leaves the target as
// it was (absent or the previous version) and removes the temporary file, so a reader of the
// report folder never sees a half-written page or image. A replaced file keeps the permission
// bits of the file it replaces.
//
// While a StagingArea is open, files inside its report folder are written into the staging
// folder instead and reach their places only when the whole report is done. While a
// KeepIdenticalFiles is open, a file whose new bytes equal the old ones is not replaced at all.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace barvik {

// The most bytes the temporary name adds to the name of the file it stands for: a leading
// ".", then ".<pid>-<counter>.tmp" with two numbers of up to ten digits each.
inline constexpr size_t kTemporaryNameExtra = 27;

class AtomicFile {
 public:
  // Creates the temporary file beside `target` (beside its staged place while a StagingArea
  // covers it). Throws FileError("Cannot create file <target>") when the folder does not
  // exist or is not writable.
  explicit AtomicFile(std::string target);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Removes the temporary file unless Commit succeeded.
  ~AtomicFile();

  // The open temporary file, for writers that need a C stream (libpng).
  FILE* stream() { return stream_; }

  // Appends bytes; throws FileError("Cannot create file <target>") on a write error.
  void Write(std::string_view bytes);

  // Closes the temporary file and renames it over the target (or its staged place). Throws
  // FileError("Cannot create file <target>") when the data cannot be flushed or the rename
  // fails (for instance when the target is a folder).
  void Commit();

  const std::string& target() const { return target_; }

 private:
  [[noreturn]] void Fail(int error_number);

  friend void WriteFileAtomically(const std::string& path, std::string_view bytes);

  std::string target_;     // the file being replaced
  std::string place_;      // where the finished file goes: the target or its staged place
  std::string temporary_;  // the file being written, in the folder of place_
  FILE* stream_ = nullptr;
  bool committed_ = false;
  bool compared_ = false;  // the bytes were found to differ before they were written
};

// The whole file `path` replaced by `bytes`, atomically as above. While a KeepIdenticalFiles
// is open, bytes that change nothing are told before any temporary file is made.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// True when two versions of a report file differ at most in their time stamp: the date and
// time of a classic page's footer, of a site page's footer, or the "generated" member of a
// JSON document. Everything else, the length of the time stamp's surroundings included,
// must match byte for byte.
bool SameApartFromTimeStamp(std::string_view a, std::string_view b);

// An incremental export: while one lives, an AtomicFile whose finished bytes are the same
// (SameApartFromTimeStamp) as those its target holds is dropped on Commit. The target keeps
// its bytes and modification time, nothing is staged for it, and web caches see no change.
// A file staged earlier in the same export is compared with its staged copy instead. One at a
// time per process.
class KeepIdenticalFiles {
 public:
  KeepIdenticalFiles();
  KeepIdenticalFiles(const KeepIdenticalFiles&) = delete;
  KeepIdenticalFiles& operator=(const KeepIdenticalFiles&) = delete;
  ~KeepIdenticalFiles();

  size_t written() const { return written_; }  // files committed with new contents
  size_t kept() const { return kept_; }        // files left as they were

  // True while one is open: the export runs incrementally.
  static bool InForce() { return open_ != nullptr; }
  // Counts a file that the export left as it was without writing it at all (an image the
  // render memo found unchanged).
  static void CountKept() {
    if (open_ != nullptr) ++open_->kept_;
  }

 private:
  friend class AtomicFile;
  friend void WriteFileAtomically(const std::string& path, std::string_view bytes);

  // True when `bytes` for `target` (to go to `place`) change nothing.
  static bool Unchanged(const std::string& target, const std::string& place,
                        std::string_view bytes);

  static KeepIdenticalFiles* open_;  // the one in force, or nullptr

  size_t written_ = 0;
  size_t kept_ = 0;
};

// A staging folder inside a report folder, for one export. While it is open, every
// AtomicFile whose target lies in the report folder or below it is written to the same
// relative path inside the staging folder. Publish() then moves the staged files into place,
// the last written first, so the pages that link the others ("players.html", "index.html")
// arrive after them. Without Publish (a failed export) the destructor removes the staging
// folder with everything in it, and the report folder is as it was.
//
// One staging area at a time per process; the caller holds the folder's ReportFolderLock, so
// no other run writes there meanwhile.
class StagingArea {
 public:
  // `folder`: the report folder, which must exist. Throws FileError("Cannot create file
  // <folder>...") when the staging folder cannot be made there.
  explicit StagingArea(const std::string& folder);
  StagingArea(const StagingArea&) = delete;
  StagingArea& operator=(const StagingArea&) = delete;
  ~StagingArea();

  // Moves every staged file over its target. Throws FileError("Cannot create file
  // <target>") for a target that cannot be replaced (a folder in its place); that is checked
  // for every file before the first one moves.
  void Publish();

  // True while one is open: files of its report folder go to the staging folder.
  static bool InForce() { return open_ != nullptr; }

  // Removes what killed runs left in `folder`: staging folders and the temporary files of
  // AtomicFile. Only for a caller that holds the folder's lock.
  static void RemoveLeftovers(const std::string& folder);

  // True for a file name of the form AtomicFile gives its temporary files.
  static bool IsTemporaryName(std::string_view file_name);

 private:
  friend class AtomicFile;
  friend void WriteFileAtomically(const std::string& path, std::string_view bytes);

  // Where a file for `target` is written: its staged place (parent folders made) when it lies
  // in the report folder, otherwise the target itself.
  std::string PlaceOf(const std::string& target) const;
  // The same without making folders.
  std::string StagedPlaceOf(const std::string& target) const;
  // A file for `target` was committed at `place`.
  void Staged(const std::string& target, const std::string& place);
  // Writes `bytes` for `target` at its staged `place` in one go. Throws FileError("Cannot
  // create file <target>") on a failure, which leaves no file at `place`.
  void WriteStaged(const std::string& target, const std::string& place, std::string_view bytes);

  static StagingArea* open_;  // the staging area files are routed into, or nullptr

  std::string folder_;   // the report folder, normalised, ending in "/"
  std::string staging_;  // the staging folder, ending in "/"
  std::vector<std::pair<std::string, std::string>> files_;  // target, staged place
  std::unordered_set<std::string> staged_places_;           // the places of files_
  std::unordered_set<std::string> made_folders_;            // staged folders made so far
  StagingArea* previous_ = nullptr;                         // the one open before this one
};

}  // namespace barvik
