// End-to-end runs of the real programs as a cron job would start them: `barvik` with the two
// batch arguments on every kind of screen (none, invisible, a display that is not there, a
// real X server), and `barvik-cli export`; full disks, overlapping runs, leftovers of killed
// runs and memory limits.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include <zlib.h>
#include <QProcess>

#include "report/ReportFolder.h"
#include "tests/TempFolder.h"
#include "tests/ui/UiTestSupport.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status = -1;
  bool finished = false;
  std::string err;
  long long milliseconds = 0;
};

// How a program is started: environment entries on top of one without any display or
// platform, and what the child does to itself before the program starts (limits).
struct RunSetup {
  std::map<QString, QString> env;
  std::function<void()> in_child;
  int timeout_ms = 60000;
};

// An X server of our own (Xvfb) for the runs that need a visible window; absent when the
// machine has no Xvfb. The server picks a free display number itself and is stopped with
// SIGTERM, so it removes its lock file and socket.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    server_.setProgram("Xvfb");
    // -noreset: the server must not restart (and refuse clients) when the last one leaves.
    server_.setArguments(
        {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
    server_.start();
    if (!server_.waitForStarted(5000)) return;
    while (name_.isEmpty() && server_.waitForReadyRead(10000)) {
      const QString line = QString::fromLatin1(server_.readAllStandardOutput()).trimmed();
      if (!line.isEmpty()) name_ = ":" + line;
    }
  }
  ~VirtualDisplay() {
    server_.terminate();
    if (!server_.waitForFinished(5000)) {
      server_.kill();
      server_.waitForFinished();
    }
  }
  const QString& name() const { return name_; }  // ":N", or empty when none started

 private:
  QProcess server_;
  QString name_;
};

// A display number with no X server behind it.
QString DeadDisplay() {
  for (int n = 97; n > 50; --n) {
    const std::string number = std::to_string(n);
    if (!fs::exists("/tmp/.X11-unix/X" + number) && !fs::exists("/tmp/.X" + number + "-lock")) {
      return QString::fromStdString(":" + number);
    }
  }
  return ":97";
}

class BatchModeTest : public ::testing::Test {
 protected:
  ProgramRun Run(const char* program, const QStringList& args, const RunSetup& setup = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "BARVIK_QT_MESSAGES"})
      env.remove(name);
    for (const auto& [name, value] : setup.env) env.insert(name, value);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(files_.Path("")));
    if (setup.in_child) process.setChildProcessModifier(setup.in_child);
    const auto start = std::chrono::steady_clock::now();
    process.start(program, args);
    ProgramRun run;
    EXPECT_TRUE(process.waitForStarted());
    run.finished = process.waitForFinished(setup.timeout_ms);
    if (!run.finished) {
      process.kill();
      process.waitForFinished();
    }
    run.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = process.readAllStandardError().toStdString();
    return run;
  }
  ProgramRun Barvik(const QStringList& args, const RunSetup& setup = {}) {
    return Run(BARVIK_GUI_PATH, args, setup);
  }
  ProgramRun Cli(const QStringList& args, const RunSetup& setup = {}) {
    return Run(BARVIK_CLI_PATH, args, setup);
  }
  static RunSetup Env(const QString& name, const QString& value) {
    RunSetup setup;
    setup.env[name] = value;
    return setup;
  }

  QString Log() { return QString::fromStdString(files_.Write("small.log", test::kSmallLog)); }
  QString Dir(const std::string& name) { return QString::fromStdString(files_.Path(name)); }

  // Every entry of a report folder (hidden ones included, the lock file left out) with its
  // bytes; a folder shows as "<folder>".
  static std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name == kLockFileName) continue;
      if (entry.is_directory()) {
        files[name] = "<folder>";
        continue;
      }
      std::ifstream in(entry.path(), std::ios::binary);
      files[name] =
          std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
  }

  // Every line of a run's standard error is one of the program's own.
  static void ExpectOnlyOwnMessages(const std::string& err, const std::string& program) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_EQ(line.rfind(program + ": ", 0), 0u) << "foreign line: " << line;
    }
  }

  test::TempFolder files_;
};

constexpr size_t kReportFiles = 8 + 3 * 10 + 1;  // and the site folder

