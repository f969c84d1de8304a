// Rating players from the kills between them: a Bradley-Terry model of
// "killer beats victim", fitted to all kills at once.
//
// Each player i has a strength s_i > 0; when i and j meet and one kills the
// other, i is the killer with probability s_i / (s_i + s_j).  The fit finds
// the strengths that make the kills seen most probable, together with a
// prior of kPriorGames kills and as many deaths against an average player
// (strength 1) for everyone, which keeps a player seen in few kills near the
// average and gives an unbeaten player a finite strength.  Older kills can
// count less: with a half-life H days a kill D days older than the newest
// one counts 2^(-D/H).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvalues {

struct KillLine;

// Virtual kills, and as many deaths, against a player of strength 1 that
// every player's own kills are weighed with.
inline constexpr double kPriorGames = 2.0;

// What a kill line between two players came to.
enum class KillVerdict : uint8_t {
  Counted,
  NotSteam,  // the killer or the victim has no Steam id (bots among them)
  Suicide,   // the same player, perhaps under two forms of his id
  TeamKill,  // both on the same team
  Future,    // dated after the tally's latest time: a wrong clock, never a kill to weigh
};

// The kills read so far, aggregated as they come: memory grows with the
// players and the pairs of players who met, never with the number of lines.
class KillTally {
 public:
  // Kept small: a hostile log can name millions of players.
  struct Player {
    uint32_t account = 0;    // 2Y + X of STEAM_0:X:Y
    uint64_t kills = 0;      // counted kills, each whole whatever its age
    uint64_t deaths = 0;     // counted deaths
    std::string Id() const;  // STEAM_0:X:Y
  };

  static constexpr int64_t kNoLatestTime = INT64_MAX;
  static constexpr std::size_t kNoPlayerLimit = SIZE_MAX;

  // `halfLifeDays` > 0 weighs kills by age; 0 counts every kill as 1.
  // Kills dated after `latestTime` (seconds since 1970 as if UTC, as log
  // dates are) are not counted.  Kills that would bring more than
  // `maxPlayers` players are not counted either, and make the tally full.
  explicit KillTally(double halfLifeDays = 0, int64_t latestTime = kNoLatestTime,
                     std::size_t maxPlayers = kNoPlayerLimit);
  KillTally(KillTally&&) noexcept;
  KillTally& operator=(KillTally&&) noexcept;
  ~KillTally();

  // Counts one kill line (as read by ReadLogLine).
  KillVerdict Add(const KillLine& kill);

  // Whether a kill named a player beyond the limit: what was read since is
  // incomplete, and reading may stop.
  bool Full() const { return full_; }

  const std::vector<Player>& Players() const { return players_; }
  // The weighted kills of each pair that met, as (killer, victim) indexes
  // into Players() and the weight, in no particular order.  The newest
  // kill read counts 1.
  std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>> PairKills() const;
  // Each player's weighted kills, on the same scale as PairKills().
  std::vector<double> WeightedKills() const;

 private:
  // The player index of an id as written, -1 for no Steam id (or none
  // left under the limit).
  int64_t IndexOf(std::string_view writtenId);
  int64_t IndexOfText(std::string_view writtenId);
  int64_t IndexOfAccount(uint64_t account);
  // The index of a new player, or -1 when the limit is reached.
  int64_t AddPlayer(uint64_t account);
  double WeightAt(int64_t time);
  void StartWeights(int64_t time);
  void MoveReference(int64_t time);
  void MoveDecayBlock(uint64_t block);
  void Rescale(double factor);
  // The factor that brings the weights to "the newest kill counts 1".
  double FinalFactor() const;

  double halfLifeSeconds_;
  int64_t lead_;  // seconds from the newest kill to reference_ when it moves
  int64_t latestTime_;
  std::size_t maxPlayers_;
  bool full_ = false;
  std::vector<Player> players_;
  std::vector<double> weightedKills_;  // by player, relative to reference_
  // The hash tables behind the tally: the index of each player by his
  // account number and by any other form of id written, and the weighted
  // kills of each pair (rating.cpp).  Reading the pairs settles the sums
  // still pending in them, so const members change them too.
  struct Tables;
  std::unique_ptr<Tables> tables_;

  // Weights are kept relative to reference_, a time at or after every kill
  // read, so each is at most 1 and at least 2^-16 for the newest kills;
  // when a later kill passes it, it moves on and everything is rescaled.
  bool haveTime_ = false;
  int64_t reference_ = 0;
  int64_t newest_ = 0;
  // 2^(-age / half-life) for ages within one block of kDecayBlock seconds
  // from a table, times the block's own weight, worked out again only when
  // the block changes: kills come mostly in order of time, and one exp2 for
  // each second of log with a kill cost more than reading its line.  The
  // product may differ from the exact power in its last bit.
  static constexpr uint64_t kDecayBlock = 4096;
  std::vector<double> decayWithinBlock_;
  uint64_t decayBlock_ = UINT64_MAX;
  double blockDecay_ = 1;
};

struct Fit {
  std::vector<double> strength;  // by player index; the prior's average player is 1
  int rounds = 0;
  bool converged = false;
};

// Fits the strengths of every player in `tally` that make his kills, and
// the prior's, most probable (Newton's method on the log-strengths, each
// step solved by conjugate gradients), until a round moves no strength by
// a relative 1e-10, or `maxRounds` rounds have run.  `priorGames` > 0.
Fit FitStrengths(const KillTally& tally, double priorGames = kPriorGames, int maxRounds = 200);

}  // namespace kelvalues
