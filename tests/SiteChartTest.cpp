// The game page's "kills over time" chart: grid lines at round values, a caption true to the
// width of its bars.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "FakeImages.h"
#include "TempFolder.h"
#include "app/Cli.h"

namespace barvik {
namespace {

class SiteChartTest : public testing::TempFolderTest {
 protected:
  // The game page of a log of one game of `minutes` minutes with `kills[i]` kills in minute i.
  std::string GamePage(uint32_t minutes, const std::vector<int>& kills) {
    std::string log =
        "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_foy\\sv_hostname\\S\n"
        "  0:00 J;1;0;Alice\n  0:00 J;2;1;Bob\n";
    for (size_t minute = 0; minute < kills.size(); ++minute) {
      for (int k = 0; k < kills[minute]; ++k) {
        log += std::to_string(minute) + ":" + (k < 10 ? "0" : "") + std::to_string(k) +
               " K;2;1;;Bob;1;0;;Alice;mp40_mp;50;MOD_RIFLE_BULLET;torso_upper\n";
      }
    }
    log += std::to_string(minutes) + ":00 ShutdownGame:\n";
    std::ostringstream out, err;
    CliEnvironment env;
    env.template_folder = BARVIK_TEMPLATE_DIR;
    env.make_image_source = [](Workspace&) { return std::make_unique<testing::FakeImages>(); };
    const int status =
        RunCli({"export", "--no-cache", Write("g.log", log), (dir_ / "r").string()}, out, err, env);
    EXPECT_EQ(status, 0) << err.str();
    std::ifstream in(dir_ / "r/site/games/1.html", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // The values written beside the grid lines, bottom up.
  static std::string GridValues(const std::string& page) {
    static const std::regex kLabel("dy=\"4\" text-anchor=\"end\">([0-9]+)<");
    std::string values;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), kLabel);
         it != std::sregex_iterator(); ++it) {
      values += (values.empty() ? "" : " ") + (*it)[1].str();
    }
    return values;
  }
};

TEST_F(SiteChartTest, GridLinesStandAtRoundValues) {
  EXPECT_EQ(GridValues(GamePage(5, {3})), "0 1 2 3");  // never "2" drawn at 1.5
  EXPECT_EQ(GridValues(GamePage(5, {7, 1})), "0 2 4 6 8");
  EXPECT_EQ(GridValues(GamePage(5, {13})), "0 5 10 15");
  EXPECT_EQ(GridValues(GamePage(5, {41})), "0 20 40 60");
  EXPECT_EQ(GridValues(GamePage(5, {1})), "0 1");
}

TEST_F(SiteChartTest, CaptionSaysWhatOneBarHolds) {
  const std::string short_game = GamePage(30, {2});
  EXPECT_NE(short_game.find("<figcaption>Kills per minute of the game</figcaption>"),
            std::string::npos);
  // 300 minutes: at most 120 bars, so each holds three minutes.
  const std::string long_game = GamePage(300, {2});
  EXPECT_NE(long_game.find("<figcaption>Kills per 3 minutes of the game</figcaption>"),
            std::string::npos);
  EXPECT_EQ(long_game.find("per minute"), std::string::npos);
}

}  // namespace
}  // namespace barvik
