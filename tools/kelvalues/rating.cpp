#include "rating.h"

#include <algorithm>
#include <cmath>

#include "log_reader.h"
#include "values_out.h"

namespace kelvalues {
namespace {

// How far ahead of the newest kill the reference time is set, in half-lives:
// the newest kills then weigh at least 2^-16 until the next rescale, and
// rescales (each a pass over every pair) come once per 16 half-lives of log.
constexpr double kReferenceLead = 16.0;

uint64_t PairKey(uint32_t killer, uint32_t victim) { return uint64_t{killer} << 32 | victim; }

}  // namespace

KillTally::KillTally(double halfLifeDays) : halfLifeSeconds_(halfLifeDays * 86400.0) {}

int64_t KillTally::IndexOf(std::string_view writtenId) {
  if (const auto found = written_.find(writtenId); found != written_.end()) return found->second;
  int64_t index = -1;
  if (const std::optional<std::string> id = NormalizeSteamId(writtenId)) {
    const auto [slot, added] = normalized_.try_emplace(*id, static_cast<int64_t>(players_.size()));
    if (added) {
      players_.push_back(Player{*id, 0, 0});
      weightedKills_.push_back(0);
    }
    index = slot->second;
  }
  written_.emplace(std::string(writtenId), index);
  return index;
}

void KillTally::Rescale(double factor) {
  for (auto& pair : pairs_) pair.second *= factor;
  for (double& kills : weightedKills_) kills *= factor;
}

double KillTally::WeightAt(int64_t time) {
  if (halfLifeSeconds_ <= 0) return 1.0;
  const auto lead = static_cast<int64_t>(std::ceil(kReferenceLead * halfLifeSeconds_));
  if (!haveTime_) {
    haveTime_ = true;
    reference_ = time + lead;
    newest_ = time;
    cachedTime_ = time;
    cachedWeight_ = std::exp2(static_cast<double>(time - reference_) / halfLifeSeconds_);
  }
  if (time > reference_) {
    const int64_t next = time + lead;
    Rescale(std::exp2(static_cast<double>(reference_ - next) / halfLifeSeconds_));
    reference_ = next;
    cachedTime_ = time;
    cachedWeight_ = std::exp2(static_cast<double>(time - reference_) / halfLifeSeconds_);
  }
  newest_ = std::max(newest_, time);
  if (time != cachedTime_) {
    cachedTime_ = time;
    cachedWeight_ = std::exp2(static_cast<double>(time - reference_) / halfLifeSeconds_);
  }
  return cachedWeight_;
}

KillVerdict KillTally::Add(const KillLine& kill) {
  const int64_t killer = IndexOf(kill.killerId);
  const int64_t victim = IndexOf(kill.victimId);
  if (killer < 0 || victim < 0) return KillVerdict::NotSteam;
  if (killer == victim) return KillVerdict::Suicide;
  if (kill.killerTeam == kill.victimTeam) return KillVerdict::TeamKill;
  const double weight = WeightAt(kill.time);
  ++players_[killer].kills;
  ++players_[victim].deaths;
  weightedKills_[killer] += weight;
  pairs_[PairKey(static_cast<uint32_t>(killer), static_cast<uint32_t>(victim))] += weight;
  return KillVerdict::Counted;
}

double KillTally::FinalFactor() const {
  if (halfLifeSeconds_ <= 0 || !haveTime_) return 1.0;
  return std::exp2(static_cast<double>(reference_ - newest_) / halfLifeSeconds_);
}

std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>> KillTally::PairKills() const {
  const double factor = FinalFactor();
  std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>> pairs;
  pairs.reserve(pairs_.size());
  for (const auto& [key, weight] : pairs_) {
    pairs.push_back(
        {{static_cast<uint32_t>(key >> 32), static_cast<uint32_t>(key)}, weight * factor});
  }
  // The hash map's order depends on its history; sums taken in a fixed
  // order make the fit the same for the same kills.
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

std::vector<double> KillTally::WeightedKills() const {
  const double factor = FinalFactor();
  std::vector<double> kills = weightedKills_;
  for (double& k : kills) k *= factor;
  return kills;
}

Fit FitStrengths(const KillTally& tally, double priorGames, int maxRounds) {
  const std::size_t count = tally.Players().size();
  // Each player's opponents with the kills between them, either way.
  struct Meeting {
    uint32_t opponent;
    double kills;
  };
  std::vector<std::vector<Meeting>> meetings(count);
  {
    std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>> pairs = tally.PairKills();
    for (auto& [players, weight] : pairs) {
      if (players.first > players.second) std::swap(players.first, players.second);
    }
    std::sort(pairs.begin(), pairs.end());
    for (std::size_t k = 0; k < pairs.size();) {
      const auto [a, b] = pairs[k].first;
      double both = 0;
      for (; k < pairs.size() && pairs[k].first == std::make_pair(a, b); ++k)
        both += pairs[k].second;
      meetings[a].push_back({b, both});
      meetings[b].push_back({a, both});
    }
  }
  const std::vector<double> kills = tally.WeightedKills();

  Fit fit;
  fit.strength.assign(count, 1.0);
  std::vector<double>& s = fit.strength;
  while (fit.rounds < maxRounds && !fit.converged) {
    ++fit.rounds;
    double largestStep = 0;
    for (std::size_t i = 0; i < count; ++i) {
      // The MM step: wins over the expected number of meetings per unit of
      // strength, the prior's games against strength 1 included.
      double meetingsPerStrength = 2.0 * priorGames / (s[i] + 1.0);
      for (const Meeting& m : meetings[i]) meetingsPerStrength += m.kills / (s[i] + s[m.opponent]);
      const double next = (kills[i] + priorGames) / meetingsPerStrength;
      largestStep = std::max(largestStep, std::abs(next - s[i]) / s[i]);
      s[i] = next;
    }
    fit.converged = largestStep < 1e-10;
  }
  return fit;
}

}  // namespace kelvalues
