#include "stats/GameRatings.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "core/HashedPieces.h"
#include "core/StableHash.h"
#include "log/LineFormat.h"
#include "stats/SavedText.h"

namespace barvik {

namespace {
constexpr uint32_t kAllies = 1;
constexpr uint32_t kAxis = 2;

constexpr std::string_view kKeptHeader = "barvik-model-ratings 3\n";
}  // namespace

RatedGameInput RatingInputOf(const GamesModel& model, const Game& game) {
  RatedGameInput input;
  input.seconds = static_cast<int>(game.seconds);
  if (game.winner_team == kAllies || game.winner_team == kAxis) {
    input.winner = std::string(TeamNameOfCode(game.winner_team));
  }
  std::unordered_map<PersonIndex, uint32_t> index_of;  // person -> his entry in the input
  for (const Participant& p : game.players) {
    index_of.emplace(p.person, static_cast<uint32_t>(input.players.size()));
    RatedPlayer player;
    player.person = model.people.at(p.person).id;
    player.seconds = static_cast<int>(p.seconds);
    for (uint32_t team : {kAllies, kAxis}) {
      if (p.team_seconds[team] > 0) {
        player.team_seconds.emplace_back(TeamNameOfCode(team), p.team_seconds[team]);
      }
    }
    input.players.push_back(std::move(player));
  }
  for (const GameKill& kill : game.kills) {
    if (kill.kind != GameKill::Kind::Kill) continue;
    const auto winner = index_of.find(kill.attacker);
    const auto loser = index_of.find(kill.victim);
    if (winner == index_of.end() || loser == index_of.end() || winner == loser) continue;
    input.duels.push_back({winner->second, loser->second});
  }
  return input;
}

void RateGames(const GamesModel& model, GameRatings& state, std::optional<uint32_t> game_type) {
  for (size_t g = state.changes.size(); g < model.games.size(); ++g) {
    const Game& game = model.games[g];
    if (game.warmup || (game_type && game.game_type != *game_type)) {
      state.changes.emplace_back();
      continue;
    }
    state.changes.push_back(state.history.Add(RatingInputOf(model, game)));
  }
}

std::vector<GameTypeRatings> RateGameTypes(const GamesModel& model, int64_t min_games,
                                           const RatingOptions& options) {
  // Warm-ups are never rated, so a type with fewer other games cannot reach the bar: it is
  // not rated at all.
  std::vector<uint32_t> order;
  std::unordered_map<uint32_t, int64_t> candidates;
  for (const Game& game : model.games) {
    if (game.warmup) continue;
    if (candidates[game.game_type]++ == 0) order.push_back(game.game_type);
  }
  std::vector<GameTypeRatings> types;
  for (const uint32_t type : order) {
    if (candidates[type] < min_games) continue;
    GameTypeRatings rated;
    rated.game_type = type;
    rated.ratings.history = RatingHistory(options);
    RateGames(model, rated.ratings, type);
    if (rated.ratings.history.Games() >= min_games) types.push_back(std::move(rated));
  }
  return types;
}

namespace {

using saved::Put;
using saved::PutText;

// A stable hash of everything the rating of the first games of `model` reads: each game's
// warm-up mark, game type and rating input. Person ids, not indexes, so it holds across runs.
// It grows a game at a time, so one pass serves both the check of a kept state and the state
// kept next.
class InputsHash {
 public:
  InputsHash(const GamesModel& model, const GameTexts& texts) : model_(model), texts_(texts) {}

  // The hash of the first `count` games.
  uint64_t Of(size_t count) {
    if (count < games_) {  // start again from the first game
      hash_ = StableHash();
      games_ = 0;
    }
    for (; games_ < count; ++games_) Add(model_.games[games_]);
    return hash_.value();
  }

 private:
  void Add(const Game& game) {
    hash_.Number(game.warmup ? 1 : 0).Text(texts_.Setting(game.game_type));
    if (game.warmup) return;
    const RatedGameInput input = RatingInputOf(model_, game);
    hash_.Number(static_cast<uint64_t>(static_cast<int64_t>(input.seconds)))
        .Number(input.winner ? 1 : 0)
        .Text(input.winner.value_or(""))
        .Number(input.players.size());
    for (const RatedPlayer& p : input.players) {
      hash_.Text(p.person)
          .Number(static_cast<uint64_t>(static_cast<int64_t>(p.seconds)))
          .Number(p.team_seconds.size());
      for (const auto& [team, seconds] : p.team_seconds) {
        hash_.Text(team).Number(static_cast<uint64_t>(static_cast<int64_t>(seconds)));
      }
    }
    hash_.Number(input.duels.size());
    for (const RatedDuel& duel : input.duels) hash_.Number(duel.winner).Number(duel.loser);
  }

