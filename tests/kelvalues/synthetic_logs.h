// Synthetic server logs with a known answer: every player has a true
// strength, and each kill between two players is drawn from their
// strengths, as the rating assumes.  Players mostly meet opponents of
// similar strength (a community of several servers, the strong mostly on
// the strong one), which is what misleads a plain kill/death ratio.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvalues {

struct SyntheticLogOptions {
  int players = 500;
  double eventsPerPlayer = 200;  // counted kills and deaths per player, on average
  double megabytes = 0;          // above 0: write about this many MB instead
  uint64_t seed = 1;
  int days = 30;        // the span of the logs, one file a day
  int servers = 5;      // players split into this many servers by strength
  double mixing = 0.2;  // share of meetings with anyone, whatever his server
  double spread = 1.0;  // standard deviation of the players' natural-log strengths
  double noise = 0;     // share of lines that are no counted kill
};

struct SyntheticPlayer {
  std::string id;  // STEAM_0:X:Y
  std::string name;
  double logStrength;  // he kills j with probability 1 / (1 + exp(logStrength_j - logStrength))
};

// The players, their ids and true strengths, for `options.seed`.
std::vector<SyntheticPlayer> MakeSyntheticPlayers(const SyntheticLogOptions& options);

// Writes the logs for `players` into the existing folder `folder`, one file
// a day named as servers name them (L0101000.log for January 1st).  The
// lines start on 2024-01-01.  False, with `error`, when a file cannot be
// written.
bool WriteSyntheticLogs(const SyntheticLogOptions& options,
                        const std::vector<SyntheticPlayer>& players, const std::string& folder,
                        std::string& error);

// Spearman's rank correlation of two equally long lists (ties take their
// mean rank); 0 when either list has fewer than two distinct values.
double SpearmanCorrelation(const std::vector<double>& a, const std::vector<double>& b);

}  // namespace kelvalues
