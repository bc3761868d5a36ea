// barvik-genlog: writes a generated server log, for benchmarks and the bundled sample.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "core/NumberFormat.h"
#include "tools/loggen/LogGenerator.h"
#include "tools/loggen/SkillLog.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::cerr << "Usage: barvik-genlog OUT [LINES [PLAYERS [SEED]]] [--crlf] [--turn-lines=N]\n"
                 "       [--active=K] [--skill=GAMES]\n"
                 "Writes a generated server log of about LINES lines (default 10000) with\n"
                 "PLAYERS players (default 40) to OUT; turns last about N lines (default 3000);\n"
                 "with --active only the first K players (same names and seed) play.\n"
                 "With --skill, a history of GAMES games in which hidden skills decide the\n"
                 "fights (PLAYERS default 60, LINES unused), the skills written to OUT.skills.\n";
    return argc < 2 ? 2 : 0;
  }
  barvik::LogGeneratorOptions o;
  auto number = [&](int i, long fallback) {
    if (argc <= i || argv[i][0] == '-') return fallback;
    auto v = barvik::ParseWholeNumber(argv[i]);
    if (!v || *v <= 0) {
      std::cerr << "barvik-genlog: not a positive number: " << argv[i] << "\n";
      std::exit(2);
    }
    return static_cast<long>(*v);
  };
  o.lines = static_cast<size_t>(number(2, 10000));
  o.players = static_cast<int>(number(3, 40));
  o.seed = static_cast<uint64_t>(number(4, 1));
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--crlf") o.crlf = true;
    if (a.rfind("--active=", 0) == 0) {
      auto v = barvik::ParseWholeNumber(a.substr(9));
      if (!v || *v < 1) {
        std::cerr << "barvik-genlog: not a player count: " << a << "\n";
        return 2;
      }
      o.active = static_cast<int>(*v);
    }
    if (a.rfind("--turn-lines=", 0) == 0) {
      auto v = barvik::ParseWholeNumber(a.substr(13));
      if (!v || *v < 2) {
        std::cerr << "barvik-genlog: not a turn length: " << a << "\n";
        return 2;
      }
      o.lines_per_turn = *v;
    }
  }
  int skill_games = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--skill=", 0) != 0) continue;
    auto v = barvik::ParseWholeNumber(a.substr(8));
    if (!v || *v < 1) {
      std::cerr << "barvik-genlog: not a game count: " << a << "\n";
      return 2;
    }
    skill_games = static_cast<int>(*v);
  }
  std::ofstream out(argv[1], std::ios::binary);
  if (skill_games > 0) {
    const barvik::SkillLog log =
        barvik::GenerateSkillLog({o.seed, skill_games, static_cast<int>(number(3, 60))});
    out << log.text;
    std::ofstream skills(std::string(argv[1]) + ".skills", std::ios::binary);
    skills << "name\tguid\tskill\tcamper\n";
    for (const barvik::HiddenPlayer& p : log.players) {
      skills << p.name << '\t' << p.guid << '\t' << p.skill << '\t' << (p.camper ? 1 : 0) << '\n';
    }
    if (!skills) {
      std::cerr << "barvik-genlog: Cannot create file " << argv[1] << ".skills\n";
      return 1;
    }
  } else {
    out << barvik::GenerateLog(o);
  }
  if (!out) {
    std::cerr << "barvik-genlog: Cannot create file " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
