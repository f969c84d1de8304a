// The even-teams split as a function of the gathered list and the C
// generator's state.
#include "even_teams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "host_api.h"
#include "reference/shuffle_order.h"

namespace {

using Names = std::vector<std::string>;

// A ready-room list laid out so that, with `seed`, the shuffled pool holds
// the given entries in the given order.
std::vector<RatedPlayer> ReadyRoomShuffledAs(unsigned seed,
                                             const std::vector<RatedPlayer>& shuffled) {
  const std::vector<std::size_t> order = ShuffleOrder(seed, shuffled.size());
  std::vector<RatedPlayer> players(shuffled.size());
  for (std::size_t k = 0; k < shuffled.size(); ++k) {
    players[order[k]] = shuffled[k];
    players[order[k]].team = kReadyRoom;
  }
  return players;
}

struct Outcome {
  Names teamOne, teamTwo;
  int32_t steps = 0;
};

Outcome Split(const std::vector<RatedPlayer>& players, unsigned seed) {
  EvenTeamsAssigner assigner(players);
  Outcome outcome{{"stale"}, {"stale"}, 0};  // both lists are replaced
  HostApi::SeedRandom(seed);
  assigner.SplitTeams(outcome.teamOne, outcome.teamTwo);
  outcome.steps = assigner.SearchCalls();
  return outcome;
}

RatedPlayer P(const std::string& name, int32_t value, TeamId team = kReadyRoom) {
  return {name, value, team};
}

// ---- hand-worked searches ---------------------------------------------------
// With a shuffled pool [a, b, c, d] of ready-room players the complete
// candidates come in the order {d,c}, {c,d}, {b,d}, {a,d}: five steps.

TEST(EvenTeams, LaterCandidateReplacesOnlyWhenStrictlyBetter) {
  const unsigned seed = 7;
  // Shuffled [40, 30, 20, 10]: half 50; {10,20} -20, {30,10} -10, {40,10} 0.
  Outcome outcome = Split(
      ReadyRoomShuffledAs(seed, {P("a40", 40), P("b30", 30), P("c20", 20), P("d10", 10)}), seed);
  EXPECT_EQ(outcome.teamOne, (Names{"a40", "d10"}));
  EXPECT_EQ(outcome.teamTwo, (Names{"b30", "c20"}));
  EXPECT_EQ(outcome.steps, 5);  // within tolerance, but not after step 50

  // Shuffled [10, 40, 20, 10]: half 40; {d,c} -10 first, {b,d} +10 ties and
  // loses, {a,d} -20.
  outcome =
      Split(ReadyRoomShuffledAs(seed, {P("a", 10), P("b", 40), P("c", 20), P("d", 10)}), seed);
  EXPECT_EQ(outcome.teamOne, (Names{"d", "c"}));
  EXPECT_EQ(outcome.teamTwo, (Names{"a", "b"}));
}

TEST(EvenTeams, RunParameters) {
  struct Case {
    std::vector<int32_t> values;
    int64_t half, tolerance;
  };
  const int32_t top = std::numeric_limits<int32_t>::max();
  const Case cases[] = {
      {{100, 90, 60, 50}, 150, 3},
      {{200, 50}, 125, 2},
      {{-10, 3}, -3, 0},
      {{top, top, top, top}, 4294967294, 85899345},  // 32-bit sums would wrap
  };
  for (const Case& c : cases) {
    std::vector<RatedPlayer> players;
    for (int32_t value : c.values)
      players.push_back(P("p" + std::to_string(players.size()), value));
    EvenTeamsAssigner assigner(players);
    Names one, two;
    assigner.SplitTeams(one, two);
    EXPECT_EQ(assigner.HalfValue(), c.half);
    EXPECT_EQ(assigner.Tolerance(), c.tolerance);
  }
}

// Shuffled [1000, max, max, 5]: the total 2^32 + 1003 wraps to 1003 in 32
// bits, which would make {1000, 5} look perfect.  Wide sums see {5, max} as
// 497 short of half and {1000, 5} as half the total short.
TEST(EvenTeams, LargeValuesDoNotWrap) {
  const int32_t top = std::numeric_limits<int32_t>::max();
  const unsigned seed = 2;
  const Outcome outcome =
      Split(ReadyRoomShuffledAs(seed, {P("a", 1000), P("b", top), P("c", top), P("d", 5)}), seed);
  EXPECT_EQ(outcome.teamOne, (Names{"d", "c"}));
  EXPECT_EQ(outcome.teamTwo, (Names{"a", "b"}));
}

TEST(EvenTeams, AllEqualValuesRunToTheStepLimit) {
  // Every candidate ties with the first, so best never changes, the
  // tolerance stop never fires and the step limit ends the run.
  std::vector<RatedPlayer> shuffled;
  for (int k = 0; k < 12; ++k) shuffled.push_back(P("p" + std::to_string(k), 100));
  const unsigned seed = 4;
  const Outcome outcome = Split(ReadyRoomShuffledAs(seed, shuffled), seed);
  EXPECT_EQ(outcome.steps, EvenTeamsAssigner::kStepLimit + 1);
  // The first descent takes the pool from its end.
  EXPECT_EQ(outcome.teamOne, (Names{"p11", "p10", "p9", "p8", "p7", "p6"}));
  EXPECT_EQ(outcome.teamTwo, (Names{"p0", "p1", "p2", "p3", "p4", "p5"}));
}

std::vector<RatedPlayer> NumberedPool(const std::vector<int32_t>& values) {
  std::vector<RatedPlayer> pool;
  for (int32_t value : values) pool.push_back(P("p" + std::to_string(pool.size()), value));
  return pool;
}

// With ten waiting players the search first meets {p9, p8, p2, p1, p7} at
// step 50.  Here it is 4 from half (tolerance 16) and better than all before,
// but the tolerance stop needs a step above 50, and nothing later is
// better: the run goes on to the step limit.
TEST(EvenTeams, ToleranceStopNeedsMoreThanFiftySteps) {
  const unsigned seed = 8;
  const Outcome outcome = Split(
      ReadyRoomShuffledAs(seed, NumberedPool({20, 100, 200, 2, 400, 20, 400, 400, 100, 50})), seed);
  EXPECT_EQ(outcome.steps, EvenTeamsAssigner::kStepLimit + 1);
  EXPECT_EQ(outcome.teamOne, (Names{"p9", "p8", "p2", "p1", "p7"}));
  EXPECT_EQ(outcome.teamTwo, (Names{"p0", "p3", "p4", "p5", "p6"}));
}

// Here {p9, p6, p5, p4, p8}, 2 short of half (tolerance 10), becomes best at
// step 153 and ends the run there.
TEST(EvenTeams, ToleranceStopEndsTheRunEarly) {
  const unsigned seed = 8;
  const Outcome outcome = Split(
      ReadyRoomShuffledAs(seed, NumberedPool({100, 3, 8, 200, 0, 5, 100, 200, 400, 2})), seed);
  EXPECT_EQ(outcome.steps, 153);
  EXPECT_EQ(outcome.teamOne, (Names{"p9", "p6", "p5", "p4", "p8"}));
  EXPECT_EQ(outcome.teamTwo, (Names{"p0", "p1", "p2", "p3", "p7"}));
}

// ---- the hopeless case and the bound on the work ------------------------

// 17 aliens and 15 waiting: team one can never reach 16 entries.  Searched
// naively this walks every ordering of 15 entries (over 10^12 steps).
TEST(EvenTeams, NoCandidatePossibleEndsWithoutSearching) {
  std::vector<RatedPlayer> players;
  for (int k = 0; k < 17; ++k) players.push_back(P("a" + std::to_string(k), 100 + k, kAliens));
  for (int k = 0; k < 15; ++k) players.push_back(P("w" + std::to_string(k), 50 + k));
  const Outcome outcome = Split(players, 1);
  EXPECT_EQ(outcome.steps, 0);
  EXPECT_TRUE(outcome.teamOne.empty());
  Names aliens;
  for (int k = 0; k < 17; ++k) aliens.push_back("a" + std::to_string(k));
  EXPECT_EQ(outcome.teamTwo, aliens);
}

TEST(EvenTeams, AliensExactlyHalfStillGetACandidate) {
  // 2 aliens, 2 waiting: team one takes both waiting players.
  const std::vector<RatedPlayer> players = {P("a1", 1, kAliens), P("w1", 1), P("a2", 1, kAliens),
                                            P("w2", 1)};
  const Outcome outcome = Split(players, 1);
  EXPECT_EQ(outcome.teamOne.size(), 2u);
  EXPECT_EQ(outcome.teamTwo, (Names{"a1", "a2"}));
}

// Every shape of a full server, many seeds: no run exceeds 501 steps.
TEST(EvenTeams, WorkIsBoundedInEveryShape) {
  std::mt19937 values(12345);
  const int shapes[][3] = {
      // marines, aliens, waiting
      {0, 0, 32},  {0, 16, 16}, {0, 17, 15}, {0, 31, 1},  {15, 0, 17},
      {16, 0, 16}, {5, 10, 17}, {8, 8, 16},  {0, 15, 17}, {1, 14, 17},
  };
  for (const auto& shape : shapes) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
      std::vector<RatedPlayer> players;
      const auto add = [&](int count, TeamId team) {
        for (int k = 0; k < count; ++k) {
          const int32_t value = static_cast<int32_t>(values() % 3000) - 500;
          players.push_back(P("p" + std::to_string(players.size()), value, team));
        }
      };
      add(shape[0], kMarines);
      add(shape[1], kAliens);
      add(shape[2], kReadyRoom);
      const Outcome outcome = Split(players, seed);
      EXPECT_LE(outcome.steps, EvenTeamsAssigner::kStepLimit + 1)
          << shape[0] << "/" << shape[1] << "/" << shape[2] << " seed " << seed;
      EXPECT_EQ(outcome.teamOne.size() + outcome.teamTwo.size(),
                outcome.teamOne.empty() ? static_cast<std::size_t>(shape[1]) : players.size());
    }
  }
}

