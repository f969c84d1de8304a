#include "best_split.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace {

// A half of an exact pool has at most 16 entries, so its subsets fit a
// 16-bit mask and its table 2^16 rows.
constexpr int kHalfMax = static_cast<int>(kBestSplitExactPool / 2);
constexpr std::size_t kHalfRows = std::size_t{1} << kHalfMax;

// The value gap T1 - T2 is held within +-2^40.  A wider gap dwarfs anything
// a pool of 64 values of 32 bits (under 2^37 in all) can change, so every
// placement leaves it on the same side, and the order of their differences,
// which is all the search looks at, stays the same when it is cut back.
constexpr int64_t kGapLimit = int64_t{1} << 40;

int64_t CappedGap(int64_t one, int64_t two) {
  int64_t gap = 0;
  if (__builtin_sub_overflow(one, two, &gap)) return one < two ? -kGapLimit : kGapLimit;
  return std::clamp(gap, -kGapLimit, kGapLimit);
}

uint64_t Magnitude(int64_t x) {
  return x < 0 ? uint64_t{0} - static_cast<uint64_t>(x) : static_cast<uint64_t>(x);
}

// A subset of a half is one 64-bit row: its sum times 2^16 plus a 16-bit
// tie key, in which bit 15 - p is clear when the subset holds position p.
// Rows then order by sum, and rows of one sum by the tie rule: the subset
// holding the earliest position where two differ has the smaller key.
// Every row is distinct, and a half's sums (16 values of 32 bits) stay far
// inside the 48 bits left for them.
constexpr int kKeyBits = 16;
constexpr int64_t kKeyMask = (int64_t{1} << kKeyBits) - 1;

int64_t SumOf(int64_t row) { return row >> kKeyBits; }
int64_t KeyOf(int64_t row) { return row & kKeyMask; }

uint64_t MaskOf(int64_t key, int count) {
  uint64_t mask = 0;
  for (int p = 0; p < count; ++p) {
    if ((key >> (kKeyBits - 1 - p) & 1) == 0) mask |= uint64_t{1} << p;
  }
  return mask;
}

// Below and above every group of rows stands a sentinel, so that neither
// the merges nor the sweeps test for a list's end.  Their sums (+-2^47)
// outweigh any difference, and twice them still fits 64 bits.
constexpr int64_t kBelowAll = INT64_MIN;
constexpr int64_t kAboveAll = INT64_MAX;

// Two independent loops of the same kind advanced in turn: each step is a
// short chain of dependent loads, compares and data moves (no jumps that
// depend on the data), so the processor works on both chains at once.
template <typename Loop>
void RunSideBySide(Loop& one, Loop& two) {
  while (one.Active() && two.Active()) {
    one.Step();
    two.Step();
  }
  while (one.Active()) one.Step();
  while (two.Active()) two.Step();
}

// Group j taking in group j - 1 shifted by a new entry, from the back and in
// place: group j has its final room from the start, and group j - 1 is still
// unchanged, as the groups are merged from the largest down.  Rows are all
// different, and the one below the group is kBelowAll, so once group j's
// own rows are used up the shifted rows follow by themselves.
struct Merge {
  int64_t* rows = nullptr;
  const int64_t* fewer = nullptr;
  int64_t shift = 0;
  int64_t kept = -1, moved = -1;  // the next row of each side

  bool Active() const { return moved >= 0; }
  // The row written goes where both sides' rows not yet taken end.
  void Step() {
    const int64_t own = rows[kept];
    const int64_t shifted = fewer[moved] + shift;
    const auto keep = static_cast<int64_t>(own > shifted);
    rows[kept + moved + 1] = keep != 0 ? own : shifted;
    kept -= keep;
    moved += keep - 1;
  }
};

