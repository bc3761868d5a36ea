// The players list's names: which lines bring a name in, in first-met order, and how the name
// options merge variants.
#include "log/NameList.h"

#include <gtest/gtest.h>

#include "log/LogFile.h"

namespace barvik {
namespace {

TEST(NameListTest, FirstMetFormsFromJoinsChatAndKillsOnly) {
  LogFile log = LogFile::FromText(
      "0:01 J;1;2;Bob\n"
      "0:02 say;3;4;al;hi\n"
      "0:03 K;5;6;blue;Bob;7;8;red;Zed;smg_b;50;MOD_Y;torso_upper\n"
      "0:04 sayteam;1;2;Tim\n0:05 D;1;2;x;Dan;3;4;y;Eve;w;1;M;head\n0:06 W;t;1;Wil\n"
      "0:07 Weapon;1;2;Pat;w\n0:08 Item;1;2;Ian\n0:09 A;1;2;t;Ann;bel\n"
      "0:10 K;1;2;x;BOB;3;4;y;;w;1;M;head\n0:11 Q;1;2;Quinn\n");
  NameList names = BuildNameList(log);
  EXPECT_EQ(names.Names(), (std::vector<std::string>{"Bob", "al", "Zed", "Quinn"}));
  log.IgnoreCase = true;
  names = BuildNameList(log);
  EXPECT_EQ(names.Names(), (std::vector<std::string>{"bob", "al", "zed", "quinn"}));
  EXPECT_EQ(names.Find("BoB"), 0);
  EXPECT_EQ(names.Find(""), -1);
}

TEST(NameListTest, ColourVariantsMergeWhenColoursAreIgnored) {
  LogFile log = LogFile::FromText("0:01 J;1;2;^1Bob\n0:02 J;1;2;^4Bob\n0:03 J;1;2;^1^2\n");
  EXPECT_EQ(BuildNameList(log).size(), 3u);
  log.IgnoreColors = true;
  EXPECT_EQ(BuildNameList(log).Names(), (std::vector<std::string>{"Bob"}));
}

}  // namespace
}  // namespace barvik