// ---- against a literal transcription of the rules ---------------------------
// The assigner shares entries by pointer, leaves a level once the stop flag
// is up and skips a search that cannot complete team one; none of that may
// change a result.  This reference does none of it: it copies every entry,
// keeps looping after the stop (making no calls), and searches everything.

struct RefSplit {
  std::vector<RatedPlayer> teamOne;
  int64_t teamOneValue = 0;
  std::vector<RatedPlayer> pool;
  int64_t difference = 2147483647;
};

struct Reference {
  int64_t entryCount = 0, halfValue = 0, tolerance = 0;
  int32_t calls = 0;

  void Take(RefSplit& split, const RatedPlayer& entry) const {
    for (std::size_t j = 0; j < split.pool.size(); ++j) {
      if (split.pool[j].name != entry.name) continue;
      split.teamOne.push_back(split.pool[j]);
      split.teamOneValue += split.pool[j].value;
      split.difference = split.teamOneValue - halfValue;
      split.pool.erase(split.pool.begin() + static_cast<std::ptrdiff_t>(j));
      return;
    }
  }

  void Search(RefSplit split, RefSplit& best, bool& stop) {
    ++calls;
    if (calls > 500 && best.difference != 2147483647) {
      stop = true;
      return;
    }
    for (int64_t i = static_cast<int64_t>(split.pool.size()) - 1; i >= 0; --i) {
      RefSplit candidate = split;
      Take(candidate, split.pool[static_cast<std::size_t>(i)]);
      if (static_cast<int64_t>(candidate.teamOne.size()) >= entryCount / 2) {
        if (std::llabs(candidate.difference) < std::llabs(best.difference)) {
          best = candidate;
          if (std::llabs(best.difference) <= tolerance && calls > 50) stop = true;
        }
        return;
      }
      if (!stop) Search(candidate, best, stop);
    }
  }

