// BestSplit against two references: every placement tried (small pools, any
// values), and a walk over every reachable (entries taken, sum) state of the
// pool's suffixes (pools up to 32, small values, ties everywhere).
#include "best_split.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "reference/best_split_brute_force.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

enum class Regime { Small, Large, Signed, Ties };
constexpr Regime kRegimes[] = {Regime::Small, Regime::Large, Regime::Signed, Regime::Ties};

int32_t Draw(std::mt19937& random, Regime regime) {
  switch (regime) {
    case Regime::Small:
      return static_cast<int32_t>(random() % 10001);
    case Regime::Large:  // half of them within 1000 of the top
      if (random() % 2 == 0) return kMax - static_cast<int32_t>(random() % 1000);
      return static_cast<int32_t>(random() % (uint32_t{1} << 31));
    case Regime::Signed:
      if (random() % 8 == 0) return random() % 2 == 0 ? kMin : kMax;
      return static_cast<int32_t>(random());
    case Regime::Ties:
      return static_cast<int32_t>(random() % 3) * 100;
  }
  return 0;
}

// The teams' totals are sums of values of the same regime.
SplitRoom DrawRoom(std::mt19937& random, int marines, int aliens, int waiting, Regime regime) {
  SplitRoom room;
  room.one.players = marines;
  room.two.players = aliens;
  for (int k = 0; k < marines; ++k) room.one.total += Draw(random, regime);
  for (int k = 0; k < aliens; ++k) room.two.total += Draw(random, regime);
  for (int k = 0; k < waiting; ++k) room.pool.push_back(Draw(random, regime));
  return room;
}

std::string Describe(const SplitRoom& room) {
  std::string text = std::to_string(room.one.players) + " marines (" +
                     std::to_string(room.one.total) + "), " + std::to_string(room.two.players) +
                     " aliens (" + std::to_string(room.two.total) + "), pool";
  for (int32_t value : room.pool) text += " " + std::to_string(value);
  return text;
}

uint64_t SplitOf(const SplitRoom& room) { return BestSplit(room.one, room.two, room.pool); }

TEST(BestSplit, MatchesEveryPlacementTried) {
  std::mt19937 random(4242);
  int rooms = 0;
  int roomsWithTies = 0;
  const auto check = [&](const SplitRoom& room) {
    const BruteForceResult expected = BruteForceBestSplit(room);
    EXPECT_EQ(SplitOf(room), expected.placement) << Describe(room);
    ++rooms;
    if (expected.bestPlacements > 1) ++roomsWithTies;
  };
  // Every shape of up to 12 players in all.
  for (int players = 0; players <= 12; ++players) {
    for (int marines = 0; marines <= players; ++marines) {
      for (int aliens = 0; marines + aliens <= players; ++aliens) {
        for (Regime regime : kRegimes) {
          for (int draw = 0; draw < 6; ++draw) {
            check(DrawRoom(random, marines, aliens, players - marines - aliens, regime));
          }
        }
      }
    }
  }
  // Larger pools, fewer rooms: halves of up to 8 entries.
  for (int waiting = 13; waiting <= 16; ++waiting) {
    for (Regime regime : kRegimes) {
      for (int draw = 0; draw < 2; ++draw) {
        const int marines = static_cast<int>(random() % 5);
        const int aliens = static_cast<int>(random() % 5);
        check(DrawRoom(random, marines, aliens, waiting, regime));
      }
    }
  }
  // The tie rule decided a fair share of the rooms (most rooms of one or no
  // waiting player have a single placement), or it was hardly tested.
  EXPECT_GT(roomsWithTies, rooms / 10) << roomsWithTies << " of " << rooms;
}

// The tie rule's choice among the best placements of a pool of small
// non-negative values: reach[i] marks the (taken, sum) pairs that positions
// i.. can send to team one; the best pairs at position 0 are the targets,
// and each position goes to team one whenever some target stays reachable
// that way.
uint64_t SmallValueBestSplit(const SplitRoom& room) {
  const auto n = static_cast<int>(room.pool.size());
  int total = 0;
  for (int32_t value : room.pool) total += value;
  const auto at = [total](int taken, int sum) {
    return static_cast<std::size_t>(taken * (total + 1) + sum);
  };
  std::vector<std::vector<char>> reach(
      n + 1, std::vector<char>(static_cast<std::size_t>((n + 1) * (total + 1))));
  reach[n][at(0, 0)] = 1;
  for (int i = n - 1; i >= 0; --i) {
    const int value = room.pool[static_cast<std::size_t>(i)];
    for (int taken = 0; taken <= n - i; ++taken) {
      for (int sum = 0; sum <= total; ++sum) {
        reach[i][at(taken, sum)] = static_cast<char>(
            reach[i + 1][at(taken, sum)] != 0 ||
            (taken > 0 && sum >= value && reach[i + 1][at(taken - 1, sum - value)] != 0));
      }
    }
  }
  const int64_t gap = room.one.total - room.two.total;
  std::vector<std::pair<int, int>> targets;
  int64_t best = std::numeric_limits<int64_t>::max();
  for (int taken : CountsWithEvenestTeams(room)) {
    for (int sum = 0; sum <= total; ++sum) {
      if (reach[0][at(taken, sum)] == 0) continue;
      const int64_t difference = std::llabs(gap + sum - (total - sum));
      if (difference < best) targets.clear();
      if (difference <= best) {
        best = difference;
        targets.emplace_back(taken, sum);
      }
    }
  }
  uint64_t placement = 0;
  for (int i = 0; i < n; ++i) {
    const int value = room.pool[static_cast<std::size_t>(i)];
    std::vector<std::pair<int, int>> viaTeamOne;
    for (const auto& [taken, sum] : targets) {
      if (taken > 0 && sum >= value && reach[i + 1][at(taken - 1, sum - value)] != 0) {
        viaTeamOne.emplace_back(taken - 1, sum - value);
      }
    }
    if (!viaTeamOne.empty()) {
      placement |= uint64_t{1} << i;
      targets = viaTeamOne;
    }
    // Otherwise every target stays reachable with position i on team two.
  }
  return placement;
}

