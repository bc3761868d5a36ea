// barvik-cli's --json output read back and compared with the lists the tab-separated output
// prints, on names that tab-separated text cannot carry.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/Workspace.h"
#include "core/Text1252.h"
#include "report/JsonWriter.h"
#include "report/SiteText.h"
#include "tests/CliRun.h"
#include "tests/TestLog.h"

namespace barvik {
namespace {

using testing::RunTool;
using testing::TempLog;

const char* kAwkwardNames[] = {"tab\there", "\"quoted\"", "back\\slash", "\xC4lf \xE9t\xE9 \x80",
                               "plain"};

std::string AwkwardLog() {
  std::string log =
      "0:00 InitGame: \\g_gametype\\ctf\\mapname\\mp_uo_carentan\\sv_hostname\\"
      "^1Caf\xE9 \"quoted\"\\\n";
  for (int i = 0; i < 5; ++i) {
    log += "0:01 J;" + std::to_string(i) + ";" + std::to_string(i) + ";" + kAwkwardNames[i] + "\n";
  }
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) {
      if (i == j || (i + j) % 3 == 0) continue;
      log += "0:02 K;" + std::to_string(i) + ";" + std::to_string(i) + ";axis;" + kAwkwardNames[i] +
             ";" + std::to_string(j) + ";" + std::to_string(j) + ";allies;" + kAwkwardNames[j] +
             ";mp44_mp;100;MOD;" + (j % 2 ? "head" : "torso_upper") + "\n";
    }
  }
  return log;
}

// Every list of `document` holds exactly the rows and cells of the Workspace's list.
void ExpectSameLists(const Json& document, const Workspace& ws, std::initializer_list<ListId> ids) {
  ASSERT_EQ(document["format"], std::string(kJsonFormat));
  ASSERT_EQ(document["lists"].size(), ids.size());
  for (ListId id : ids) {
    const ReportList& list = ws.List(id);
    const Json& json = document["lists"][list.name];
    ASSERT_EQ(json["columns"].size(), list.columns.size()) << list.name;
    ASSERT_EQ(json["rows"].size(), list.rows.size()) << list.name;
    for (size_t r = 0; r < list.rows.size(); ++r) {
      const Row& row = list.rows[r];
      const Json& out = json["rows"][r];
      EXPECT_EQ(out["caption"], Utf8FromLog(row.caption));
      ASSERT_EQ(out["cells"].size(), row.cells.size());
      for (size_t c = 0; c < row.cells.size(); ++c) {
        const Json& cell = out["cells"][c];
        if (cell.is_null()) {
          EXPECT_EQ(out["texts"][list.columns[c + 1].caption], row.cells[c]) << list.name;
        } else {
          EXPECT_DOUBLE_EQ(cell.get<double>(), std::stod(row.cells[c])) << list.name;
        }
      }
    }
  }
}

TEST(JsonOutputTest, TablesAndPlayerListsReadBackAsTheListsShowThem) {
  TempLog log(AwkwardLog());
  Workspace ws;
  ASSERT_TRUE(ws.RunAnalysis(log.path()));

  auto tables = RunTool({"tables", "--json", log.path()});
  ASSERT_EQ(tables.status, kExitOk) << tables.err;
  const Json document = Json::parse(tables.out);  // throws on invalid JSON or UTF-8
  EXPECT_EQ(document["server"], "^1Caf\xC3\xA9 \"quoted\"");
  ExpectSameLists(document, ws,
                  {ListId::Players, ListId::Weapon, ListId::Maps, ListId::GType, ListId::Accuracy});
  // A name the tab-separated form would split in two is one caption here.
  const Json& players = document["lists"]["ListViewPlayers"]["rows"];
  EXPECT_TRUE(std::any_of(players.begin(), players.end(),
                          [](const Json& r) { return r["caption"] == "tab\there"; }));

  const std::string name = LowerCopy(kAwkwardNames[3]);
  ws.SelectPlayerRow(testing::FindRow(ws.List(ListId::Players), name) -
                     ws.List(ListId::Players).rows.data());
  ws.ListViewPlayersDblClick();
  auto player = RunTool({"player", "--json", log.path(), name});
  ASSERT_EQ(player.status, kExitOk) << player.err;
  const Json detail = Json::parse(player.out);
  ExpectSameLists(detail, ws,
                  {ListId::Player, ListId::PlayerWeapon, ListId::WeaponAccuracy,
                   ListId::PlayerGlobAccuracy, ListId::PlayerGlobEnemyAccuracy, ListId::PlayerMaps,
                   ListId::PlayerGameType, ListId::PlayerVictims, ListId::PlayerTurnsRatio});
  EXPECT_EQ(detail["chart"]["points"].size(), ws.chart().points.size());

  // The tab-separated output is what it was: --json changes nothing without the option.
  EXPECT_EQ(RunTool({"tables", log.path()}).out.find('{'), std::string::npos);
  auto export_json = RunTool({"export", "--json", log.path(), "/tmp/x"});
  EXPECT_EQ(export_json.status, kExitUsage);
  EXPECT_NE(export_json.err.find("unknown option '--json' for 'export'"), std::string::npos);
}

// The text the export writes for a player's lists is the dump of their tree, byte for byte,
// on the cells and texts that take JSON's escapes and number forms.
TEST(JsonOutputTest, ListsTextIsTheDumpOfTheirTree) {
  ReportList awkward("ListView\"Odd\\", {{"Name", 100, Align::Left}, {"Kills"}, {"Kills"}, {"%"}});
  for (const char* name : kAwkwardNames) awkward.rows.push_back({name, {"12", "-3", "3,250"}});
  awkward.rows.push_back({"ctl\x01\x1F\x7F\b\f\n\r", {"n/a", "err", "0,000", "extra"}});
  awkward.rows.push_back({"num", {"-0", "007", "99999999999999999999", ",5", "1,", "-,"}});
  awkward.rows.push_back({"wide", {"1000000,000", "0,100", "123456789012345,678"}});
  awkward.rows.push_back({"short", {}});
  awkward.rows.push_back({std::string(kTotalRowCaption), {"", "5", ""}});
  const ReportList empty("ListViewEmpty", {{"Name", 100, Align::Left}});
  const ReportList dotted("ListViewDotted", {{"Name", 100, Align::Left}, {"Ratio"}});
  const std::vector<const ReportList*> lists = {&awkward, &empty};
  EXPECT_EQ(ListsJsonText(lists, ','), ListsJson(lists, ',').dump());
  ReportList decimals = dotted;
  decimals.rows.push_back({"p", {"2.5"}});
  decimals.rows.push_back({"q", {"2,5"}});
  EXPECT_EQ(ListsJsonText({&decimals, &awkward}, '.'),
            ListsJson({&decimals, &awkward}, '.').dump());
  // A list named twice is one member, as in the tree.
  EXPECT_EQ(ListsJsonText({&decimals, &decimals}, '.'),
            ListsJson({&decimals, &decimals}, '.').dump());
}

}  // namespace
}  // namespace barvik
