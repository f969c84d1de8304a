// BestSplit's rules applied by trying every placement of a small pool: the
// reference the unit test and the eventeams fuzz target compare it with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "best_split.h"

struct SplitRoom {
  TeamStanding one, two;
  std::vector<int32_t> pool;
};

// The team-one counts k in 0..n for which |(m + k) - (a + n - k)| is the
// smallest, found by trying each.
inline std::vector<int> CountsWithEvenestTeams(const SplitRoom& room) {
  const auto n = static_cast<int64_t>(room.pool.size());
  std::vector<int> counts;
  int64_t fewest = INT64_MAX;
  for (int64_t k = 0; k <= n; ++k) {
    int64_t difference = (room.one.players + k) - (room.two.players + n - k);
    if (difference < 0) difference = -difference;
    if (difference < fewest) counts.clear();
    if (difference <= fewest) {
      fewest = difference;
      counts.push_back(static_cast<int>(k));
    }
  }
  return counts;
}

inline bool CountAllowed(const std::vector<int>& counts, uint64_t placement) {
  for (int k : counts) {
    if (__builtin_popcountll(placement) == k) return true;
  }
  return false;
}

// |team one's total - team two's total| after the placement (bit i: pool[i]
// joins team one).  The room's totals must be sums of at most 64 values of
// 32 bits, so that nothing overflows.
inline uint64_t ValueDifference(const SplitRoom& room, uint64_t placement) {
  int64_t one = room.one.total;
  int64_t two = room.two.total;
  for (std::size_t i = 0; i < room.pool.size(); ++i) {
    ((placement >> i & 1) != 0 ? one : two) += room.pool[i];
  }
  return one >= two ? static_cast<uint64_t>(one - two) : static_cast<uint64_t>(two - one);
}

// The tie rule read literally: the first pool position, in slot order, where
// the two placements differ goes to team one in the winner.
inline bool SendsEarlierToTeamOne(uint64_t placement, uint64_t other, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const bool inPlacement = (placement >> i & 1) != 0;
    if (inPlacement != ((other >> i & 1) != 0)) return inPlacement;
  }
  return false;
}

struct BruteForceResult {
  uint64_t placement = 0;
  uint64_t difference = 0;
  int64_t bestPlacements = 0;  // how many placements reach that difference
};

// Every placement of the pool (2^n of them) that keeps the count rule; the
// smallest difference, and among those the tie rule's choice.
inline BruteForceResult BruteForceBestSplit(const SplitRoom& room) {
  const std::size_t n = room.pool.size();
  const std::vector<int> counts = CountsWithEvenestTeams(room);
  BruteForceResult best;
  bool found = false;
  for (uint64_t placement = 0; placement < (uint64_t{1} << n); ++placement) {
    if (!CountAllowed(counts, placement)) continue;
    const uint64_t difference = ValueDifference(room, placement);
    if (!found || difference < best.difference) {
      best = {placement, difference, 1};
      found = true;
    } else if (difference == best.difference) {
      ++best.bestPlacements;
      if (SendsEarlierToTeamOne(placement, best.placement, n)) best.placement = placement;
    }
  }
  return best;
}
