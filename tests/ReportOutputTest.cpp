// Report files written through a ReportOutput without staging: a file replaces its target
// whole, keeping the target's permission bits, a new one gets the ordinary ones, and a failure
// leaves the target and no temporary file; and the comparison that lets an incremental export
// keep a file whose only change is its time stamp. A file written piece by piece is staged whole
// or not at all.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "core/FileError.h"
#include "core/WorkerPool.h"
#include "report/ReportFolder.h"
#include "tests/TempFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

class ReportOutputTest : public testing::TempFolderTest {
 protected:
  std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  size_t FileCount() {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
  ReportOutput output_;
};

TEST_F(ReportOutputTest, AFileReplacesItsTargetWholeAndAFailureLeavesNoTrace) {
  const std::string page = Write("page.html", "old");
  fs::permissions(page, fs::perms(0640));
  output_.Write(page, "new page");
  EXPECT_EQ(Read(page), "new page");
  EXPECT_EQ(fs::status(page).permissions(), fs::perms(0640));
  EXPECT_EQ(FileCount(), 1u);

  // A new file is readable as the umask allows, not private to this user.
  const mode_t mask = umask(0);
  umask(mask);
  output_.Write((dir_ / "new.html").string(), "x");
  EXPECT_EQ(fs::status(dir_ / "new.html").permissions(), fs::perms(0666 & ~mask));

  // A target that is a folder cannot be replaced: the error names it, nothing stays behind.
  fs::create_directory(dir_ / "folder");
  try {
    output_.Write((dir_ / "folder").string(), "x");
    FAIL() << "a folder was replaced";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + (dir_ / "folder").string());
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  EXPECT_EQ(FileCount(), 3u);
  EXPECT_THROW(output_.Write((dir_ / "missing" / "page.html").string(), "x"), FileError);
  EXPECT_EQ(output_.counts().written, 2u);
}

TEST_F(ReportOutputTest, WritesOnWorkersKeepTheLastBytesAndStopAtTheEarliestFailure) {
  const std::string folder = dir_.string() + "/";
  WorkerPool workers(3);
  {
    ReportOutput output;
    output.Stage(folder);
    output.WriteOn(workers, 64);  // a short queue: the writer waits for the workers
    for (int i = 0; i < 40; ++i) {
      output.Write(folder + "sub/p" + std::to_string(i) + ".html", std::string(50, 'p'));
      output.Write(folder + "twice.html", std::to_string(i));
    }
    output.Publish();
    EXPECT_EQ(output.counts().written, 80u);
  }
  EXPECT_EQ(Read(dir_ / "twice.html"), "39");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "sub"), {}), 40);

  // A staged file where a folder must go fails both writes below it; the first handed over
  // is the one reported, by every call after it, and nothing is published.
  ReportOutput output;
  output.Stage(folder);
  output.WriteOn(workers, 64);
  output.WriteHere(folder + "x", "a file");
  const std::string expected = "Cannot create file " + folder + "x/first.html";
  try {
    output.Write(folder + "x/first.html", "1");
    output.Write(folder + "x/second.html", "2");
    for (int i = 0; i < 40; ++i) output.Write(folder + "twice.html", "new");
    output.Wait();
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), expected);
  }
  for (const bool publish : {false, true}) {
    try {
      publish ? output.Publish() : output.Write(folder + "late.html", "z");
      FAIL() << "no error";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()), expected);
    }
  }
  EXPECT_EQ(Read(dir_ / "twice.html"), "39");
  EXPECT_FALSE(fs::exists(dir_ / "x"));
}

TEST_F(ReportOutputTest, AFileWrittenPieceByPieceIsStagedWholeOrNotAtAll) {
  const std::string folder = dir_.string() + "/";
  const std::string target = Write("games.json", "old");
  const std::string piece(300 << 10, 'g');  // a few pieces make more than one buffer
  {
    ReportOutput output;
    output.Stage(folder);
    const std::unique_ptr<ReportFileStream> file = output.Open(target);
    for (int i = 0; i < 5; ++i) file->Append(piece);
    file->Close();
    EXPECT_EQ(Read(target), "old");  // nothing moves before the publish
    output.Publish();
    EXPECT_EQ(output.counts().written, 1u);
  }
  EXPECT_EQ(Read(target), std::string(5 * piece.size(), 'g'));

  // A disk that fills up (here a file size limit) fails the file with its name; nothing of it
  // stays staged, and a stream dropped unclosed leaves nothing either.
  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit = old_limit;
  limit.rlim_cur = 1 << 20;
  setrlimit(RLIMIT_FSIZE, &limit);
  {
    ReportOutput output;
    output.Stage(folder);
    output.Open(folder + "site/stats.json")->Append("dropped");
    const std::unique_ptr<ReportFileStream> file = output.Open(target);
    try {
      for (int i = 0; i < 5; ++i) file->Append(piece);
      file->Close();
      FAIL() << "no error";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, 19 + target.size()),
                "Cannot create file " + target);
    }
    size_t staged_files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      staged_files += entry.is_regular_file() && entry.path() != target ? 1 : 0;
    }
    EXPECT_EQ(staged_files, 0u);
  }
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(Read(target).size(), 5 * piece.size());
  EXPECT_EQ(FileCount(), 1u);

  // An incremental export compares the file whole: the same bytes leave the target alone.
  ReportOutput keeping(true);
  keeping.Stage(folder);
  const std::unique_ptr<ReportFileStream> file = keeping.Open(target);
  for (int i = 0; i < 5; ++i) file->Append(piece);
  file->Close();
  keeping.Publish();
  EXPECT_EQ(keeping.counts().kept, 1u);
  EXPECT_EQ(keeping.counts().written, 0u);
}