// Every subset of one half of the pool, grouped by how many entries it takes
// (group j holds rows begin[j] .. end[j] - 1), each group in rising order.
struct HalfTable {
  int64_t row[kHalfRows + std::size_t{2} * (kHalfMax + 1)];  // and two sentinels a group
  uint32_t begin[kHalfMax + 1];
  uint32_t end[kHalfMax + 1];
  uint32_t size[kHalfMax + 1];  // rows made so far
  int count = 0;                // entries of the half
  const int32_t* values = nullptr;

  const int64_t* Begin(int j) const { return row + begin[j]; }
  const int64_t* End(int j) const { return row + end[j]; }

  // Over values[0 .. count - 1], count <= kHalfMax: the empty subset alone,
  // and every group's room and sentinels.
  void Start(const int32_t* halfValues, int halfCount) {
    values = halfValues;
    count = halfCount;
    uint32_t binomial = 1;  // count choose j
    uint32_t next = 1;
    for (int j = 0; j <= count; ++j) {
      begin[j] = next;
      end[j] = next + binomial;
      row[begin[j] - 1] = kBelowAll;
      row[end[j]] = kAboveAll;
      size[j] = 0;
      next = end[j] + 2;
      binomial = binomial * static_cast<uint32_t>(count - j) / static_cast<uint32_t>(j + 1);
    }
    row[begin[0]] = kKeyMask;  // nobody taken: sum 0, every key bit set
    size[0] = 1;
  }

  // The merge that adds the entry `added` places from the end into group j
  // (1 <= j <= added + 1).  The entries are added from the last to the
  // first, so a subset holding the new entry holds the earliest position of
  // all so far, and its key is the smaller at an equal sum.
  Merge Adding(int added, int j) {
    const int position = count - 1 - added;
    Merge merge;
    merge.rows = row + begin[j];
    merge.fewer = Begin(j - 1);
    merge.shift = values[position] * (kKeyMask + 1) - (int64_t{1} << (kKeyBits - 1 - position));
    merge.kept = static_cast<int64_t>(size[j]) - 1;
    merge.moved = static_cast<int64_t>(size[j - 1]) - 1;
    return merge;
  }
  void Added(int added) {
    for (int j = added + 1; j >= 1; --j) size[j] += size[j - 1];
  }
};

// Builds both halves together, the merges of one step of each side by side.
// The front half may have one entry more, added first on its own.
void BuildHalves(HalfTable& front, HalfTable& back) {
  const int ahead = front.count - back.count;
  for (int added = 0; added < front.count; ++added) {
    const int backAdded = added - ahead;
    for (int j = added + 1; j >= 1; --j) {
      Merge frontMerge = front.Adding(added, j);
      Merge backMerge;
      if (backAdded >= 0 && j <= backAdded + 1) backMerge = back.Adding(backAdded, j);
      RunSideBySide(frontMerge, backMerge);
    }
    front.Added(added);
    if (backAdded >= 0) back.Added(backAdded);
  }
}

// Both halves' tables, reused by every call.
struct Scratch {
  HalfTable front;  // pool positions 0 .. frontCount - 1
  HalfTable back;   // the rest
  uint16_t change[kHalfRows];
};
Scratch scratch;

