#include "stats/Rating.h"

#include <algorithm>
#include <cmath>

namespace barvik {

namespace {

double WeightOf(const RatedTeam& team, size_t player) {
  if (player >= team.weights.size()) return 1.0;
  const double weight = team.weights[player];
  if (std::isnan(weight)) return 0.0;
  return std::clamp(weight, 0.0, 1.0);
}

// What the update needs of one team: the sums of its players' means and variances.
struct TeamSums {
  RatedTeam* team;
  double mu = 0.0;
  double sigma_sq = 0.0;
  double strength = 0.0;  // mu / c
};

}  // namespace

void AddTau(Skill& skill, const RatingModel& model) {
  skill.sigma = std::sqrt(skill.sigma * skill.sigma + model.tau * model.tau);
}

// The paper's Bradley-Terry update with full pairing, for two players: with
// c^2 = sigma_w^2 + sigma_l^2 + 2 beta^2 and p_w the chance the model gave the winner,
//   Omega_w = sigma_w^2 / c (1 - p_w),  Omega_l = -sigma_l^2 / c p_l
//   Delta_i = (sigma_i / c) sigma_i^2 / c^2 p_w p_l
// and each sigma^2 shrinks by the factor max(1 - Delta_i, kappa).
void RateDuel(Skill& winner, Skill& loser, const RatingModel& model) {
  const double winner_sq = winner.sigma * winner.sigma;
  const double loser_sq = loser.sigma * loser.sigma;
  const double c_sq = winner_sq + loser_sq + 2.0 * model.beta * model.beta;
  const double c = std::sqrt(c_sq);
  // p_w = 1 / (1 + exp((mu_l - mu_w) / c)), written so that no exponent overflows.
  const double gap = (loser.mu - winner.mu) / c;
  const double p_loser =
      gap > 0 ? 1.0 / (1.0 + std::exp(-gap)) : std::exp(gap) / (1.0 + std::exp(gap));
  const double p_winner = 1.0 - p_loser;
  const double both = p_winner * p_loser;
  winner.mu += winner_sq / c * p_loser;
  loser.mu -= loser_sq / c * p_loser;
  const double winner_delta = winner.sigma / c * winner_sq / c_sq * both;
  const double loser_delta = loser.sigma / c * loser_sq / c_sq * both;
  winner.sigma = std::sqrt(winner_sq * std::max(1.0 - winner_delta, model.kappa));
  loser.sigma = std::sqrt(loser_sq * std::max(1.0 - loser_delta, model.kappa));
}

// The paper's Plackett-Luce update (its Algorithm for the PL model, with gamma = sigma_i / c).
// With teams q ranked at or above i and C_q the teams not ranked better than q:
//   Omega_i = sigma_i^2 / c * sum_q (1/A_q) ([q = i] - p_iq)
//   Delta_i = gamma_i sigma_i^2 / c^2 * sum_q (1/A_q) p_iq (1 - p_iq)
// where p_iq = exp(mu_i / c) / sum_{s in C_q} exp(mu_s / c) and A_q the number of teams tied
// with q. Each player takes his share sigma_ij^2 / sigma_i^2 of both, scaled by his weight.
void RateGame(std::span<RatedTeam> teams, const RatingModel& model) {
  std::vector<TeamSums> sums;
  for (RatedTeam& team : teams) {
    if (!team.players.empty()) sums.push_back({&team});
  }
  if (sums.size() < 2) return;

  const double tau_sq = model.tau * model.tau;
  double c_sq = 0.0;
  for (TeamSums& sum : sums) {
    for (Skill& player : sum.team->players) {
      player.sigma = std::sqrt(player.sigma * player.sigma + tau_sq);
      sum.mu += player.mu;
      sum.sigma_sq += player.sigma * player.sigma;
    }
    c_sq += sum.sigma_sq + model.beta * model.beta;
  }
  const double c = std::sqrt(c_sq);
  for (TeamSums& sum : sums) sum.strength = sum.mu / c;

  // Per team q: log of the sum of exp(mu_s / c) over the teams s not ranked better (taken
  // around their largest term, so that no exponent overflows or all underflow), and how many
  // teams tie with q.
  std::vector<double> log_below(sums.size(), 0.0);
  std::vector<int> tied(sums.size(), 0);
  for (size_t q = 0; q < sums.size(); ++q) {
    const int rank = sums[q].team->rank;
    double top = sums[q].strength;
    for (const TeamSums& s : sums) {
      if (s.team->rank >= rank) top = std::max(top, s.strength);
    }
    double sum = 0.0;
    for (const TeamSums& s : sums) {
      if (s.team->rank >= rank) sum += std::exp(s.strength - top);
      if (s.team->rank == rank) ++tied[q];
    }
    log_below[q] = top + std::log(sum);
  }

  std::vector<double> omega(sums.size(), 0.0);
  std::vector<double> delta(sums.size(), 0.0);
  for (size_t i = 0; i < sums.size(); ++i) {
    for (size_t q = 0; q < sums.size(); ++q) {
      if (sums[q].team->rank > sums[i].team->rank) continue;
      const double p = std::exp(sums[i].strength - log_below[q]);
      delta[i] += p * (1.0 - p) / tied[q];
      omega[i] += ((q == i ? 1.0 : 0.0) - p) / tied[q];
    }
    const double gamma = std::sqrt(sums[i].sigma_sq) / c;
    omega[i] *= sums[i].sigma_sq / c;
    delta[i] *= gamma * sums[i].sigma_sq / c_sq;
  }

  for (size_t i = 0; i < sums.size(); ++i) {
    RatedTeam& team = *sums[i].team;
    for (size_t j = 0; j < team.players.size(); ++j) {
      Skill& player = team.players[j];
      const double weight = WeightOf(team, j);
      const double share = player.sigma * player.sigma / sums[i].sigma_sq;
      player.mu += weight * share * omega[i];
      const double shrink = std::max(1.0 - weight * share * delta[i], model.kappa);
      player.sigma = std::sqrt(player.sigma * player.sigma * shrink);
    }
  }
}

}  // namespace barvik