// An incremental export compares a streamed file with its target as it goes, a buffer at a
// time: the same body under another time stamp keeps the target, any other change replaces it.
TEST_F(ReportOutputTest, AStreamedFileIsComparedWithItsTargetAsItGoes) {
  const std::string folder = dir_.string() + "/";
  const std::string target = folder + "stats.json";
  std::string body;
  for (int i = 0; body.size() < (5u << 19); ++i) body += ",\"p" + std::to_string(i) + "\":1";
  const std::string stamp = R"({"format":"x","generated":"12/09/26 03:30:00")";
  const std::string later = R"({"format":"x","generated":"12/10/26 3:31:00 PM")";
  // Streams `text` in pieces of 300 kB into a keep-identical output over a target of `old`
  // (none when empty); what it counted. While the bytes are the target's nothing is staged.
  auto stream = [&](const std::string& text, const std::string& old) {
    if (!old.empty()) {
      Write("stats.json", old);
      fs::last_write_time(target, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    const auto before = old.empty() ? fs::file_time_type() : fs::last_write_time(target);
    WriteCounts counts;
    size_t staged = 0;
    {
      ReportOutput keeping(true);
      keeping.Stage(folder);
      const std::unique_ptr<ReportFileStream> file = keeping.Open(target);
      for (size_t at = 0; at < text.size(); at += 300 << 10)
        file->Append(text.substr(at, 300 << 10));
      for (const auto& entry : fs::recursive_directory_iterator(dir_))
        staged += entry.is_regular_file() && entry.path() != target ? 1 : 0;
      file->Close();
      keeping.Publish();
      counts = keeping.counts();
    }
    EXPECT_EQ(Read(target), counts.kept == 1 ? old : text);
    if (counts.kept == 1) {
      EXPECT_EQ(fs::last_write_time(target), before);
      EXPECT_EQ(staged, 0u);
    }
    EXPECT_EQ(counts.kept + counts.written, 1u);
    EXPECT_EQ(FileCount(), 1u);  // nothing staged is left
    fs::remove(target);
    return counts.kept == 1;
  };
  const std::string old = stamp + body + "}";
  EXPECT_TRUE(stream(later + body + "}", old));
  EXPECT_TRUE(stream(old, old));
  // A change anywhere: right after the stamp, inside the first piece, in a middle piece, in
  // the last byte; a shorter and a longer file; another text before the stamp; no stamp.
  for (size_t at : {size_t{0}, size_t{100} << 10, size_t{1500} << 10, body.size() - 1}) {
    std::string changed = body;
    changed[at] = changed[at] == '1' ? '2' : '1';
    EXPECT_FALSE(stream(later + changed + "}", old)) << at;
  }
  EXPECT_FALSE(stream(later + body, old));
  EXPECT_FALSE(stream(later + body + "}\n", old));
  EXPECT_FALSE(stream(R"({"format":"y","generated":"12/09/26 03:30:00")" + body + "}", old));
  EXPECT_FALSE(stream(R"({"format":"x")" + body + "}", old));
  // A file shorter than a piece is compared when it closes; a missing target is written.
  const std::string small = stamp + body.substr(0, 1000) + "}";
  EXPECT_TRUE(stream(later + body.substr(0, 1000) + "}", small));
  EXPECT_FALSE(stream(later + body.substr(0, 999) + "}", small));
  EXPECT_FALSE(stream(later + body + "}", ""));
}

TEST(SameApartFromTimeStampTest, OnlyTheFooterTimeIsIgnored) {
  const std::string classic =
      "<td>Ghost</td>\n     Statistics generated 12/09/26  03:30:00<br>"
      "with Barvik  build 1 &nbsp;\n</html>\n";
  std::string later = classic;
  later.replace(later.find("03:30:00"), 8, "3:31:00 PM");
  EXPECT_TRUE(SameApartFromTimeStamp(classic, later));
  std::string other_build = classic;
  other_build.replace(other_build.find("build 1"), 7, "build 2");
  EXPECT_FALSE(SameApartFromTimeStamp(classic, other_build));
  std::string other_body = later;
  other_body.replace(other_body.find("Ghost"), 5, "Ghast");
  EXPECT_FALSE(SameApartFromTimeStamp(classic, other_body));
  // A name that looks like a footer start cannot widen the masked range.
  EXPECT_FALSE(SameApartFromTimeStamp("<td>Statistics generated A</td>" + classic,
                                      "<td>Statistics generated B</td>" + classic));
  // Of two footers the last is the page's: a change before it counts.
  EXPECT_FALSE(SameApartFromTimeStamp(classic + "x" + classic, later + "y" + later));
  EXPECT_TRUE(SameApartFromTimeStamp(classic + "x" + classic, classic + "x" + later));

  const std::string site = "<p>x</p>\n<footer>Generated 2026-12-09 03:30 with Barvik build 1";
  EXPECT_TRUE(SameApartFromTimeStamp(site, "<p>x</p>\n<footer>Generated now with Barvik build 1"));
  EXPECT_FALSE(SameApartFromTimeStamp(site, "<p>y</p>\n<footer>Generated now with Barvik build 1"));

  const std::string json = R"({"generated":"a \"b\"","turns":3})";
  EXPECT_TRUE(SameApartFromTimeStamp(json, R"({"generated":"c","turns":3})"));
  EXPECT_FALSE(SameApartFromTimeStamp(json, R"({"generated":"c","turns":4})"));
  // Files without a time stamp (images, style sheets) must match whole.
  EXPECT_FALSE(SameApartFromTimeStamp("\x89PNG1", "\x89PNG2"));
}

}  // namespace
}  // namespace barvik