// The best score of one front group against the back group that completes
// the count.  With S the sum to team one, the difference is base + 2S; for a
// front row the back rows are a rising list, and the best of them for it is
// one of the two around the place where base + 2S changes sign.  A front
// row's score is its best difference times 2^16 plus its key (under 2^58:
// the difference is under 2^42), so the smallest score belongs to the best
// front row and, of equally good ones, to the one the tie rule prefers.
//
// First that place for every front row, into `change`.  The front rows rise,
// so it only moves down the back list as they go up: a walk up the lower
// half of the front rows moves it down from the top, a walk down the upper
// half moves it up from the bottom, side by side.  Each step moves the place
// by one row or settles a front row.  Then every front row's score from its
// two back rows.  No loop jumps on anything but its counters.
int64_t BestScore(const int64_t* front, const int64_t* frontEnd, const int64_t* back,
                  const int64_t* backEnd, int64_t base, uint16_t* change) {
  const std::ptrdiff_t rows = frontEnd - front;
  const std::ptrdiff_t middle = rows / 2;
  // A walk up: row `up` and the first back row where base + 2S >= 0 for it.
  std::ptrdiff_t up = 0;
  std::ptrdiff_t lowered = backEnd - back;
  const auto stepUp = [&] {
    const bool down = base + 2 * SumOf(front[up]) + 2 * SumOf(back[lowered - 1]) >= 0;
    change[up] = static_cast<uint16_t>(lowered);
    lowered -= static_cast<std::ptrdiff_t>(down);
    up += static_cast<std::ptrdiff_t>(!down);
  };
  // A walk down, likewise.
  std::ptrdiff_t downward = rows - 1;
  std::ptrdiff_t raised = 0;
  const auto stepDown = [&] {
    const bool rise = base + 2 * SumOf(front[downward]) + 2 * SumOf(back[raised]) < 0;
    change[downward] = static_cast<uint16_t>(raised);
    raised += static_cast<std::ptrdiff_t>(rise);
    downward -= static_cast<std::ptrdiff_t>(!rise);
  };
  while (up < middle && downward >= middle) {
    stepUp();
    stepDown();
  }
  while (up < middle) stepUp();
  while (downward >= middle) stepDown();

  int64_t best = INT64_MAX;
  for (std::ptrdiff_t i = 0; i < rows; ++i) {
    const int64_t partial = base + 2 * SumOf(front[i]);
    const int64_t below = partial + 2 * SumOf(back[change[i] - 1]);  // < 0
    const int64_t over = partial + 2 * SumOf(back[change[i]]);       // >= 0
    best = std::min(best, std::min(-below, over) * (kKeyMask + 1) + KeyOf(front[i]));
  }
  return best;
}

// The team-one counts the count rule allows: one or two neighbouring ones.
struct Counts {
  int lowest, highest;
};

Counts AllowedCounts(int64_t teamOne, int64_t teamTwo, int pool) {
  // |(m + k) - (a + n - k)| = |2k - wanted|, smallest at k = wanted / 2.
  const int64_t wanted = teamTwo + pool - teamOne;
  const int64_t low = wanted >= 0 ? wanted / 2 : -((1 - wanted) / 2);  // floor
  const int64_t high = wanted - low;                                   // ceiling
  return {static_cast<int>(std::clamp<int64_t>(low, 0, pool)),
          static_cast<int>(std::clamp<int64_t>(high, 0, pool))};
}