  void Run(const std::vector<RatedPlayer>& players, Names& one, Names& two) {
    std::vector<RatedPlayer> teamOne, teamTwo, pool;
    entryCount = static_cast<int64_t>(players.size());
    int64_t total = 0, marineSum = 0;
    for (const RatedPlayer& p : players) {
      total += p.value;
      if (p.team == 1) {
        teamOne.push_back(p);
        marineSum += p.value;
      } else if (p.team == 2) {
        teamTwo.push_back(p);
      } else {
        pool.push_back(p);
      }
    }
    if (entryCount % 2 == 1) {
      ++entryCount;
      pool.push_back({kFillerName, 0, -1});
    }
    halfValue = total / 2;
    tolerance = static_cast<int64_t>(static_cast<double>(total) * 0.01);
    for (std::size_t i = 1; i < pool.size(); ++i) {
      const auto r = static_cast<unsigned>(std::rand());
      std::swap(pool[i], pool[r % (i + 1)]);
    }
    RefSplit start{teamOne, marineSum, pool, marineSum - halfValue};
    RefSplit best;
    bool stop = false;
    calls = 0;
    Search(start, best, stop);
    teamOne = best.teamOne;
    bool removed = false;
    for (std::size_t j = 0; j < teamOne.size() && !removed; ++j) {
      if (teamOne[j].name == kFillerName) {
        teamOne.erase(teamOne.begin() + static_cast<std::ptrdiff_t>(j));
        removed = true;
      }
    }
    for (std::size_t j = 0; j < best.pool.size() && !removed; ++j) {
      if (best.pool[j].name == kFillerName) {
        best.pool.erase(best.pool.begin() + static_cast<std::ptrdiff_t>(j));
        removed = true;
      }
    }
    teamTwo.insert(teamTwo.end(), best.pool.begin(), best.pool.end());
    one.clear();
    two.clear();
    for (const RatedPlayer& p : teamOne) one.push_back(p.name);
    for (const RatedPlayer& p : teamTwo) two.push_back(p.name);
  }
};

