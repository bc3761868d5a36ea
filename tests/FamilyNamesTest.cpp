// The games of the family: friendly names chosen by the InitGame line's gamename, CoD4
// attachments and per-nation grenades folded into one weapon, unnamed keys said once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "FakeImages.h"
#include "TempFolder.h"
#include "app/Cli.h"
#include "report/FriendlyNames.h"

namespace barvik {
namespace {

FriendlyNames DefaultTable() { return FriendlyNames::Load(BARVIK_TEMPLATE_DIR); }

std::string Shown(const FriendlyNames& t, NameKind kind, std::string_view raw, GameFamily f) {
  const FriendlyName n = t.Find(kind, raw, f);
  if (n.name == nullptr) return "(none)";
  return n.detail.empty() ? *n.name : *n.name + " / " + n.detail;
}

TEST(FamilyNamesTest, GameNameChoosesTheTable) {
  EXPECT_EQ(FamilyOfGameName("Call of Duty 2"), GameFamily::kCod2);
  EXPECT_EQ(FamilyOfGameName("call of duty 4"), GameFamily::kCod4);
  EXPECT_EQ(FamilyOfGameName("Call of Duty"), GameFamily::kUnitedOffensive);
  EXPECT_EQ(FamilyOfGameName("CoD:United Offensive"), GameFamily::kUnitedOffensive);
  EXPECT_EQ(FamilyOfGameName(""), GameFamily::kUnitedOffensive);
  EXPECT_EQ(FamilyOfGameName("Call of Duty 20"), GameFamily::kUnitedOffensive);

  const FriendlyNames t = DefaultTable();
  using enum GameFamily;
  EXPECT_EQ(Shown(t, NameKind::Map, "mp_carentan", kUnitedOffensive), "Carentan");
  EXPECT_EQ(Shown(t, NameKind::Map, "mp_carentan", kCod2), "Carentan");
  EXPECT_EQ(Shown(t, NameKind::Map, "mp_carentan", kCod4), "Chinatown");
  EXPECT_EQ(Shown(t, NameKind::Map, "mp_dawnville", kCod2), "St. Mere Eglise");
  for (const char* map : {"mp_toujane", "mp_farmhouse"}) {
    EXPECT_NE(Shown(t, NameKind::Map, map, kCod2), "(none)") << map;
  }
  for (const char* map : {"mp_broadcast", "mp_creek", "mp_killhouse", "mp_crash", "mp_vacant"}) {
    EXPECT_NE(Shown(t, NameKind::Map, map, kCod4), "(none)") << map;
    EXPECT_EQ(Shown(t, NameKind::Map, map, kUnitedOffensive), "(none)") << map;
  }
  // The codes the logs write in upper case match too.
  EXPECT_EQ(Shown(t, NameKind::Weapon, "PPS42_mp", kCod2), "PPS-42");
  for (const char* weapon : {"g43_sniper_mp", "enfield_scope_mp", "greasegun_mp", "SVT40_mp"}) {
    EXPECT_NE(Shown(t, NameKind::Weapon, weapon, kCod2), "(none)") << weapon;
  }
  EXPECT_EQ(Shown(t, NameKind::Weapon, "mg34_tank_mp", kUnitedOffensive), "MG34 (tank)");
  EXPECT_EQ(Shown(t, NameKind::Weapon, "50cal_tank_mp", kUnitedOffensive), ".50 cal (tank)");
  EXPECT_EQ(t.weapon_groups().at("frag_grenade_russian_mp"), WeaponGroup::Grenade);
  EXPECT_EQ(t.weapon_groups().at("m40a3_mp"), WeaponGroup::Sniper);
}

TEST(FamilyNamesTest, AttachmentsFoldIntoTheBaseWeapon) {
  const FriendlyNames t = DefaultTable();
  using enum GameFamily;
  EXPECT_EQ(Shown(t, NameKind::Weapon, "rpd_mp", kCod4), "RPD");
  EXPECT_EQ(Shown(t, NameKind::Weapon, "rpd_reflex_mp", kCod4), "RPD / Red Dot Sight");
  EXPECT_EQ(Shown(t, NameKind::Weapon, "RPD_GRIP_MP", kCod4), "RPD / Grip");
  EXPECT_EQ(Shown(t, NameKind::Weapon, "m4_acog_mp", kCod4), "M4 Carbine / ACOG Scope");
  // Only words that are attachments, only onto a known weapon, only in the game that has them.
  EXPECT_EQ(Shown(t, NameKind::Weapon, "rpd_laser_mp", kCod4), "(none)");
  EXPECT_EQ(Shown(t, NameKind::Weapon, "zz_reflex_mp", kCod4), "(none)");
  EXPECT_EQ(Shown(t, NameKind::Weapon, "rpd_reflex_mp", kCod2), "(none)");
  EXPECT_EQ(Shown(t, NameKind::Weapon, "_reflex_mp", kCod4), "(none)");
  EXPECT_EQ(Shown(t, NameKind::Weapon, "reflex_mp", kCod4), "(none)");

  // A table of an admin's: a tagged line beats the untagged one of its raw name.
  const FriendlyNames own = FriendlyNames::Parse(
      "weapon\tgun_mp\tGun\n"
      "weapon:cod2\tgun_mp\tCoD2 gun\tpistol\tthe detail\n"
      "attachment:cod2\tbig\tBig barrel\n"
      "map:cod4\tmp_x\n");  // no name: skipped
  EXPECT_EQ(Shown(own, NameKind::Weapon, "gun_mp", kCod4), "Gun");
  EXPECT_EQ(Shown(own, NameKind::Weapon, "gun_mp", kCod2), "CoD2 gun / the detail");
  EXPECT_EQ(Shown(own, NameKind::Weapon, "gun_big_mp", kCod2), "CoD2 gun / Big barrel");
  EXPECT_EQ(Shown(own, NameKind::Map, "mp_x", kCod4), "(none)");
  EXPECT_EQ(*own.Find(NameKind::Weapon, "gun_mp"), "Gun");
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class FamilySiteTest : public testing::TempFolderTest {
 protected:
  int Export(const std::string& log, std::string& err) {
    std::ostringstream out, errors;
    CliEnvironment env;
    env.template_folder = BARVIK_TEMPLATE_DIR;
    env.make_image_source = [](Workspace&) { return std::make_unique<testing::FakeImages>(); };
    const int status =
        RunCli({"export", "--no-cache", log, (dir_ / "r").string()}, out, errors, env);
    err = errors.str();
    return status;
  }
};

constexpr const char* kTwoGames =
    "  0:00 InitGame: \\g_gametype\\war\\gamename\\Call of Duty 4\\mapname\\mp_carentan\\"
    "sv_hostname\\S\n"
    "  0:01 J;1;0;Alice\n"
    "  0:02 J;2;1;Bob\n"
    "  0:05 K;1;0;axis;Alice;2;1;allies;Bob;rpd_reflex_mp;135;MOD_HEAD_SHOT;head\n"
    "  0:06 K;2;1;allies;Bob;1;0;axis;Alice;rpd_grip_mp;35;MOD_RIFLE_BULLET;torso_upper\n"
    "  0:07 K;2;1;allies;Bob;1;0;axis;Alice;rpd_mp;35;MOD_RIFLE_BULLET;torso_upper\n"
    "  0:08 K;2;1;allies;Bob;1;0;axis;Alice;zz_laser_mp;35;MOD_RIFLE_BULLET;torso_upper\n"
    "  2:00 ShutdownGame:\n"
    "  2:01 InitGame: \\g_gametype\\tdm\\gamename\\Call of Duty 2\\mapname\\mp_carentan\\"
    "sv_hostname\\S\n"
    "  2:02 J;1;0;Alice\n"
    "  2:02 J;2;1;Bob\n"
    "  2:05 K;1;0;axis;Alice;2;1;allies;Bob;frag_grenade_german_mp;135;MOD_GRENADE_SPLASH;none\n"
    "  2:06 K;2;1;allies;Bob;1;0;axis;Alice;frag_grenade_russian_mp;135;MOD_GRENADE_SPLASH;none\n"
    "  2:09 K;2;1;allies;Bob;1;0;axis;Alice;zz_laser_mp;35;MOD_RIFLE_BULLET;torso_upper\n"
    "  2:10 K;2;1;allies;Bob;1;0;axis;Alice;mp_qq_mp;35;MOD_RIFLE_BULLET;torso_upper\n"
    "  4:00 ShutdownGame:\n";

TEST_F(FamilySiteTest, EachGameIsNamedByItsOwnGameAndFoldedWeaponsAreOneRow) {
  std::string err;
  ASSERT_EQ(Export(Write("two.log", kTwoGames), err), 0) << err;
  const std::string weapons = ReadAll(dir_ / "r/site/weapons.html");
  // Three RPD codes, one row of 3 kills, the attachments as its details.
  EXPECT_NE(weapons.find(">RPD</span><br><small>Red Dot Sight, Grip</small><td>3<"),
            std::string::npos)
      << weapons;
  EXPECT_NE(weapons.find(">Frag grenade</span><br><small>"), std::string::npos);
  EXPECT_EQ(weapons.find(">frag_grenade_german_mp<"), std::string::npos);
  // One raw map, two games, two names.
  const std::string maps = ReadAll(dir_ / "r/site/maps.html");
  EXPECT_NE(maps.find(">Chinatown</span>"), std::string::npos);
  EXPECT_NE(maps.find(">Carentan</span>"), std::string::npos);
  EXPECT_NE(ReadAll(dir_ / "r/site/games/1.html").find("Chinatown"), std::string::npos);
  EXPECT_EQ(ReadAll(dir_ / "r/site/games/2.html").find("Chinatown"), std::string::npos);

  // Each unnamed code once, though two games use it.
  const std::string table =
      (std::filesystem::path(BARVIK_TEMPLATE_DIR) / "friendly-names.dat").string();
  EXPECT_EQ(err,
            "barvik-cli: no friendly name for weapon 'zz_laser_mp' of Call of Duty 4; add it to " +
                table +
                "\nbarvik-cli: no friendly name for weapon 'mp_qq_mp' of Call of Duty 2; "
                "add it to " +
                table + "\n");
}

TEST_F(FamilySiteTest, SampleLogNamesEveryMapAndWeapon) {
  std::string err;
  ASSERT_EQ(Export(BARVIK_SOURCE_DIR "/samples/sample.log", err), 0) << err;
  EXPECT_EQ(err, "");
}

}  // namespace
}  // namespace barvik
