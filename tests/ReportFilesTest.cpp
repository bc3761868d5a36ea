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

TEST(AssignPlayerPrefixesTest, LongNamesAreCutAndStayApartEvenWhenSuffixed) {
  const std::string at_limit(kMaxPrefixBytes, 'z');  // fits exactly
  const std::string upper_at_limit(kMaxPrefixBytes, 'Z');
  const std::string long_name(300, 'a');
  const std::string other_long_name = long_name + "b";
  auto p = AssignPlayerPrefixes({at_limit, upper_at_limit, long_name, other_long_name});
  EXPECT_EQ(p.at(at_limit), at_limit);
  for (const auto& [name, prefix] : p) {
    EXPECT_LE(prefix.size(), kMaxPrefixBytes) << name.size();
  }
  // The same letters in another case collide: the suffix still fits after a cut.
  EXPECT_TRUE(p.at(upper_at_limit).ends_with("_2"));
  EXPECT_TRUE(p.at(upper_at_limit).starts_with("zzzzzzzzzz"));
  // Cut prefixes keep the start and differ by their hash, without a suffix.
  EXPECT_TRUE(p.at(long_name).starts_with(std::string(100, 'a')));
  EXPECT_NE(p.at(long_name), p.at(other_long_name));
  EXPECT_FALSE(p.at(other_long_name).ends_with("_2"));
  // The next export of the same names gives the same addresses.
  EXPECT_EQ(AssignPlayerPrefixes({at_limit, upper_at_limit, long_name, other_long_name}), p);
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
