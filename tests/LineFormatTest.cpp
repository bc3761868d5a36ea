// The line format as every pass reads it: the ";"-fields after the time stamp (FieldCursor),
// the kind a line's first field names, and the values of a game-initialisation line.
#include "log/LineFormat.h"

#include <gtest/gtest.h>

#include <string>

#include "log/FieldCursor.h"
#include "log/LineLayout.h"

namespace barvik {
namespace {

// Field n (from 1) of a line, as the event builder walks to it.
std::string_view Field(std::string_view line, int n) {
  FieldCursor cursor(line);
  std::string_view field;
  for (int i = 0; i < n; ++i) field = cursor.Next();
  return field;
}

LineKind Kind(std::string_view line) { return KindOfField1(Field(line, layout::kKindField)); }

struct GameInitValues {
  std::string map, game_type, server_name;
};

GameInitValues GameInit(std::string_view line) {
  const std::string_view field1 = Field(line, layout::kKindField);
  return {std::string(GameInitValue(field1, layout::kMapKey)),
          std::string(GameInitValue(field1, layout::kGameTypeKey)),
          std::string(GameInitValue(field1, layout::kHostNameKey))};
}

TEST(LineFormatTest, FieldsFollowTheTimeStamp) {
  const std::string_view join = "  0:00 J;12345;3;Bob";
  EXPECT_EQ(Field(join, 1), "J");
  EXPECT_EQ(Field(join, 4), "Bob");
  EXPECT_EQ(Field(join, 5), "");
  EXPECT_EQ(Field(join, 50), "");
  EXPECT_EQ(Kind(join), LineKind::Join);
  // Blanks inside fields stay; tabs are ordinary characters.
  EXPECT_EQ(Field("1:00   say;1;2; Bob ;hi there", 4), " Bob ");
  EXPECT_EQ(Field("1:00\tK;x", 1), "x");  // no blank: only the last character
}

TEST(LineFormatTest, ShortAndBlankFreeLines) {
  EXPECT_EQ(Field("", 1), "");
  EXPECT_EQ(Field("K", 1), "K");
  EXPECT_EQ(Kind("K"), LineKind::Kill);
  EXPECT_EQ(Field("abcW", 1), "W");
  EXPECT_EQ(Field("abcW", 2), "");
  EXPECT_EQ(Field("abc;", 1), "");
  EXPECT_EQ(Field(" 12:00", 1), "0");
  EXPECT_EQ(Field("12:00 ", 1), " ");  // steps stop at the last character
  EXPECT_EQ(Field("0:01 a;;c;", 2), "");
  EXPECT_EQ(Field("0:01 a;;c;", 3), "c");
  EXPECT_EQ(Field("0:01 a;;c;", 4), "");
}

TEST(LineFormatTest, KindsAreExactKeywords) {
  struct Case {
    const char* line;
    LineKind kind;
  } cases[] = {
      {"0:00 Q;1;2;x", LineKind::Quit},
      {"0:00 say;1;2;x;hi", LineKind::Say},
      {"0:00 sayteam;1;2;x", LineKind::SayTeam},
      {"0:00 Weapon;1;2;x;w", LineKind::WeaponPickUp},
      {"0:00 D;1", LineKind::Damage},
      {"0:00 Item;1;2;x", LineKind::Item},
      {"0:00 A;1;2;t;x;bel", LineKind::Action},
      {"0:00 W;t;1;x", LineKind::Win},
      {"0:00 L;t;1;x", LineKind::Loss},
      {"0:00 k;1", LineKind::Other},
      {"0:00 Say;1", LineKind::Other},
      {"0:00 WEAPON;1", LineKind::Other},
      {"0:00 Spawn;1;2;x", LineKind::Other},
      {"0:00 J ;1", LineKind::Other},
      {"0:00 InitGame: \\mapname\\map_one", LineKind::GameInit},
      {"0:00 InitGame:", LineKind::GameInit},
      {"0:00 InitGame \\mapname\\x", LineKind::Other},
      {"0:00 InitGam", LineKind::Other},
      {"0:00 InitGame:x;K", LineKind::GameInit},
  };
  for (const Case& c : cases) EXPECT_EQ(Kind(c.line), c.kind) << c.line;
}

TEST(LineFormatTest, GameInitValues) {
  auto v =
      GameInit("0:00 InitGame: \\g_gametype\\gt_a\\mapname\\map_one\\sv_hostname\\My Server\\x\\1");
  EXPECT_EQ(v.map, "map_one");
  EXPECT_EQ(v.game_type, "gt_a");
  EXPECT_EQ(v.server_name, "My Server");
  v = GameInit("0:00 InitGame: \\mapname\\map_one\\g_gametype\\gt_b");
  EXPECT_EQ(v.map, "map_one");
  EXPECT_EQ(v.game_type, "");
  EXPECT_EQ(v.server_name, "n/a");
  // The line's own ";" ends field 1.
  v = GameInit("0:00 InitGame: \\sv_hostname\\A;B\\mapname\\m\\");
  EXPECT_EQ(v.server_name, "");
  EXPECT_EQ(v.map, "n/a");
}

}  // namespace
}  // namespace barvik
