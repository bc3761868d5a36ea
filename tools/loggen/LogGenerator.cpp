#include "tools/loggen/LogGenerator.h"

#include <array>
#include <string_view>
#include <vector>

namespace barvik {
namespace {

// A small deterministic generator, so a seed gives the same log on every machine.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  uint64_t state_;
};

constexpr std::array<std::string_view, 12> kMaps = {
    "mp_arnhem", "mp_berga", "mp_cassino", "mp_foy",         "mp_italy",  "mp_kharkov",
    "mp_kursk",  "mp_peaks", "mp_ponyri",  "mp_rhinevalley", "mp_sicily", "mp_uo_stanjel"};
constexpr std::array<std::string_view, 7> kGameTypes = {"dm",  "tdm", "sd", "ctf",
                                                        "bel", "hq",  "dom"};
constexpr std::array<std::string_view, 18> kWeapons = {"kar98k_mp",
                                                       "mp40_mp",
                                                       "mp44_mp",
                                                       "m1garand_mp",
                                                       "thompson_mp",
                                                       "bar_mp",
                                                       "springfield_mp",
                                                       "mosin_nagant_mp",
                                                       "ppsh_mp",
                                                       "bren_mp",
                                                       "sten_mp",
                                                       "kar98k_sniper_mp",
                                                       "colt_mp",
                                                       "luger_mp",
                                                       "panzerfaust_mp",
                                                       "mk1britishfrag_mp",
                                                       "stielhandgranate_mp",
                                                       "mg42_bipod_stand_mp"};
constexpr std::array<std::string_view, 17> kLocations = {"none",           "head",
                                                         "neck",           "torso_upper",
                                                         "torso_lower",    "right_arm_upper",
                                                         "left_arm_upper", "right_arm_lower",
                                                         "left_arm_lower", "right_leg_upper",
                                                         "left_leg_upper", "right_leg_lower",
                                                         "left_leg_lower", "right_hand",
                                                         "left_hand",      "right_foot",
                                                         "left_foot"};
// How often each location is hit, roughly as on a real server.
constexpr std::array<int, 17> kLocationWeights = {2, 9, 3, 30, 16, 5, 5, 3, 3,
                                                  5, 5, 3, 3,  2,  2, 2, 2};
constexpr std::array<std::string_view, 6> kMeans = {"MOD_RIFLE_BULLET",      "MOD_PISTOL_BULLET",
                                                    "MOD_GRENADE_SPLASH",    "MOD_HEAD_SHOT",
                                                    "MOD_PROJECTILE_SPLASH", "MOD_MELEE"};
constexpr std::array<std::string_view, 16> kNameParts = {
    "Hunter", "Ghost",  "Viper", "Sarge",  "Doc",  "Rookie", "Tank", "Medic",
    "Wolf",   "Falcon", "Major", "Sniper", "Bear", "Fox",    "Ace",  "Gunner"};
constexpr std::array<std::string_view, 6> kClans = {"[ZC]",  "=AR=", "{UO}",
                                                    "-=K=-", "|SW|", "<<B>>"};
constexpr std::array<std::string_view, 8> kChat = {
    "gg",     "nice shot",    "lol",      "who is camping the church?",
    "rush B", "need a medic", "go go go", "thx"};

struct Player {
  std::string name;
  std::string guid;
  int slot;
  int team;  // 0 axis, 1 allies
};

std::string MakeName(Random& r, int i, const LogGeneratorOptions& o) {
  std::string name;
  if (r.Chance(35)) name += kClans[static_cast<size_t>(r.Below(kClans.size()))];
  if (o.quirks && r.Chance(30)) {
    name += '^';
    name += static_cast<char>('0' + r.Below(8));
  }
  name += kNameParts[static_cast<size_t>(r.Below(kNameParts.size()))];
  if (o.high_bytes && r.Chance(10)) name += r.Chance(50) ? "\xE9" : "\xD6";  // é, Ö
  if (r.Chance(40)) name += ' ';
  name += std::to_string(i);
  if (o.quirks && r.Chance(20)) name += "^7";
  return name;
}

std::string TimeStamp(long seconds) {
  std::string t = std::to_string(seconds / 60) + ":";
  int s = static_cast<int>(seconds % 60);
  if (s < 10) t += '0';
  t += std::to_string(s);
  std::string padded(t.size() < 6 ? 6 - t.size() : 0, ' ');
  return padded + t;
}

}  // namespace