// The exact split of values[0 .. count - 1], count <= kBestSplitExactPool,
// for the final value difference gap + (sum to team one) - (sum to team
// two), |gap| a little over kGapLimit at most.
uint64_t ExactSplit(Counts counts, int64_t gap, const int32_t* values, int count) {
  const int frontCount = (count + 1) / 2;
  const int backCount = count - frontCount;
  HalfTable& front = scratch.front;
  HalfTable& back = scratch.back;
  front.Start(values, frontCount);
  back.Start(values + frontCount, backCount);
  BuildHalves(front, back);

  // With S the sum to team one and P the pool's, the difference is
  // base + 2S, base = gap - P.  No term comes near the 64-bit limits.
  int64_t base = gap;
  for (int i = 0; i < count; ++i) base -= values[i];

  // Every front group against the back group that completes an allowed
  // count.  The best score names the front subset (its key) and the best
  // difference; the back subsets that complete it are found after.
  const int countsTried = counts.highest == counts.lowest ? 1 : 2;
  int64_t bestScore = INT64_MAX;
  for (int t = 0; t < countsTried; ++t) {
    const int k = t == 0 ? counts.lowest : counts.highest;
    for (int j = std::max(0, k - backCount); j <= std::min(frontCount, k); ++j) {
      bestScore = std::min(bestScore, BestScore(front.Begin(j), front.End(j), back.Begin(k - j),
                                                back.End(k - j), base, scratch.change));
    }
  }
  const uint64_t frontMask = MaskOf(KeyOf(bestScore), frontCount);
  const int frontTaken = std::popcount(frontMask);
  int64_t frontSum = 0;
  for (int p = 0; p < frontCount; ++p) {
    if ((frontMask >> p & 1) != 0) frontSum += values[p];
  }

  // The back subsets that complete the chosen front subset to the best
  // difference have the sum (+-best - base) / 2 - frontSum (best and base
  // have the same parity), in a group of an allowed count.  The first row of
  // such a sum in its group is the one the tie rule prefers there.
  const int64_t spread = bestScore >> kKeyBits;
  const int64_t wanted[2] = {(spread - base) / 2 - frontSum, (-spread - base) / 2 - frontSum};
  int64_t backKey = kKeyMask + 1;
  for (int t = 0; t < countsTried; ++t) {
    const int j = (t == 0 ? counts.lowest : counts.highest) - frontTaken;
    if (j < 0 || j > backCount) continue;
    for (const int64_t target : wanted) {
      const int64_t* const at =
          std::lower_bound(back.Begin(j), back.End(j), target * (kKeyMask + 1));
      if (at != back.End(j) && SumOf(*at) == target) backKey = std::min(backKey, KeyOf(*at));
    }
  }
  return frontMask | MaskOf(backKey, backCount) << frontCount;
}

}  // namespace

uint64_t BestSplit(TeamStanding teamOne, TeamStanding teamTwo, std::span<const int32_t> pool) {
  const int count = static_cast<int>(std::min(pool.size(), kBestSplitMaxPool));
  const Counts counts = AllowedCounts(teamOne.players, teamTwo.players, count);
  const int64_t gap = CappedGap(teamOne.total, teamTwo.total);
  const int exact = static_cast<int>(kBestSplitExactPool);
  if (count <= exact) return ExactSplit(counts, gap, pool.data(), count);

  // The extras (positions 32 and up) are dealt first.  Team one's share of
  // them, e, must leave the exact split of the first 32 a count it can take
  // that completes an allowed total: lowest - e in 0..32 and highest - e
  // too, i.e. e in highest - 32 .. lowest.  Within that, e leaves the first
  // 32 as close to half each as it can, where they have the most ways to
  // split.
  const int extras = count - exact;
  const int leastShare = std::max(0, counts.highest - exact);
  const int mostShare = std::min(extras, counts.lowest);
  int shareOne = std::clamp(counts.lowest - exact / 2, leastShare, mostShare);
  int shareTwo = extras - shareOne;

  // Largest magnitude first; equal magnitudes in slot order.
  int order[kBestSplitMaxPool - kBestSplitExactPool] = {};
  for (int i = 0; i < extras; ++i) order[i] = exact + i;
  const auto magnitude = [&pool](int position) {
    return Magnitude(pool[static_cast<std::size_t>(position)]);
  };
  std::sort(order, order + extras, [&](int x, int y) {
    return magnitude(x) != magnitude(y) ? magnitude(x) > magnitude(y) : x < y;
  });

  uint64_t placed = 0;
  int64_t dealtGap = gap;
  for (int i = 0; i < extras; ++i) {
    const int64_t value = pool[static_cast<std::size_t>(order[i])];
    const bool toOne = shareTwo == 0 ||
                       (shareOne > 0 && Magnitude(dealtGap + value) <= Magnitude(dealtGap - value));
    if (toOne) {
      dealtGap += value;
      --shareOne;
      placed |= uint64_t{1} << order[i];
    } else {
      dealtGap -= value;
      --shareTwo;
    }
  }
  const int takenOne = std::popcount(placed);
  const Counts rest = {counts.lowest - takenOne, counts.highest - takenOne};
  return placed | ExactSplit(rest, dealtGap, pool.data(), exact);
}
