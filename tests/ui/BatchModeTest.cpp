// End-to-end runs of the real `barvik` program with the two batch arguments.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include <QProcess>

#include "tests/ui/UiTestSupport.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status = -1;
  bool finished = false;
  std::string err;
};

class BatchModeTest : public ::testing::Test {
 protected:
  // Runs barvik with `args` in the temporary folder. `headless`: no display and no platform,
  // as on a server; otherwise the window runs on the offscreen platform. A run that has not
  // ended after `timeout_ms` is killed.
  ProgramRun Barvik(const QStringList& args, bool headless, int timeout_ms = 60000) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    if (!headless) env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(files_.Path("")));
    process.start(BARVIK_GUI_PATH, args);
    ProgramRun run;
    EXPECT_TRUE(process.waitForStarted());
    run.finished = process.waitForFinished(timeout_ms);
    if (!run.finished) {
      process.kill();
      process.waitForFinished();
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = process.readAllStandardError().toStdString();
    return run;
  }
  QString Log() { return QString::fromStdString(files_.Write("small.log", test::kSmallLog)); }
  QString Dir(const std::string& name) { return QString::fromStdString(files_.Path(name)); }

  static std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;  // the site folder, checked on its own
      std::ifstream in(entry.path(), std::ios::binary);
      files[entry.path().filename().string()] =
          std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
  }

  test::TempFolder files_;
};

TEST_F(BatchModeTest, HeadlessRunWritesTheWholeReport) {
  ProgramRun run = Barvik({Log(), Dir("report")}, /*headless=*/true);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.status, 0) << run.err;
  const auto report = Snapshot(files_.Path("report"));
  for (const char* global : {"index.html", "style.css", "players.html", "weapon.html", "maps.html",
                             "gametype.html", "accuracy.html", "accuracy.png"}) {
    EXPECT_EQ(report.count(global), 1u) << global;
  }
  for (const char* player : {"alice", "bob", "carl"}) {
    for (const char* page :
         {"weapon.html", "accuracy.html", "accuracy.png", "enemyaccuracy.html", "enemyaccuracy.png",
          "maps.html", "gametype.html", "opponents.html", "ratiochart.html", "ratiochart.png"}) {
      EXPECT_EQ(report.count(std::string(player) + page), 1u) << player << page;
    }
  }
  EXPECT_EQ(report.size(), 8u + 3u * 10u);
  EXPECT_NE(run.err.find("Done"), std::string::npos) << run.err;  // status texts on stderr
}

TEST_F(BatchModeTest, WindowRunWritesTheReportAndClosesByItself) {
  ProgramRun run = Barvik({Log(), Dir("report")}, /*headless=*/false);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Snapshot(files_.Path("report")).size(), 8u + 3u * 10u);
  // The site beside the classic pages, with a profile per player.
  EXPECT_TRUE(fs::is_regular_file(files_.Path("report/site/index.html")));
  EXPECT_TRUE(fs::is_regular_file(files_.Path("report/site/stats.json")));
  EXPECT_TRUE(fs::is_regular_file(files_.Path("report/site/p/carl.html")));
}

TEST_F(BatchModeTest, MissingLogFailsAndLeavesTheReportAlone) {
  ASSERT_EQ(Barvik({Log(), Dir("report")}, true).status, 0);
  const auto before = Snapshot(files_.Path("report"));
  ProgramRun run = Barvik({Dir("no-such.log"), Dir("report")}, true);
  ASSERT_TRUE(run.finished);
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("Cannot open file " + files_.Path("no-such.log")), std::string::npos)
      << run.err;
  EXPECT_EQ(Snapshot(files_.Path("report")), before);
}

TEST_F(BatchModeTest, UncreatableFolderFailsNamingIt) {
  files_.Write("blocker", "a file, not a folder");
  const std::string folder = files_.Path("blocker") + "/report";
  ProgramRun run = Barvik({Log(), QString::fromStdString(folder)}, true);
  ASSERT_TRUE(run.finished);
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find(folder), std::string::npos) << run.err;
}

TEST_F(BatchModeTest, OtherArgumentCountsStayInteractive) {
  // Long enough for the batch timer (one second) to have fired.
  for (const QStringList& args : {QStringList{Log()}, QStringList{Log(), Dir("report"), "x"}}) {
    ProgramRun run = Barvik(args, /*headless=*/false, 2500);
    EXPECT_FALSE(run.finished) << "the window closed by itself: " << run.err;
    EXPECT_FALSE(fs::exists(files_.Path("report")));
    EXPECT_FALSE(fs::exists(files_.Path("html")));
  }
}

}  // namespace
}  // namespace barvik
