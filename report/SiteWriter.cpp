#include "report/SiteWriter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "report/AwardsJson.h"
#include "report/GamesJson.h"
#include "report/RankingJson.h"
#include "report/ReportFolder.h"
#include "report/SitePages.h"
#include "report/SiteText.h"

namespace barvik {

namespace {

// games.json with its games' rating changes and awards, put together a few games at a time:
// the tree of every game's players weighs several times its text. The games' array is the
// document's last member, so each part's games go between the brackets as a dump of the whole
// would put them.
std::string GamesJsonText(const GameTexts& texts, const GamesModel& model,
                          const ModelFigures& figures) {
  constexpr size_t kGamesAtATime = 64;
  const size_t head = GamesJson(texts, model, 0, 0).dump().size() - 2;  // up to "[]}"
  std::string text;
  for (size_t first = 0; first == 0 || first < model.games.size(); first += kGamesAtATime) {
    Json part = GamesJson(texts, model, first, std::min(model.games.size(), first + kGamesAtATime));
    AddRatingChanges(part, model, figures.ratings);
    AddGameAwards(part, model, figures.awards);
    const std::string dumped = part.dump();
    if (first == 0) {
      // Room for as many parts like the first: growing by doubling would hold up to three
      // times the text for a moment.
      const size_t parts = (model.games.size() + kGamesAtATime - 1) / kGamesAtATime;
      text.reserve(dumped.size() + (dumped.size() - head) * parts + parts / 8 * dumped.size());
      text.append(dumped, 0, dumped.size() - 2);
    } else {
      text += ',';
      text.append(dumped, head, dumped.size() - 2 - head);
    }
  }
  text += "]}\n";
  return text;
}

}  // namespace

SiteWriter::SiteWriter(SiteSettings settings, ReportOutput& output)
    : settings_(std::move(settings)),
      output_(output),
      friendly_(FriendlyNames::Load(settings_.template_folder)),
      global_json_(Json::object()) {
  // Staged files have their folders made inside the staging folder, so that a run stopped
  // early leaves none in the report folder; without staging they are made here. A folder
  // that cannot be made fails the first write with its path.
  if (!output_.staged()) {
    std::error_code ec;
    const std::filesystem::path site = settings_.report_folder + std::string(kSiteFolder);
    std::filesystem::create_directories(site / "games", ec);
    std::filesystem::create_directories(site / "people", ec);
  }
}

void SiteWriter::Write(std::string_view relative_path, std::string bytes) const {
  output_.Write(settings_.report_folder + std::string(kSiteFolder) + std::string(relative_path),
                std::move(bytes));
}

void SiteWriter::WriteGlobal(const GlobalLists& lists) {
  // The style sheet and the script are installation data like the classic templates; a
  // missing one leaves the pages plain, still complete.
  for (std::string_view file : {"site.css", "site.js"}) {
    std::ifstream in(std::filesystem::path(settings_.template_folder) / file, std::ios::binary);
    if (!in) continue;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Write(file, bytes);
  }
  global_json_ =
      ListsJson({lists.players, lists.weapons, lists.maps, lists.game_types, lists.locations},
                settings_.decimal_separator);
}

void SiteWriter::WriteGames(const GameTexts& texts, const GamesModel& model,
                            const ModelFigures& figures) {
  const SiteFrame frame{settings_.server_name, settings_.build_text, settings_.generated};
  WriteModelPages(
      texts, model, figures, friendly_, frame,
      [this](const std::string& path, const std::string& bytes) { Write(path, bytes); });
  Write("games.json", GamesJsonText(texts, model, figures));
  {
    Json people = PeopleJson(texts, model);
    AddRatings(people, model, figures.ratings);
    AddAwards(people, model, figures.awards);
    Write("people.json", people.dump() + "\n");
  }
  Write("ranking.json",
        RankingJson(texts, model, figures.ratings, figures.game_types).dump() + "\n");
  profiles_.clear();
  for (const Person& person : model.people) {
    if (person.hidden) continue;
    for (const Spelling& s : person.spellings) {
      profiles_.emplace(ComparedName(texts.Text(s.raw)), PersonPage(person));
    }
  }
}

void SiteWriter::WritePlayer(const std::string& name, const PlayerLists& lists) {
  WritePlayer(name, PlayerListsText(lists));
}

std::string SiteWriter::PlayerListsText(const PlayerLists& lists) const {
  return ListsJsonText({lists.header, lists.weapons, lists.given, lists.taken, lists.maps,
                        lists.game_types, lists.opponents, lists.turns},
                       settings_.decimal_separator);
}

void SiteWriter::WritePlayer(const std::string& name, std::string_view lists_text) {
  Json player = Json::object();
  player["name"] = Utf8From1252(name);
  // The profile of the person who used this name, when he has one.
  auto it = profiles_.find(ComparedName(name));
  if (it != profiles_.end()) player["profile"] = it->second;
  // "lists" is the last member: the lists' own text goes where a dump of the whole tree would
  // put it. Kept as text: the tree of every player's lists would weigh several times its dump.
  const std::string head = player.dump();
  if (!players_json_text_.empty()) players_json_text_ += ',';
  players_json_text_.append(head, 0, head.size() - 1);
  players_json_text_ += ",\"lists\":";
  players_json_text_ += lists_text;
  players_json_text_ += '}';
}

void SiteWriter::Finish() {
  Json document = JsonDocument();
  document["server"] = Utf8From1252(settings_.server_name);
  document["generated"] = Utf8From1252(settings_.generated);
  document["turns"] = settings_.turns;
  document["lists"] = std::move(global_json_);
  // The players' array is the document's last member: its dump ends in "[]}", and the
  // players' texts, comma-separated, go between the brackets as a dump of the whole would.
  // Put together in the players' own buffer, so no second copy of them is ever held.
  document["players"] = Json::array();
  std::string text = std::move(players_json_text_);
  players_json_text_ = std::string();
  const std::string head = document.dump();
  text.insert(0, head, 0, head.size() - 2);
  text += "]}\n";
  Write("stats.json", std::move(text));
}

}  // namespace barvik
