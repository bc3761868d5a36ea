// RenderMemo: what an export remembers of the images it left in one report folder, so that the
// next incremental one may leave an image as it is instead of drawing and encoding it again.
// For each image file it keeps the fingerprint of everything the pixels were drawn from (the
// caller computes it) and the file as the export left it: size, modification time in
// nanoseconds, inode and a hash of its bytes.
//
// The memo is a cache outside the report folder: one file per report folder, in a folder of the
// caller's choosing that names it (the cache folder: RenderMemoPath), so the report folder
// holds the same files as after a fresh export. It never decides on its own word: an image may be
// left only when its fingerprint is the recorded one and the file on disk is still the recorded
// one, its bytes included. A memo file that is missing, damaged, truncated, of another format
// version or of another report folder reads as empty; a memo folder that is missing or cannot
// be written turns the memo off. No failure of the memo fails an export.
//
// Beside the images it keeps a record of each player the export wrote (PlayerRecord), so that a
// later incremental export can leave all of a player's files alone when nothing they are made
// from changed, and of each site page made from a fingerprint (KeepPage), so that such a page is
// neither made nor compared again while its inputs and its file stay the same, and of parts of
// a file (KeptPart), so that a part whose inputs did not change is copied, not made again. It
// also carries the players' fingerprints from one export to the next (KeepFingerprints).
//
// The site pages' and file parts' calls (KeepPage, KeptFile, KeptPart, RecordFile, RecordPart)
// may come from another thread than the images' and players' (the site is made beside the
// player loop); Save comes after both.
//
// Use: construct once the report folder exists (the caller holds its lock, so no other run
// writes the folder or its memo meanwhile); ask Reusable before drawing an image, tell Written
// after writing one, and Save once the export has put every file in place. Without Save (a
// failed export) the memo file stays as it was, and what it records stays true or is found
// stale by the file check.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/AtomicReplace.h"
#include "core/ScratchFile.h"

namespace barvik {

class RenderMemo {
 public:
  // The memo of `report_folder` (an existing folder) kept as `memo_file` in a folder the
  // caller made (the cache folder). An empty `memo_file` gives a memo that is off.
  RenderMemo(const std::string& memo_file, const std::string& report_folder);
  RenderMemo(const RenderMemo&) = delete;
  RenderMemo& operator=(const RenderMemo&) = delete;
  ~RenderMemo();

  // False when there is no usable memo folder: nothing is reusable and Save does nothing.
  bool enabled() const { return !memo_file_.empty(); }

  // True when the file `name` of the report folder was written from `fingerprint` by an
  // earlier export and is still byte for byte what that export left: the caller may leave it
  // untouched. Its record then passes on to the saved memo.
  bool Reusable(const std::string& name, uint64_t fingerprint);

  // The file `name` was written in this export from `fingerprint` with `bytes`. Its place in
  // the folder is looked at in Save, once the file is there (staged files move at the end).
  void Written(const std::string& name, uint64_t fingerprint, std::string_view bytes);

  // What an export keeps of one player: the fingerprint of everything his pages and figures
  // are made from (the caller computes it), his images and the fingerprints they were drawn
  // from, his chart as the caller put it into text (the chart is drawn again each time: its
  // axis spans the whole log), his lists as the site's stats.json holds them, and his pages.
  struct PlayerRecord {
    uint64_t fingerprint = 0;
    std::vector<std::pair<std::string, uint64_t>> images;  // file, fingerprint
    std::string chart;
    std::string site_lists;
    std::vector<std::string> pages;  // file names
    // Size and modification time of each page as it lay after the export (Save fills them).
    std::vector<std::pair<uint64_t, int64_t>> page_stamps;
  };

  // The record of `name` when an earlier export wrote him from `fingerprint` and his pages and
  // images are still as that export left them: the caller may then leave his files alone. The
  // record passes on to the saved memo; it lives until Save. Null otherwise. His site lists
  // are read from the memo file into `site_lists`, not kept in the record (every player's
  // lists together weigh megabytes on a long log).
  const PlayerRecord* ReusablePlayer(const std::string& name, uint64_t fingerprint,
                                     std::string& site_lists);

  // The files of `name` were written in this export as `record` tells (stamps are left to
  // Save). His site lists wait for Save in an unnamed file of the memo's folder, not in
  // memory (every player's lists together weigh megabytes on a long log); where that file
  // cannot be made they are kept in memory.
  void WrittenPlayer(const std::string& name, PlayerRecord record);

