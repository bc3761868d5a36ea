// Where the programs find their report templates: beside the program (a build folder), in the
// installed layout relative to it, or where --templates says; a folder without them fails the
// export with the missing file's name and leaves the old report whole.
#include "app/TemplateFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "app/Cli.h"
#include "app/CommandLine.h"
#include "tests/FakeImages.h"
#include "tests/MaskedReport.h"
#include "tests/TempFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

class TemplateFolderTest : public testing::TempFolderTest {
 protected:
  // barvik-cli ARGS with the templates of the source tree as the found ones.
  int Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliEnvironment env;
    env.template_folder = BARVIK_TEMPLATE_DIR;
    env.make_image_source = [](Workspace&) { return std::make_unique<testing::FakeImages>(); };
    const int status = RunCli(args, out, err, env);
    err_ = err.str();
    return status;
  }

  std::string err_;
};

TEST_F(TemplateFolderTest, BesideTheProgramThenTheInstalledLayout) {
  const std::string bin = (dir_ / "usr/bin").string();
  const std::string share = (dir_ / "usr/share/barvik").string();
  fs::create_directories(bin);
  // Nothing anywhere: the program's folder, where the first missing file is then looked for.
  EXPECT_EQ(FindTemplateFolder(bin, "../share/barvik"), bin);
  // Installed: found by the path relative to the program, named without "..".
  Write("usr/share/barvik/globhtml1.dat", "x");
  EXPECT_EQ(FindTemplateFolder(bin, "../share/barvik"), share);
  EXPECT_EQ(FindTemplateFolder((dir_ / "usr/libexec/barvik").string(), "../../share/barvik"),
            share);
  // An installed folder that lost its templates is still where they are looked for.
  fs::remove(share + "/globhtml1.dat");
  EXPECT_EQ(FindTemplateFolder(bin, "../share/barvik"), share);
  // A build folder's own templates win over an installed copy.
  Write("usr/bin/globhtml1.dat", "x");
  EXPECT_EQ(FindTemplateFolder(bin, "../share/barvik"), bin);
}

TEST_F(TemplateFolderTest, TemplatesOptionOverridesAndAMissingTemplateLeavesTheOldReport) {
  const std::string log = BARVIK_SOURCE_DIR "/samples/sample.log";
  const std::string report = (dir_ / "html").string();
  ASSERT_EQ(Cli({"export", "--no-cache", log, report}), kExitOk) << err_;

  // Templates of the admin's own: every page takes them.
  const fs::path own = dir_ / "own";
  fs::copy(BARVIK_TEMPLATE_DIR, own);
  Write("own/globhtml6.dat", "<!-- our server -->\n</body></html>\n");
  ASSERT_EQ(Cli({"export", "--no-cache", "--templates", own.string(), log, report}), kExitOk)
      << err_;
  const auto old_report = testing::MaskedReport(report);
  EXPECT_NE(old_report.at("players.html").find("<!-- our server -->"), std::string::npos);

  // A folder without templates: the file named, nothing of the report touched.
  const fs::path empty = dir_ / "empty";
  fs::create_directories(empty);
  EXPECT_EQ(Cli({"export", "--no-cache", "--templates=" + empty.string(), log, report}),
            kExitFailure);
  EXPECT_EQ(err_, "barvik-cli: Cannot open file " + (empty / "globhtml1.dat").string() + "\n");
  EXPECT_EQ(testing::MaskedReport(report), old_report);

  EXPECT_EQ(Cli({"export", "--templates", (dir_ / "nowhere").string(), log, report}), kExitUsage);
  EXPECT_EQ(err_, "barvik-cli: option '--templates': no such folder '" +
                      (dir_ / "nowhere").string() + "'; see 'barvik-cli --help'\n");
}

}  // namespace
}  // namespace barvik