TEST_F(BatchModeTest, HeadlessRunWritesTheWholeReport) {
  ProgramRun run = Barvik({Log(), Dir("report")});
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
  EXPECT_EQ(report.size(), kReportFiles);  // no staging folder or temporary file left
  EXPECT_NE(run.err.find("Done"), std::string::npos) << run.err;  // status texts on stderr
  ExpectOnlyOwnMessages(run.err, "barvik");
}

TEST_F(BatchModeTest, InvisiblePlatformsEndWithAMessageInsteadOfADialog) {
  files_.Write("f", "x");
  const std::string folder = files_.Path("f") + "/x";
  for (const QString platform : {"offscreen", "minimal"}) {
    RunSetup setup = Env("QT_QPA_PLATFORM", platform);
    setup.timeout_ms = 30000;
    ProgramRun run = Barvik({Log(), QString::fromStdString(folder)}, setup);
    ASSERT_TRUE(run.finished) << "hangs on " << platform.toStdString();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Cannot create file " + folder + "/players.html: Not a directory"),
              std::string::npos)
        << run.err;
    ExpectOnlyOwnMessages(run.err, "barvik");

    // Nothing to show the window on: no batch, a message and status 2 at once.
    ProgramRun interactive = Barvik({}, setup);
    ASSERT_TRUE(interactive.finished);
    EXPECT_EQ(interactive.status, 2);
    EXPECT_NE(interactive.err.find("no display"), std::string::npos) << interactive.err;
  }
}

TEST_F(BatchModeTest, DisplayThatIsNotThere) {
  const RunSetup dead = Env("DISPLAY", DeadDisplay());
  ProgramRun batch = Barvik({Log(), Dir("report")}, dead);
  ASSERT_TRUE(batch.finished);
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(Snapshot(files_.Path("report")).size(), kReportFiles);
  ExpectOnlyOwnMessages(batch.err, "barvik");

  ProgramRun interactive = Barvik({}, dead);
  ASSERT_TRUE(interactive.finished);
  EXPECT_EQ(interactive.status, 2);
  EXPECT_NE(interactive.err.find("barvik: cannot open the display \"" +
                                 dead.env.at("DISPLAY").toStdString() + "\""),
            std::string::npos)
      << interactive.err;

  ProgramRun cli = Cli({"export", Log(), Dir("cli")}, dead);
  ASSERT_TRUE(cli.finished);
  EXPECT_EQ(cli.status, 0) << cli.err;
  EXPECT_EQ(Snapshot(files_.Path("cli")).size(), kReportFiles);
  // Its own notes only (the test log's map has no friendly name), none of Qt's.
  ExpectOnlyOwnMessages(cli.err, "barvik-cli");
}

TEST_F(BatchModeTest, WindowRunOnARealDisplay) {
  VirtualDisplay display;
  if (display.name().isEmpty()) GTEST_SKIP() << "no Xvfb";
  const RunSetup on_display = Env("DISPLAY", display.name());
  ProgramRun run = Barvik({Log(), Dir("report")}, on_display);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Snapshot(files_.Path("report")).size(), kReportFiles);
  // The site beside the classic pages, with its people and games.
  EXPECT_TRUE(fs::is_regular_file(files_.Path("report/site/index.html")));
  EXPECT_TRUE(fs::is_regular_file(files_.Path("report/site/stats.json")));
  EXPECT_TRUE(fs::is_regular_file(files_.Path("report/site/people.html")));
  EXPECT_TRUE(fs::is_regular_file(files_.Path("report/site/games.json")));

  // Other argument counts are interactive: the window stays until it is closed. Long enough
  // for the batch timer (one second) to have fired.
  for (const QStringList& args : {QStringList{Log()}, QStringList{Log(), Dir("other"), "x"}}) {
    RunSetup setup = on_display;
    setup.timeout_ms = 2500;
    ProgramRun interactive = Barvik(args, setup);
    EXPECT_FALSE(interactive.finished) << "the window closed by itself: " << interactive.err;
    EXPECT_FALSE(fs::exists(files_.Path("other")));
    EXPECT_FALSE(fs::exists(files_.Path("html")));
  }
}

