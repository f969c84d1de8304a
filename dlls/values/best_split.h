// The best split of the waiting players: which of them join team one so that
// the teams' counts come out as even as they can, and, among the placements
// that do, their summed values come out as even as they can.  Pure integer
// arithmetic over plain values; nothing here knows the host or the players.
//
// Contract of BestSplit(teamOne, teamTwo, pool):
//  - teamOne, teamTwo: the players already on each team (counts, not less
//    than 0) and the sum of their values.  Any 64-bit totals are accepted.
//  - pool: the values of the players on neither team, in slot order; pool
//    position i is bit i of the result.  At most kBestSplitMaxPool entries;
//    entries past that are never placed (no server has that many slots).
//  - The result holds a set bit for every pool position that joins team one;
//    every other position joins team two.  No bit at or above pool.size().
//  - Counts first: with m, a the players on each team and n the pool's
//    size, team one takes k entries and team two n - k, for a k in 0..n that
//    makes |(m + k) - (a + n - k)| as small as it can be.  That is one k,
//    or two neighbouring ones when the smallest difference is 1 (both are
//    allowed); when the teams are too uneven for the pool to even them, the
//    whole pool goes to the smaller team.
//  - Values second: among those placements, |(T1 + sum to team one) -
//    (T2 + sum to team two)| is the smallest there is, computed exactly in
//    64 bits, for any 32-bit values, negative ones included.
//  - Tie rule: among equally good placements the one that sends the earliest
//    pool position where they differ to team one wins.
//  - Exact for pools of up to kBestSplitExactPool entries (the most a real
//    server of 32 slots can have).  A larger pool (a simulated server has up
//    to 64 slots) still obeys the count rule, but its value difference is
//    only near the best: the entries past the 32nd are dealt first, largest
//    magnitude first, each to the side where it leaves the smaller
//    difference within a share that keeps the count rule reachable, and the
//    first 32 are then split exactly against the teams so made.
//  - Deterministic; no random numbers.  Works in one static scratch area of
//    about 1.1 MiB, so it is not reentrant: call it from one thread at a time
//    (the server's main thread).  Allocates nothing.
//
// Cost: a meet in the middle.  Each half of the pool has its subsets' sums
// made in rising order per number of entries taken (2^(n/2) rows), and each
// group of one half is swept against the group of the other that completes
// an allowed count.  A few times 2^(n/2) steps, whatever the values: for 32
// about 0.7 ms on the x86-64 machine of docs/benchmarks.md, 2.5 ms built for
// i386.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// One team as it stands before the split.
struct TeamStanding {
  int32_t players = 0;
  int64_t total = 0;
};

inline constexpr std::size_t kBestSplitExactPool = 32;
inline constexpr std::size_t kBestSplitMaxPool = 64;

// The pool positions that join team one, as a bit set (see above).
uint64_t BestSplit(TeamStanding teamOne, TeamStanding teamTwo, std::span<const int32_t> pool);
