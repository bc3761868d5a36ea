#include "report/SiteWriter.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/AtomicReplace.h"
#include "core/Encoding.h"
#include "core/StableHash.h"
#include "report/AwardsJson.h"
#include "report/GamesJson.h"
#include "report/RankingJson.h"
#include "report/RenderMemo.h"
#include "report/ReportFolder.h"
#include "report/SitePages.h"
#include "report/SiteText.h"

namespace barvik {
namespace {

// Everything a game's entry of games.json is made from (GameJson, AddGameRatingChanges,
// AddAwardsOfGame): the game's own fields, its players who are shown with their ids, slots,
// teams and figures, its skill changes and its awards' holders and runners-up.
uint64_t GameEntryFingerprint(const GameTexts& texts, const GamesModel& model, const Game& game,
                              const std::vector<RatingChange>* changes, const AwardTable* awards,
                              const AwardTable* runners_up) {
  // Raised whenever an entry's form changes, so that kept entries are made anew.
  constexpr uint64_t kEntryFormatVersion = 3;
  auto person = [&model](StableHash& h, PersonIndex p) {
    if (p == kNoPerson) {
      h.Number(0);
    } else {
      h.Number(model.people[p].hidden ? 1 : 2).Text(model.people[p].id);
    }
  };
  StableHash h;
  h.Number(kEntryFormatVersion).Text(kGamesJsonFormat).Number(game.number);
  if (!LogEncoding().is_default()) h.Text(LogEncoding().charset());
  h.Text(texts.Setting(game.map)).Text(texts.Setting(game.game_type)).Number(game.start);
  h.Number(game.end).Number(game.seconds).Number(static_cast<uint64_t>(game.ending));
  h.Number(static_cast<uint64_t>(game.started_at)).Number(static_cast<uint64_t>(game.time_quality));
  h.Number(game.warmup).Number(game.winner_team).Number(game.ffa).Number(game.rounds);
  for (uint32_t wins : game.round_wins) h.Number(wins);
  auto actions = [&](const std::vector<ActionCount>& list) {
    h.Number(list.size());
    for (const ActionCount& a : list) h.Text(texts.Setting(a.word)).Number(a.count);
  };
  actions(game.actions);
  person(h, game.winner_person);
  h.Number(game.players.size());
  for (const Participant& p : game.players) {
    person(h, p.person);
    const std::vector<int> slots = p.SlotNumbers();
    h.Number(slots.size());
    for (int slot : slots) h.Number(static_cast<uint64_t>(slot));
    for (uint32_t seconds : p.team_seconds) h.Number(seconds);
    for (uint64_t figure :
         {uint64_t{p.kills}, uint64_t{p.deaths}, uint64_t{p.suicides}, uint64_t{p.team_kills},
          uint64_t{p.world_deaths}, p.damage_dealt, p.damage_taken, uint64_t{p.head_shots},
          uint64_t{p.seconds}, uint64_t{p.played_seconds}}) {
      h.Number(figure);
    }
    actions(p.actions);
  }
  h.Number(changes != nullptr ? changes->size() + 1 : 0);
  for (size_t i = 0; changes != nullptr && i < changes->size(); ++i) {
    h.Text((*changes)[i].person).Real((*changes)[i].before).Real((*changes)[i].after);
  }
  h.Number(awards != nullptr ? 1 : 0);
  for (size_t a = 0; awards != nullptr && a < awards->size(); ++a) {
    person(h, (*awards)[a].person);
    h.Number((*awards)[a].value);
  }
  h.Number(runners_up != nullptr ? 1 : 0);
  for (size_t a = 0; runners_up != nullptr && a < runners_up->size(); ++a) {
    person(h, (*runners_up)[a].person);
    h.Number((*runners_up)[a].value);
  }
  return h.value();
}

// A game's entry of games.json.
std::string GameEntryText(const GameTexts& texts, const GamesModel& model, const Game& game,
                          const std::vector<RatingChange>* changes, const AwardTable* awards,
                          const AwardTable* runners_up) {
  Json entry = GameJson(texts, model, game);
  AddGameRatingChanges(entry, changes);
  AddAwardsOfGame(entry, model, awards, runners_up);
  return entry.dump();
}

// The rating changes and the awards of the game at `index` of the model, when it has them.
const std::vector<RatingChange>* ChangesOf(const ModelFigures& figures, size_t index) {
  return index < figures.ratings.changes.size() ? &figures.ratings.changes[index] : nullptr;
}
const AwardTable* AwardsOf(const ModelFigures& figures, size_t index) {
  return index < figures.awards.games.size() ? &figures.awards.games[index] : nullptr;
}
const AwardTable* RunnersUpOf(const ModelFigures& figures, size_t index) {
  return index < figures.awards.runners_up.size() ? &figures.awards.runners_up[index] : nullptr;
}

// games.json with its games' rating changes and awards, made a game at a time into `file`:
// the tree of every game's players weighs several times its text, and the text is never held
// whole either. The games' array is the document's last member, so the entries go between its
// brackets as a dump of the whole would put them. Each game finds its changes and awards by
// its index, so the cost stays linear in the games.
void WriteGamesJson(const GameTexts& texts, const GamesModel& model, const ModelFigures& figures,
                    ReportFileStream& file) {
  const std::string head = GamesJson(texts, model, 0, 0).dump();
  const size_t at = head.find("\"games\":[]") + 9;
  file.Append(std::string_view(head).substr(0, at));
  for (size_t g = 0; g < model.games.size(); ++g) {
    if (g > 0) file.Append(",");
    file.Append(GameEntryText(texts, model, model.games[g], ChangesOf(figures, g),
                              AwardsOf(figures, g), RunnersUpOf(figures, g)));
  }
  file.Append(std::string_view(head).substr(at));
  file.Append("\n");
  file.Close();
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

SiteWriter::~SiteWriter() = default;

std::unique_ptr<ReportFileStream> SiteWriter::Open(std::string_view relative_path) const {
  return output_.Open(settings_.report_folder + std::string(kSiteFolder) +
                      std::string(relative_path));
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
  Stats();
}

void SiteWriter::WriteGames(const GameTexts& texts, const GamesModel& model,
                            const ModelFigures& figures, RenderMemo* memo) {
  const SiteFrame frame{settings_.server_name, settings_.build_text, settings_.generated,
                        settings_.timezone};
  model_pages_.emplace();
  SitePageKeep keep;
  if (memo != nullptr) {
    keep = [this, memo](const std::string& path, uint64_t fingerprint) {
      if (!memo->KeepPage(std::string(kSiteFolder) + path, fingerprint,
                          output_.keeps_identical())) {
        return false;
      }
      output_.CountKept();
      model_pages_->insert(path);
      return true;
    };
  }
  WriteModelPages(
      texts, model, figures, friendly_, frame,
      [this](const std::string& path, const std::string& bytes) {
        model_pages_->insert(path);
        Write(path, bytes);
      },
      keep);
  {
    const std::unique_ptr<ReportFileStream> file = Open("games.json");
    if (memo != nullptr) {
      WriteGamesJsonWithMemo(texts, model, figures, *memo, *file);
    } else {
      WriteGamesJson(texts, model, figures, *file);
    }
  }
  {
    Json people = PeopleJson(texts, model);
    AddRatings(people, model, figures.ratings);
    AddAwards(people, model, figures.awards);
    Write("people.json", people.dump() + "\n");
  }
  Write("ranking.json",
        RankingJson(texts, model, figures.ratings, figures.game_types).dump() + "\n");
  if (!people_known_) KnowPeople(texts, model);
}

void SiteWriter::KnowPeople(const GameTexts& texts, const GamesModel& model) {
  profiles_.clear();
  for (const Person& person : model.people) {
    if (person.hidden) continue;
    for (const Spelling& s : person.spellings) {
      profiles_.emplace(ComparedName(texts.Text(s.raw)), PersonPage(person));
    }
  }
  people_known_ = true;
}

void SiteWriter::WriteGamesJsonWithMemo(const GameTexts& texts, const GamesModel& model,
                                        const ModelFigures& figures, RenderMemo& memo,
                                        ReportFileStream& text) const {
  // The document without its games, the entries going between the brackets of "games" (a
  // text in the document cannot hold an unescaped quote, so the first match is the member).
  const std::string head = GamesJson(texts, model, 0, 0).dump();
  const size_t at = head.find("\"games\":[]") + 9;
  text.Append(std::string_view(head).substr(0, at));
  // The games.json the last export left, its entries' places recorded in the memo; a kept
  // entry is read from it alone, so the old file is never held whole beside the new text.
  const std::string file = std::string(kSiteFolder) + "games.json";
  const int old = output_.keeps_identical() ? memo.OpenKeptFile(file) : -1;
  const std::unique_ptr<const int, void (*)(const int*)> closer(old >= 0 ? &old : nullptr,
                                                                [](const int* fd) { close(*fd); });
  memo.RecordFile(file);
  for (size_t g = 0; g < model.games.size(); ++g) {
    const Game& game = model.games[g];
    const std::vector<RatingChange>* changes = ChangesOf(figures, g);
    const AwardTable* awards = AwardsOf(figures, g);
    const AwardTable* runners_up = RunnersUpOf(figures, g);
    if (g > 0) text.Append(",");
    const std::string name = file + " " + std::to_string(game.number);
    const uint64_t fingerprint =
        GameEntryFingerprint(texts, model, game, changes, awards, runners_up);
    const uint64_t offset = text.size();
    const auto kept = old >= 0 ? memo.KeptPart(name, fingerprint) : std::nullopt;
    std::string entry;
    if (!kept || !ReadFileAt(old, kept->first, kept->second, entry)) {
      entry = GameEntryText(texts, model, game, changes, awards, runners_up);
    }
    text.Append(entry);
    memo.RecordPart(name, fingerprint, offset, text.size() - offset);
  }
  text.Append(std::string_view(head).substr(at));
  text.Append("\n");
  text.Close();
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
  player["name"] = Utf8FromLog(name);
  // The profile of the person who used this name, when he has one.
  auto it = profiles_.find(ComparedName(name));
  if (it != profiles_.end()) player["profile"] = it->second;
  // "lists" is the last member: the lists' own text goes where a dump of the whole tree would
  // put it. Kept as text: the tree of every player's lists would weigh several times its dump.
  const std::string head = player.dump();
  ReportFileStream& file = Stats();
  if (players_written_++ > 0) file.Append(",");
  file.Append(std::string_view(head).substr(0, head.size() - 1));
  file.Append(",\"lists\":");
  file.Append(lists_text);
  file.Append("}");
}

ReportFileStream& SiteWriter::Stats() {
  if (!stats_) {
    Json document = JsonDocument();
    document["server"] = Utf8FromLog(settings_.server_name);
    document["generated"] = Utf8FromLog(settings_.generated);
    document["turns"] = settings_.turns;
    document["lists"] = std::move(global_json_);
    global_json_ = Json::object();
    // The players' array is the document's last member: its dump ends in "[]}", and the
    // players' texts, comma-separated, go between the brackets as a dump of the whole would.
    document["players"] = Json::array();
    const std::string head = document.dump();
    stats_ = Open("stats.json");
    stats_->Append(std::string_view(head).substr(0, head.size() - 2));
  }
  return *stats_;
}

void SiteWriter::Finish() {
  Stats().Append("]}\n");
  stats_->Close();
}

size_t SiteWriter::RemoveStalePages() const {
  if (!model_pages_) return 0;
  namespace fs = std::filesystem;
  size_t removed = 0;
  // The site's own folder too: the further pages of a paged list that has shrunk.
  for (std::string_view folder : {"", "people", "games"}) {
    const fs::path dir = settings_.report_folder + std::string(kSiteFolder) + std::string(folder);
    std::error_code ec;
    // A symbolic link in the folder's place leads out of the report: left alone.
    if (fs::symlink_status(dir, ec).type() != fs::file_type::directory) continue;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path& path = it->path();
      if (path.extension() != ".html" || !it->is_regular_file(ec) || it->is_symlink(ec)) continue;
      const std::string page = folder.empty()
                                   ? path.filename().string()
                                   : std::string(folder) + "/" + path.filename().string();
      if (model_pages_->contains(page)) continue;
      std::error_code removing;
      if (fs::remove(path, removing)) ++removed;
    }
  }
  return removed;
}

}  // namespace barvik