TEST(EvenTeams, MatchesTheLiteralRulesOnRandomServers) {
  std::mt19937 random(777);
  int compared = 0, withoutCandidate = 0, stoppedEarly = 0, hitLimit = 0;
  for (int run = 0; run < 600; ++run) {
    const int count = 1 + static_cast<int>(random() % 14);
    std::vector<RatedPlayer> players;
    int marines = 0, pool = count % 2;  // the filler
    for (int k = 0; k < count; ++k) {
      static const TeamId kTeams[] = {0, 0, 0, 0, 1, 1, 2, 2, -1, -2};
      const TeamId team = kTeams[random() % 10];
      if (team == kMarines) ++marines;
      if (team != kMarines && team != kAliens) ++pool;
      // Few distinct values make ties; a few repeated names make the
      // by-name lookup matter.
      const int32_t value = static_cast<int32_t>(random() % 7) * 25 - 30;
      const std::string name = random() % 8 == 0 ? "twin" : "p" + std::to_string(k);
      players.push_back({name, value, team});
    }
    const bool hopeless = marines + pool < (count + count % 2) / 2;
    // Keep the reference's exhaustive walks short.
    if (pool > 9 || (hopeless && pool > 6)) continue;

    const unsigned seed = static_cast<unsigned>(random());
    Reference reference;
    Names refOne, refTwo;
    HostApi::SeedRandom(seed);
    reference.Run(players, refOne, refTwo);

    const Outcome outcome = Split(players, seed);
    EXPECT_EQ(outcome.teamOne, refOne) << "run " << run;
    EXPECT_EQ(outcome.teamTwo, refTwo) << "run " << run;
    if (hopeless) {
      EXPECT_EQ(outcome.steps, 0) << "run " << run;
      ++withoutCandidate;
    } else {
      EXPECT_EQ(outcome.steps, reference.calls) << "run " << run;
      if (reference.calls == 501) ++hitLimit;
      if (reference.calls > 50 && reference.calls < 501) ++stoppedEarly;
    }
    ++compared;
  }
  // The sample must exercise both stops, or it proves little.
  EXPECT_GT(compared, 300);
  EXPECT_GT(withoutCandidate, 0);
  EXPECT_GT(hitLimit, 0);
  EXPECT_GT(stoppedEarly, 0);
  std::printf("compared %d runs: %d without candidate, %d at the step limit, %d stopped early\n",
              compared, withoutCandidate, hitLimit, stoppedEarly);
}

}  // namespace
