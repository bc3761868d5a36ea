// Publishing a staged report: after a kill in the middle of moving files, the next run
// completes the publish before anything else; a move that fails puts every moved file back.
// Either way a reader finds the whole old report or the whole new one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "core/FileError.h"
#include "report/ReportFolder.h"
#include "tests/MaskedReport.h"
#include "tests/TempFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

class PublishTest : public testing::TempFolderTest {
 protected:
  std::string Report() const { return (dir_ / "report").string(); }

  // The pages of report `version`: every third in a subfolder.
  static Files Pages(int version, int count) {
    Files pages;
    for (int i = 0; i < count; ++i) {
      const std::string name = (i % 3 == 0 ? "sub/page" : "page") + std::to_string(i) + ".html";
      pages[name] = "version " + std::to_string(version) + " of " + name;
    }
    return pages;
  }

  // An output staging `pages` for the report folder.
  std::unique_ptr<ReportOutput> Stage(const Files& pages) const {
    auto output = std::make_unique<ReportOutput>();
    output->Stage(Report());
    for (const auto& [name, bytes] : pages) {
      std::string path = Report();
      path += '/';
      path += name;
      output->Write(path, bytes);
    }
    return output;
  }

  // The regular files below the report folder, hidden ones aside.
  Files Now() const {
    Files files;
    for (const auto& e : fs::recursive_directory_iterator(Report())) {
      const std::string relative = fs::relative(e.path(), Report()).string();
      if (e.is_regular_file() && relative[0] != '.') {
        files[relative] = testing::ReadBytes(e.path());
      }
    }
    return files;
  }

  void Publish(const Files& pages) { Stage(pages)->Publish(); }
};

TEST_F(PublishTest, APublishKilledWhileFilesMoveIsCompletedByTheNextRun) {
  constexpr int kPages = 800;
  fs::create_directories(Report());
  Publish(Pages(1, kPages));
  Files before = Now();
  int interrupted = 0;
  for (int trial = 0; trial < 5; ++trial) {
    const Files next = Pages(2 + trial, kPages + trial);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const std::unique_ptr<ReportOutput> output = Stage(next);
      const char byte = 1;
      if (write(ready[1], &byte, 1) != 1) _exit(2);
      output->Publish();
      _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    // The first kill falls before the journal is written; the others once it is there, a
    // little later each time, while the files move.
    const auto journal = dir_ / "report" / ".barvik-publish";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (trial > 0 && !fs::exists(journal) && std::chrono::steady_clock::now() < deadline) {
    }
    usleep(static_cast<useconds_t>(trial * 1500));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (fs::exists(dir_ / "report" / ".barvik-publish")) ++interrupted;
    StagingArea::RemoveLeftovers(Report());
    const Files after = Now();
    EXPECT_TRUE(after == before || after == next) << "trial " << trial;
    before = after;
    for (const auto& e : fs::directory_iterator(Report())) {
      EXPECT_EQ(e.path().filename().string().rfind(".barvik", 0), std::string::npos) << e.path();
    }
  }
  EXPECT_GT(interrupted, 0) << "no kill fell while files moved";
}

// Makes a file impossible to replace: immutable for root, else its folder read-only.
class Blocked {
 public:
  explicit Blocked(const fs::path& file) : file_(file) {
    if (geteuid() == 0) {
      fd_ = open(file.c_str(), O_RDONLY);
      int flags = 0;
      if (fd_ >= 0 && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
        flags |= FS_IMMUTABLE_FL;
        if (ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0) return;
      }
      ok_ = false;
    } else {
      fs::permissions(file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
  }
  ~Blocked() {
    if (fd_ >= 0) {
      int flags = 0;
      ioctl(fd_, FS_IOC_GETFLAGS, &flags);
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(fd_, FS_IOC_SETFLAGS, &flags);
      close(fd_);
    } else {
      fs::permissions(file_.parent_path(), fs::perms::owner_all);
    }
  }
  bool ok() const { return ok_; }

 private:
  fs::path file_;
  int fd_ = -1;
  bool ok_ = true;
};

TEST_F(PublishTest, AMoveThatFailsPutsTheOldReportBack) {
  fs::create_directories(Report());
  Publish(Pages(1, 30));
  const Files before = Now();
  {
    // Files move last written first: the new pages and the subfolder's go before this one.
    const Blocked blocked(dir_ / "report" / "sub" / "page3.html");
    if (!blocked.ok()) GTEST_SKIP() << "no immutable files on this file system";
    Files next = Pages(2, 40);
    const std::unique_ptr<ReportOutput> output = Stage(next);
    try {
      output->Publish();
      FAIL() << "the blocked page was replaced";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file " + Report() + "/sub/page3.html");
    }
  }
  EXPECT_EQ(Now(), before);
  EXPECT_FALSE(fs::exists(dir_ / "report" / ".barvik-publish"));
}

}  // namespace
}  // namespace barvik