  // What the memo keeps of a site page: the fingerprint it was made from and its file's size
  // and modification time as the export left it.
  struct PageRecord {
    uint64_t fingerprint = 0;
    uint64_t size = 0;
    int64_t mtime_ns = 0;
    bool stamped = false;  // size and mtime_ns are the file's as it lay after the export
  };

  // A page of the report that is made from `fingerprint` (the caller computes it from all its
  // inputs): true when an earlier export recorded it from that fingerprint and the file still
  // has the size and modification time that export left, so the caller may leave it unmade.
  // Otherwise the page is recorded as made from `fingerprint` in this export (stamped in Save)
  // and false is returned. With `reuse` false (a full export) only the recording is done.
  bool KeepPage(const std::string& name, uint64_t fingerprint, bool reuse);

  // Parts of a report file (a game's entry of games.json), kept as where they lie in the file
  // the last export left, so that the next one copies a part whose inputs did not change
  // instead of making it again. OpenKeptFile: `file` opened for reading when an earlier export
  // recorded it (RecordFile) and it still has the size and modification time that export left;
  // -1 otherwise. The caller closes it.
  int OpenKeptFile(const std::string& file);
  // Where part `name` lies in that file (offset, length) when it was recorded from
  // `fingerprint`.
  std::optional<std::pair<uint64_t, uint64_t>> KeptPart(const std::string& name,
                                                        uint64_t fingerprint);
  // This export writes `file` (stamped in Save), with part `name`, made from `fingerprint`,
  // at `offset`, `length` bytes long.
  void RecordFile(const std::string& file);
  void RecordPart(const std::string& name, uint64_t fingerprint, uint64_t offset, uint64_t length);

  // The players' fingerprint state the last export kept (see PlayerFingerprints::State), and
  // the one this export keeps for the next.
  const std::string& kept_fingerprints() const { return earlier_fingerprints_; }
  void KeepFingerprints(std::string state) { next_fingerprints_ = std::move(state); }

  // Records the written files as they now lie in the folder and replaces the memo file
  // atomically with the records of this export's reused and written files (the others are
  // gone from the report or changed). A failure leaves the old memo file.
  void Save();

 private:
  struct Record {
    uint64_t fingerprint = 0;
    uint64_t size = 0;
    int64_t mtime_ns = 0;
    uint64_t inode = 0;
    uint64_t content = 0;  // StableHash of the bytes, as a Text
  };
  struct Pending {
    std::string name;
    uint64_t fingerprint;
    uint64_t size;
    uint64_t content;
  };

  void Load();
  // Reads the memo file open as `fd`, `size` bytes long; false when it is not whole or not
  // this folder's.
  bool LoadFrom(int fd, size_t size);
  // Puts the site lists of `record` aside into the spill file; false when they stay in it.
  bool Spill(const std::string& name, PlayerRecord& record);
  // Writes the memo file into `sink`; false when a write, or a read of the lists aside, failed.
  bool Serialise(const ByteSink& sink) const;

  std::string report_folder_;  // ending in "/"
  std::string canonical_;      // the report folder's canonical path, as the memo names it
  std::string memo_file_;      // the memo's path, or empty when the memo is off
  std::unordered_map<std::string, Record> earlier_;  // read from the memo file
  std::unordered_map<std::string, Record> next_;     // for the memo Save writes
  std::vector<Pending> written_;                     // files written in this export
  std::unordered_map<std::string, PlayerRecord> earlier_players_;
  std::unordered_map<std::string, PlayerRecord> next_players_;
  // Site lists kept in a file rather than in memory: where they lie.
  struct Aside {
    int fd = -1;
    uint64_t offset = 0;
    uint64_t length = 0;
  };
  // Those of earlier_players_, in the memo file read (memo_fd_), and those of next_players_,
  // there or put aside by WrittenPlayer in spill_.
  std::unordered_map<std::string, Aside> earlier_lists_;
  std::unordered_map<std::string, Aside> next_lists_;
  int memo_fd_ = -1;        // the memo file Load read, open until the memo goes
  ScratchFile spill_;       // the put-aside lists, beside the memo file
  std::mutex pages_mutex_;  // guards the pages and parts below, made on the site's thread
  std::unordered_map<std::string, PageRecord> earlier_pages_;
  std::unordered_map<std::string, PageRecord> next_pages_;
  struct Part {
    uint64_t fingerprint = 0;
    uint64_t offset = 0;
    uint64_t length = 0;
  };
  std::unordered_map<std::string, Part> earlier_parts_;
  std::unordered_map<std::string, Part> next_parts_;
  std::string earlier_fingerprints_;
  std::string next_fingerprints_;
};

}  // namespace barvik