TEST_F(BatchModeTest, MissingLogFailsAndLeavesTheReportAlone) {
  ASSERT_EQ(Barvik({Log(), Dir("report")}).status, 0);
  const auto before = Snapshot(files_.Path("report"));
  ProgramRun run = Barvik({Dir("no-such.log"), Dir("report")});
  ASSERT_TRUE(run.finished);
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("Cannot open file " + files_.Path("no-such.log")), std::string::npos)
      << run.err;
  EXPECT_EQ(Snapshot(files_.Path("report")), before);
}

TEST_F(BatchModeTest, UncreatableFolderFailsNamingIt) {
  files_.Write("blocker", "a file, not a folder");
  const std::string folder = files_.Path("blocker") + "/report";
  ProgramRun run = Barvik({Log(), QString::fromStdString(folder)});
  ASSERT_TRUE(run.finished);
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find(folder), std::string::npos) << run.err;
}

// The window's batch and barvik-cli take the user's locale from one place: under a locale that
// writes a decimal comma (whether or not the system has it) both write the same report.
TEST_F(BatchModeTest, BothProgramsWriteOneReportUnderAnyLocale) {
  for (const char* locale : {"de_DE.UTF-8", "C.UTF-8"}) {
    SCOPED_TRACE(locale);
    RunSetup setup;
    setup.env = {{"LC_ALL", locale}};
    const QString window = Dir(std::string("window-") + locale);
    const QString cli = Dir(std::string("cli-") + locale);
    ProgramRun batch = Run(BARVIK_GUI_PATH, {Log(), window}, setup);
    ASSERT_EQ(batch.status, 0) << batch.err;
    ProgramRun tool = Run(BARVIK_CLI_PATH, {"export", Log(), cli}, setup);
    ASSERT_EQ(tool.status, 0) << tool.err;

    // The footer's date and time differ between the runs, their format does not.
    auto masked = [](std::map<std::string, std::string> files) {
      const std::string footer = "Statistics generated ";
      for (auto& [name, text] : files) {
        for (size_t at = text.find(footer); at != std::string::npos;
             at = text.find(footer, at + 1)) {
          for (size_t i = at + footer.size(); i < text.size() && text[i] != '<'; ++i) {
            if (text[i] >= '0' && text[i] <= '9') text[i] = '#';
          }
        }
      }
      return files;
    };
    const auto from_window = masked(Snapshot(window.toStdString()));
    const auto from_cli = masked(Snapshot(cli.toStdString()));
    ASSERT_EQ(from_window.size(), kReportFiles);
    for (const auto& [name, text] : from_window) {
      auto other = from_cli.find(name);
      ASSERT_NE(other, from_cli.end()) << name;
      EXPECT_TRUE(text == other->second) << name << " differs";
    }
  }
}

// A small file system of its own where the test may mount one (root in a container that
// allows it); otherwise a file size limit makes the writes fail the same way.
TEST_F(BatchModeTest, FullDiskLeavesTheOldReportWhole) {
  const std::string disk = files_.Path("disk");
  fs::create_directories(disk);
  const bool mounted = mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") == 0;
  std::shared_ptr<void> unmount(nullptr, [&](void*) {
    if (mounted) umount2(disk.c_str(), MNT_DETACH);
  });
  const QString report = QString::fromStdString(disk + "/report");
  for (const char* program : {BARVIK_GUI_PATH, BARVIK_CLI_PATH}) {
    const bool cli = program == std::string(BARVIK_CLI_PATH);
    const QStringList args =
        cli ? QStringList{"export", Log(), report} : QStringList{Log(), report};
    ASSERT_EQ(Run(program, args).status, 0);
    const auto before = Snapshot(report.toStdString());
    // The second run would write other pages: one more player.
    files_.Write("small.log", std::string(test::kSmallLog) + "  0:07 J;4;3;Dave\n");

    RunSetup full;
    if (mounted) {
      struct statvfs space {};
      ASSERT_EQ(statvfs(disk.c_str(), &space), 0);
      const size_t free_bytes = space.f_bavail * space.f_frsize;
      std::ofstream(disk + "/filler", std::ios::binary)
          << std::string(free_bytes > 16384 ? free_bytes - 16384 : 0, 'x');
    } else {
      full.in_child = [] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
      };
    }
    ProgramRun run = Run(program, args, full);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Cannot create file " + report.toStdString() + "/"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(mounted ? ": No space left on device" : ": File too large"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Snapshot(report.toStdString()), before) << program;
    fs::remove(disk + "/filler");
  }
}