std::string GenerateLog(const LogGeneratorOptions& o) {
  Random r(o.seed);
  std::vector<Player> players;
  for (int i = 0; i < o.players; ++i) {
    Player p;
    p.name = MakeName(r, i, o);
    p.guid = std::to_string(100000000 + r.Below(900000000));
    p.slot = i % 32;
    p.team = r.Below(2);
    players.push_back(std::move(p));
  }
  const std::string eol = o.crlf ? "\r\n" : "\n";
  std::string out;
  out.reserve(o.lines * 104);
  size_t lines = 0;
  long clock = 0;
  auto line = [&](const std::string& text) {
    out += TimeStamp(clock);
    out += ' ';
    out += text;
    out += eol;
    ++lines;
  };
  const int playing = o.active > 0 && o.active < o.players ? o.active : o.players;
  auto pick = [&]() -> Player& { return players[static_cast<size_t>(r.Below(playing))]; };
  auto location = [&]() {
    int w = r.Below(100);
    for (size_t i = 0; i < kLocationWeights.size(); ++i) {
      if ((w -= kLocationWeights[i]) < 0) return kLocations[i];
    }
    return kLocations[3];
  };
  auto team_name = [](int team) { return team == 0 ? std::string("axis") : std::string("allies"); };
  auto shown_name = [&](const Player& p) {
    // A few lines carry another letter case of the name, as a player who retypes it.
    if (o.case_variants && r.Chance(2)) {
      std::string n = p.name;
      for (char& c : n) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      }
      return n;
    }
    return p.name;
  };

  line("------------------------------------------------------------");
  // A few events before the first game initialisation, as when a log starts mid-turn.
  for (int i = 0; i < 3 && o.players > 1; ++i) {
    const Player& a = pick();
    line("J;" + a.guid + ";" + std::to_string(a.slot) + ";" + a.name);
  }
  while (lines < o.lines) {
    const std::string map(kMaps[static_cast<size_t>(r.Below(kMaps.size()))]);
    const std::string type(kGameTypes[static_cast<size_t>(r.Below(kGameTypes.size()))]);
    std::string init = "InitGame: \\_Admin\\Barvik test\\g_gametype\\";
    init += type;
    init += "\\gamename\\Call of Duty\\mapname\\";
    init += map;
    init += "\\protocol\\22\\shortversion\\1.51\\sv_hostname\\^1Barvik ^7Test Server";
    init += "\\sv_maxclients\\32";
    line(init);
    const size_t turn_end =
        lines + static_cast<size_t>(o.lines_per_turn / 2 + r.Below(o.lines_per_turn));
    while (lines < turn_end && lines < o.lines) {
      clock += r.Below(3);
      int what = r.Below(100);
      Player& a = pick();
      if (what < 38) {  // damage
        Player& v = pick();
        std::string l = "D;" + v.guid + ";" + std::to_string(v.slot) + ";" + team_name(v.team) +
                        ";" + shown_name(v) + ";";
        bool self = &a == &v || r.Chance(3);
        if (self && r.Chance(50)) {
          l += "-1;-1;world;;";
        } else {
          const Player& att = self ? v : a;
          l += att.guid + ";" + std::to_string(att.slot) + ";" + team_name(att.team) + ";" +
               shown_name(att) + ";";
        }
        l += std::string(kWeapons[static_cast<size_t>(r.Below(kWeapons.size()))]) + ";" +
             std::to_string(10 + r.Below(90)) + ";" +
             std::string(kMeans[static_cast<size_t>(r.Below(kMeans.size()))]) + ";" +
             std::string(location());
        if (o.quirks && r.Chance(5)) l += ";" + std::to_string(r.Below(1000)) + ";extra";
        line(l);
      } else if (what < 60) {  // kill
        Player& v = pick();
        std::string l = "K;" + v.guid + ";" + std::to_string(v.slot) + ";" + team_name(v.team) +
                        ";" + shown_name(v) + ";";
        if (&a == &v || r.Chance(4)) {
          l += r.Chance(50) ? "-1;-1;world;;"
                            : v.guid + ";" + std::to_string(v.slot) + ";" + team_name(v.team) +
                                  ";" + v.name + ";";
        } else {
          l += a.guid + ";" + std::to_string(a.slot) + ";" + team_name(a.team) + ";" +
               shown_name(a) + ";";
        }
        l += std::string(kWeapons[static_cast<size_t>(r.Below(kWeapons.size()))]) + ";" +
             std::to_string(50 + r.Below(150)) + ";" +
             std::string(kMeans[static_cast<size_t>(r.Below(kMeans.size()))]) + ";" +
             std::string(location());
        if (o.quirks && r.Chance(5)) l += ";" + std::to_string(r.Below(1000));
        line(l);
      } else if (what < 72) {  // pick-up
        line("Weapon;" + a.guid + ";" + std::to_string(a.slot) + ";" + a.name + ";" +
             std::string(kWeapons[static_cast<size_t>(r.Below(kWeapons.size()))]));
      } else if (what < 80) {  // action
        std::string l = "A;" + a.guid + ";" + std::to_string(a.slot) + ";" + team_name(a.team) +
                        ";" + a.name + ";" + (r.Chance(70) ? "bel_alive_tick" : "hq_captured");
        if (o.quirks && r.Chance(10)) l += ";" + std::to_string(r.Below(100));
        line(l);
      } else if (what < 86) {  // chat
        std::string l = std::string(r.Chance(70) ? "say;" : "sayteam;") + a.guid + ";" +
                        std::to_string(a.slot) + ";" + a.name + ";" +
                        std::string(kChat[static_cast<size_t>(r.Below(kChat.size()))]);
        if (o.quirks && r.Chance(5)) {
          out += l + eol;  // a chat line without a time stamp
          ++lines;
        } else {
          line(l);
        }
      } else if (what < 90) {
        line("Item;" + a.guid + ";" + std::to_string(a.slot) + ";" + a.name + ";" +
             (r.Chance(50) ? "item_health" : "item_ammo"));
      } else if (what < 94) {
        line("J;" + a.guid + ";" + std::to_string(a.slot) + ";" + a.name);
      } else if (what < 97) {
        line("Q;" + a.guid + ";" + std::to_string(a.slot) + ";" + a.name);
      } else if (o.quirks) {  // kinds of modded servers
        line(std::string(r.Chance(50) ? "Spawn;" : "Use;") + a.guid + ";" + std::to_string(a.slot) +
             ";" + a.name);
      } else {
        line("ExitLevel: executed");
      }
    }
    // The turn's result: the winners and the losers of the two teams.
    std::string w = "W;" + team_name(0);
    std::string l = "L;" + team_name(1);
    for (int i = 0; i < playing; ++i) {
      const Player& p = players[static_cast<size_t>(i)];
      if (r.Chance(20)) {
        (p.team == 0 ? w : l) += ";" + p.guid + ";" + p.name;
      }
    }
    line(w);
    line(l);
    line("ShutdownGame:");
    line("------------------------------------------------------------");
  }
  return out;
}

}  // namespace barvik
