// Skill updates of Weng and Lin ("A Bayesian Approximation Method for Online Ranking", JMLR 12,
// 2011). Every player's skill is a normal belief (mu, sigma); a result moves each belief towards
// what it says, more for uncertain players, and shrinks sigma. Two updates: one fight between two
// players (the Bradley-Terry model, full pairing), and one ranking of teams (the Plackett-Luce
// model). Pure computation: no I/O.
#pragma once

#include <span>
#include <vector>

namespace barvik {

// The model's constants; the defaults are the paper's usual ones on a 0-50 scale.
struct RatingModel {
  double mu = 25.0;           // a newcomer's mean skill
  double sigma = 25.0 / 3.0;  // a newcomer's uncertainty
  double beta = 25.0 / 6.0;   // the spread of one game's performance around the skill
  double kappa = 0.0001;      // floor of the factor that shrinks sigma^2 in one update
  double tau = 25.0 / 300.0;  // added to every sigma before each update (skills move)
};

struct Skill {
  double mu = 25.0;
  double sigma = 25.0 / 3.0;
};

// The shown skill: mu - 3 sigma, what the player is at least with 99.7 % certainty.
inline double ShownSkill(const Skill& skill) { return skill.mu - 3.0 * skill.sigma; }

// One side of a game. Lower rank is better; equal ranks tie. A weight in [0, 1] per player
// scales his share of the update (1: the whole game; 0: the game leaves him as he was); an
// empty weights list means 1 for everyone, missing entries count 1, values outside [0, 1]
// (or not a number) are clamped (NaN counts 0).
struct RatedTeam {
  std::vector<Skill> players;
  int rank = 0;
  std::vector<double> weights;
};

// Adds tau to a sigma: sigma = sqrt(sigma^2 + tau^2), so that a skill can move over time.
void AddTau(Skill& skill, const RatingModel& model = {});

// One fight that `winner` won against `loser`: the Bradley-Terry full-pairing update for two
// teams of one, both updated in place. Adds no tau (the caller adds it once per game). Skills
// far apart stay finite.
void RateDuel(Skill& winner, Skill& loser, const RatingModel& model = {});

// The Plackett-Luce update of a ranking of teams, tau added to every player first. Updates the
// players of every team in place. A game needs two teams with players: with fewer
// nothing changes. Teams without players take no part.
void RateGame(std::span<RatedTeam> teams, const RatingModel& model = {});

}  // namespace barvik
