// File prefixes of one export and the output folder text.
#include "report/ReportFiles.h"

#include <gtest/gtest.h>

namespace barvik {
namespace {

TEST(AssignPlayerPrefixesTest, CollidingPlayersGetTheFirstFreeSuffix) {
  auto p = AssignPlayerPrefixes({"Bob", "bob", "!", "33", "BOB", "Zed"});
  EXPECT_EQ(p.at("Bob"), "bob");
  EXPECT_EQ(p.at("bob"), "bob_2");  // differs only in case
  EXPECT_EQ(p.at("!"), "33");
  EXPECT_EQ(p.at("33"), "33_2");  // encodes to the same prefix
  EXPECT_EQ(p.at("BOB"), "bob_3");
  EXPECT_EQ(p.at("Zed"), "zed");
}

TEST(AssignPlayerPrefixesTest, AnyOfTheTenFileNamesCollides) {
  // "x" + "enemyaccuracy.html" is "xenemy" + "accuracy.html".
  auto p = AssignPlayerPrefixes({"x", "xenemy", "xratio"});
  EXPECT_EQ(p.at("x"), "x");
  EXPECT_EQ(p.at("xenemy"), "xenemy_2");
  EXPECT_EQ(p.at("xratio"), "xratio");  // "xratiochart.html" is no file of "x"
}

TEST(AssignPlayerPrefixesTest, EmptyNameKeepsOffTheGlobalPages) {
  auto p = AssignPlayerPrefixes({""});
  EXPECT_EQ(p.at(""), "_2");
}

TEST(AssignPlayerPrefixesTest, SameNameTwiceKeepsOnePrefix) {
  auto p = AssignPlayerPrefixes({"Bob", "Bob"});
  EXPECT_EQ(p.size(), 1u);
  EXPECT_EQ(p.at("Bob"), "bob");
}

TEST(OutputFolderPrefixTest, BackslashesBecomeSlashesAndOneIsAppended) {
  EXPECT_EQ(OutputFolderPrefix("out"), "out/");
  EXPECT_EQ(OutputFolderPrefix("out/"), "out/");
  EXPECT_EQ(OutputFolderPrefix(".\\html\\"), "./html/");
  EXPECT_EQ(OutputFolderPrefix("a\\b"), "a/b/");
  EXPECT_EQ(OutputFolderPrefix("/"), "/");
  EXPECT_EQ(OutputFolderPrefix(""), "");
}

}  // namespace
}  // namespace barvik