  const GamesModel& model_;
  const GameTexts& texts_;
  StableHash hash_;
  size_t games_ = 0;
};

// Rates the games of `model` from the first `ratings` does not cover up to `end`: every
// game over all games and in its own type, a type started at its first game that is no
// warm-up. Each rating keeps one (maybe empty) list of changes per game of the model.
void RateUpTo(const GamesModel& model, ModelRatings& ratings, size_t end,
              const RatingOptions& options) {
  for (size_t g = ratings.all.changes.size(); g < end; ++g) {
    const Game& game = model.games[g];
    GameRatings* own = nullptr;
    if (!game.warmup) {
      auto type =
          std::find_if(ratings.types.begin(), ratings.types.end(),
                       [&](const GameTypeRatings& t) { return t.game_type == game.game_type; });
      if (type == ratings.types.end()) {
        ratings.types.emplace_back();
        ratings.types.back().game_type = game.game_type;
        ratings.types.back().ratings.history = RatingHistory(options);
        ratings.types.back().ratings.changes.resize(g);
        type = std::prev(ratings.types.end());
      }
      own = &type->ratings;
    }
    if (own == nullptr) {
      ratings.all.changes.emplace_back();
    } else {
      const RatedGameInput input = RatingInputOf(model, game);
      ratings.all.changes.push_back(ratings.all.history.Add(input));
      own->changes.push_back(own->history.Add(input));
    }
    for (GameTypeRatings& type : ratings.types) {
      if (&type.ratings != own) type.ratings.changes.emplace_back();
    }
  }
}

// Reads one rating kept by PutRatings for the first `games` games of `model`: a game's changes
// are at most its players, and the games with changes are the games the history rated.
bool GetRatings(saved::Reader& in, GameRatings& ratings, const GamesModel& model, size_t games,
                const RatingOptions& options) {
  std::string history;
  size_t count = 0;
  if (!in.GetText(history) || !in.Expect(" ") || !in.Get(count) || count != games ||
      !in.Expect("\n")) {
    return false;
  }
  std::optional<RatingHistory> restored = RatingHistory::Restore(history, options);
  if (!restored) return false;
  ratings.history = std::move(*restored);
  ratings.changes.resize(count);
  int64_t rated = 0;
  for (size_t g = 0; g < count; ++g) {
    std::vector<RatingChange>& game = ratings.changes[g];
    size_t changes = 0;
    if (!in.Get(changes) || changes > model.games[g].players.size()) return false;
    rated += changes > 0 ? 1 : 0;
    game.resize(changes);
    for (RatingChange& change : game) {
      if (!in.GetText(change.person) || !in.Expect(" ") || !in.Get(change.before) ||
          !in.Get(change.after)) {
        return false;
      }
    }
    if (!in.Expect("\n")) return false;
  }
  return rated == ratings.history.Games();
}

constexpr std::string_view kCheckField = "check ";

// One rating as kept: its history's own text, then per game the changes (person, before,
// after).
void PutRatings(HashedPieces& writer, const GameRatings& ratings) {
  std::string& out = writer.out();
  PutText(out, ratings.history.Save());
  out += ' ';
  Put(out, ratings.changes.size());
  out += '\n';
  for (const std::vector<RatingChange>& game : ratings.changes) {
    Put(out, game.size());
    for (const RatingChange& change : game) {
      PutText(out, change.person);
      out += ' ';
      Put(out, change.before);
      Put(out, change.after);
    }
    out += '\n';
    writer.Flush();
  }
}

void SaveKept(const GameTexts& texts, const ModelRatings& ratings, InputsHash& inputs,
              const KeptSink& sink) {
  // Made and handed on a piece at a time: the state of a long log is megabytes.
  HashedPieces writer([&sink](std::string_view piece) {
    sink(piece);
    return true;
  });
  std::string& out = writer.out();
  const size_t games = ratings.all.changes.size();
  out += kKeptHeader;
  Put(out, games);
  Put(out, inputs.Of(games));
  Put(out, ratings.types.size());
  out += '\n';
  PutRatings(writer, ratings.all);
  for (const GameTypeRatings& type : ratings.types) {
    PutText(out, texts.Setting(type.game_type));
    out += '\n';
    PutRatings(writer, type.ratings);
  }
  // Ends with the hash of all before it, so that a damaged state is not taken for a kept one.
  const uint64_t check = writer.Seal();
  out += kCheckField;
  Put(out, check);
  out += '\n';
  writer.Finish();
}

// The kept ratings of `text` when they cover the first games of `model` as they are now.
std::optional<ModelRatings> RestoreKept(std::string_view text, const GamesModel& model,
                                        const GameTexts& texts, InputsHash& inputs,
                                        const RatingOptions& options) {
  const size_t check_at = text.rfind(kCheckField);
  if (check_at == std::string_view::npos) return std::nullopt;
  const std::string_view body = text.substr(0, check_at);
  saved::Reader tail(text.substr(check_at + kCheckField.size()));
  uint64_t check = 0;
  if (!tail.Get(check) || !tail.Expect("\n") || !tail.AtEnd() ||
      check != StableHash().Bytes(body).value()) {
    return std::nullopt;
  }
  saved::Reader in(body);
  size_t games = 0;
  uint64_t fingerprint = 0;
  size_t types = 0;
  if (!in.Expect(kKeptHeader) || !in.Get(games) || games > model.games.size() ||
      !in.Get(fingerprint) || !in.Get(types) || !in.Expect("\n") ||
      fingerprint != inputs.Of(games)) {
    return std::nullopt;
  }
  // The game types of those games that are no warm-up, by name: each kept once, no other.
  std::unordered_map<std::string_view, uint32_t> type_ids;
  for (size_t g = 0; g < games; ++g) {
    const Game& game = model.games[g];
    if (!game.warmup) type_ids.emplace(texts.Setting(game.game_type), game.game_type);
  }
  if (types != type_ids.size()) return std::nullopt;
  ModelRatings ratings;
  if (!GetRatings(in, ratings.all, model, games, options)) return std::nullopt;
  ratings.types.resize(types);
  for (GameTypeRatings& type : ratings.types) {
    std::string name;
    if (!in.GetText(name) || !in.Expect("\n")) return std::nullopt;
    const auto id = type_ids.find(name);
    if (id == type_ids.end() || !GetRatings(in, type.ratings, model, games, options)) {
      return std::nullopt;
    }
    type.game_type = id->second;
    type_ids.erase(id);
  }
  if (!in.AtEnd()) return std::nullopt;
  ratings.kept_games = games;
  return ratings;
}

}  // namespace

ModelRatings RateModel(const GamesModel& model, const GameTexts& texts, std::string_view kept,
                       std::string* save, const RatingOptions& options) {
  if (save == nullptr) return RateModel(model, texts, kept, KeptSink(), options);
  save->clear();
  return RateModel(
      model, texts, kept, [save](std::string_view piece) { *save += piece; }, options);
}

ModelRatings RateModel(const GamesModel& model, const GameTexts& texts, std::string_view kept,
                       const KeptSink& save, const RatingOptions& options) {
  ModelRatings ratings;
  ratings.all.history = RatingHistory(options);
  InputsHash inputs(model, texts);
  if (!kept.empty()) {
    if (std::optional<ModelRatings> restored = RestoreKept(kept, model, texts, inputs, options)) {
      ratings = std::move(*restored);
    }
  }
  // The last game grows with the log until the next game starts (late W/L lines, joins, kills
  // after its end line): it is rated, but the state kept for the next run ends before it.
  const size_t finished = model.games.empty() ? 0 : model.games.size() - 1;
  if (save) {
    RateUpTo(model, ratings, std::max(finished, ratings.all.changes.size()), options);
    SaveKept(texts, ratings, inputs, save);
  }
  RateUpTo(model, ratings, model.games.size(), options);
  return ratings;
}

std::vector<GameTypeRatings> ShownGameTypes(std::vector<GameTypeRatings> types, int64_t min_games) {
  std::erase_if(types,
                [&](const GameTypeRatings& t) { return t.ratings.history.Games() < min_games; });
  return types;
}

}  // namespace barvik
