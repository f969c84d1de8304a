// The even-teams split of `eventeams`: where the ready-room players go for
// even summed skill.
//
// The players already on a team stay there and count for it.  Everyone else
// (ready room, teams -2/-1) forms a pool.  Team one takes pool entries until
// it holds half of all entries, by a bounded depth-first search over the
// pool in a random order that looks for the marines' total nearest half of
// the summed value; the rest of the pool goes to team two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "rated_player.h"

// The entry that stands in for a missing player when the number of entries
// is odd: value 0, team -1.  It is placed like any other entry and left out
// of both name lists.
inline constexpr char kFillerName[] = "{24114F62-940A-4c20-A325-BB923197C0CE}";

// One state of the search.  The entries are the run's own (the gathered
// players and the filler), referred to, not copied.  The search works on one
// split, taking an entry before it goes deeper and putting it back after, so
// a step allocates nothing; only a better candidate is copied.
struct TeamSplit {
  // Marks a best split that holds no candidate yet.  No sum of 32-bit values
  // over a server's players comes near it, so a real candidate is never
  // mistaken for it.
  static constexpr int64_t kNoCandidate = std::numeric_limits<int64_t>::max();
  static constexpr std::size_t kNotTaken = static_cast<std::size_t>(-1);

  std::vector<const RatedPlayer*> teamOne;  // current marines, then entries taken
  int64_t teamOneValue = 0;
  std::vector<const RatedPlayer*> pool;  // entries not placed yet
  int64_t difference = kNoCandidate;     // teamOneValue - halfValue

  // Moves the first pool entry named like `entry` (exact, whole text) to the
  // end of teamOne; the rest of the pool keeps its order.  Returns the pool
  // position it came from, or kNotTaken (and does nothing) when no pool entry
  // has that name.
  std::size_t TakeFromPool(const RatedPlayer& entry, int64_t halfValue);
  // Undoes the TakeFromPool that returned `position`: the last entry of
  // teamOne goes back to that pool position.  Does nothing for kNotTaken.
  void PutBack(std::size_t position, int64_t halfValue);
};

class EvenTeamsAssigner {
 public:
  // A run stops once it has a candidate and has made more than this many
  // search steps,
  static constexpr int32_t kStepLimit = 500;
  // or once it accepts a candidate within the tolerance after more than this
  // many.
  static constexpr int32_t kToleranceSteps = 50;

  // Over the gathered list (slot order), which must outlive the assigner.
  explicit EvenTeamsAssigner(const std::vector<RatedPlayer>& players);

  // Computes the split and replaces both lists with the names of team one
  // and team two, in order.  Team one: the current marines in slot order,
  // then the pool entries the search took, in the order taken.  Team two:
  // the current aliens in slot order, then the rest of the pool in shuffled
  // order.  The filler is in neither.  The shuffle draws pool length - 1
  // numbers from HostApi::Random.
  //
  // When no split can give team one half of the entries (the aliens already
  // hold more than half), team one's list is empty and team two's holds only
  // the current aliens; no search step is made in that case.
  void SplitTeams(std::vector<std::string>& teamOneNames, std::vector<std::string>& teamTwoNames);

  // Search steps the last SplitTeams made; never more than
  // max(kStepLimit + 1, entryCount / 2 + 1).
  int32_t SearchCalls() const { return searchCalls_; }
  // Entries counted for the split, the filler included once SplitTeams ran.
  int32_t EntryCount() const { return entryCount_; }
  // The run parameters of the last SplitTeams.
  int64_t HalfValue() const { return halfValue_; }
  int64_t Tolerance() const { return tolerance_; }

 private:
  void SearchSplits(TeamSplit& split, TeamSplit& best, bool& stop);

  const std::vector<RatedPlayer>& players_;
  int32_t entryCount_;
  std::vector<RatedPlayer> teamOne_;
  std::vector<RatedPlayer> teamTwo_;
  int32_t searchCalls_ = 0;
  // Run parameters, written before the search and read by every step.
  int64_t halfValue_ = 0;
  int64_t tolerance_ = 0;
  RatedPlayer filler_{kFillerName, 0, kNoTeam};
};