TEST_F(BatchModeTest, SecondRunWaitsForTheFirstThenGivesUp) {
  fs::create_directories(files_.Path("report"));
  auto lock = std::make_unique<ReportFolderLock>(files_.Path("report"), 0, "first run");
  ASSERT_TRUE(lock->held());

  ProgramRun batch = Barvik({Log(), Dir("report")});
  ASSERT_TRUE(batch.finished);
  EXPECT_EQ(batch.status, 3);
  EXPECT_NE(batch.err.find("barvik: Report folder " + files_.Path("report") + " is in use"),
            std::string::npos)
      << batch.err;

  ProgramRun cli = Cli({"export", "--wait", "1", Log(), Dir("report")});
  ASSERT_TRUE(cli.finished);
  EXPECT_EQ(cli.status, 3);
  EXPECT_GE(cli.milliseconds, 1000);
  EXPECT_NE(cli.err.find("is in use"), std::string::npos) << cli.err;
  EXPECT_TRUE(Snapshot(files_.Path("report")).empty());

  // The first run ends while the second waits: the second writes the report.
  std::thread release([&lock] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    lock.reset();
  });
  ProgramRun waited = Barvik({"--wait", "30", Log(), Dir("report")});
  release.join();
  ASSERT_TRUE(waited.finished);
  EXPECT_EQ(waited.status, 0) << waited.err;
  EXPECT_EQ(Snapshot(files_.Path("report")).size(), kReportFiles);
}

TEST_F(BatchModeTest, LeftoversOfAKilledRunAreRemoved) {
  fs::create_directories(files_.Path("report/.barvik-staging-Ab12Cd/sub"));
  files_.Write("report/.barvik-staging-Ab12Cd/sub/players.html", "half");
  files_.Write("report/.players.html.4242-7.tmp", "half a page");
  files_.Write("report/.htaccess", "kept");
  files_.Write("report/notes.tmp", "kept");
  ProgramRun run = Barvik({Log(), Dir("report")});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.status, 0) << run.err;
  const auto report = Snapshot(files_.Path("report"));
  EXPECT_EQ(report.count(".barvik-staging-Ab12Cd"), 0u);
  EXPECT_EQ(report.count(".players.html.4242-7.tmp"), 0u);
  EXPECT_EQ(report.at(".htaccess"), "kept");
  EXPECT_EQ(report.at("notes.tmp"), "kept");
  EXPECT_EQ(report.size(), kReportFiles + 2);
}

// Programs built with the address sanitizer reserve more address space than the limit and
// end on a failed allocation by design.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST_F(BatchModeTest, OutOfMemoryIsSaidAndEndsWithOne) {
  if (kAddressSanitizer) GTEST_SKIP() << "address sanitizer build";
  // A gzip log whose one line is longer than the memory the run may take: a line is held
  // whole while it is read. Concatenated members of one compressed megabyte keep it small.
  const std::string log = files_.Path("huge.log.gz");
  {
    const std::string member = testing::Gzip(std::string(1 << 20, 'a'));
    std::ofstream out(log, std::ios::binary);
    for (int i = 0; i < 600; ++i) out << member;
  }
  RunSetup limited;
  limited.in_child = [] {
    const rlimit limit{512ull << 20, 512ull << 20};
    setrlimit(RLIMIT_AS, &limit);
  };
  ProgramRun cli = Cli({"tables", QString::fromStdString(log)}, limited);
  ASSERT_TRUE(cli.finished);
  EXPECT_EQ(cli.status, 1);
  EXPECT_EQ(cli.err, "barvik-cli: out of memory\n");

  ProgramRun batch = Barvik({QString::fromStdString(log), Dir("report")}, limited);
  ASSERT_TRUE(batch.finished);
  EXPECT_EQ(batch.status, 1);
  EXPECT_NE(batch.err.find("barvik: out of memory\n"), std::string::npos) << batch.err;
}

}  // namespace
}  // namespace barvik