TEST(BestSplit, MatchesTheReachableStatesUpToAFullServer) {
  std::mt19937 random(31337);
  for (int waiting = 1; waiting <= 32; ++waiting) {
    for (int draw = 0; draw < 3; ++draw) {
      SplitRoom room;
      room.one.players = static_cast<int32_t>(random() % 6);
      room.two.players = static_cast<int32_t>(random() % 6);
      room.one.total = static_cast<int64_t>(random() % 100);
      room.two.total = static_cast<int64_t>(random() % 100);
      // Few distinct small values: many placements share the best difference.
      const int32_t top = draw == 0 ? 3 : 20;
      for (int k = 0; k < waiting; ++k) room.pool.push_back(static_cast<int32_t>(random() % top));
      EXPECT_EQ(SplitOf(room), SmallValueBestSplit(room)) << Describe(room);
    }
  }
}

TEST(BestSplit, Rooms) {
  struct Case {
    const char* what;
    SplitRoom room;
    uint64_t placement;
  };
  const Case cases[] = {
      // 4200 against 3800, the larger total 1.105 times the smaller; the
      // other placement gives the aliens 4800 against 3200 (1.50 times).
      {"3 marines of 900, 3 aliens of 1100, 1500 and 500 waiting",
       {{3, 2700}, {3, 3300}, {1500, 500}},
       0b01},
      // One count only: 5 against 4, both to the aliens.
      {"5 marines, 2 aliens, 2 waiting", {{5, 5000}, {2, 2000}, {800, 1200}}, 0b00},
      {"empty pool", {{4, 10}, {2, 99}, {}}, 0},
      {"empty room", {{0, 0}, {0, 0}, {}}, 0},
      {"aliens too many for the pool", {{0, 0}, {6, 6000}, {1, 2, 3}}, 0b111},
      {"marines too many for the pool", {{6, 0}, {0, 0}, {1, 2, 3}}, 0},
      // Team one may take none (3 against 4) or one (4 against 3).
      {"marines one ahead, pool of two", {{3, 0}, {2, 0}, {7, 7}}, 0b01},
      // Team one may take one or two.  The first 10 alone (10 against 11)
      // and with the 1 (11 against 10) both leave 1; the second also sends
      // position 2 to team one.
      {"tie across both allowed counts", {{0, 0}, {0, 0}, {10, 10, 1}}, 0b101},
      {"all equal: the earliest half to team one", {{0, 0}, {0, 0}, {5, 5, 5, 5, 5, 5}}, 0b000111},
      // -50 + 20 + 0 against 40 - 30 - 10: the largest sum two can bring.
      {"negative values", {{1, -50}, {1, 40}, {-30, 20, -10, 0}}, 0b1010},
      // Team one far ahead beyond any 64-bit sum: the two smallest to it.
      {"totals at the 64-bit limits",
       {{0, std::numeric_limits<int64_t>::max()},
        {0, std::numeric_limits<int64_t>::min()},
        {5, 1, 3, 2}},
       0b1010},
      {"extreme values", {{0, 0}, {0, 0}, {kMax, kMin, kMax, kMin}}, 0b0011},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitOf(c.room), c.placement) << c.what;
    EXPECT_TRUE(CountAllowed(CountsWithEvenestTeams(c.room), c.placement)) << c.what;
  }
}

// Beyond 32 waiting players the split is no longer exact, but it must still
// keep the count rule and place only pool positions.
TEST(BestSplit, LargerPoolsKeepTheCountRule) {
  std::mt19937 random(99);
  const int shapes[][2] = {{0, 0}, {0, 40}, {40, 0}, {3, 7}, {20, 1}, {1, 20}, {0, 31}, {31, 0}};
  for (int waiting = 33; waiting <= 64; ++waiting) {
    const Regime regime = kRegimes[waiting % 4];
    for (const auto& shape : shapes) {
      const SplitRoom room = DrawRoom(random, shape[0], shape[1], waiting, regime);
      const uint64_t placement = SplitOf(room);
      EXPECT_TRUE(waiting == 64 || placement >> waiting == 0) << Describe(room);
      EXPECT_TRUE(CountAllowed(CountsWithEvenestTeams(room), placement)) << Describe(room);
    }
  }
}

}  // namespace
