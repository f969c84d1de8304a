// eventeams and stv run on the server's main thread: a full server of 32
// players must be split (and reported) in well under a millisecond, in
// every shape, by the quick search; the best split within 5 ms whatever the
// values, and within 1 ms when no value exceeds 10,000.  Each room is split
// by both, side by side.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "host_api.h"
#include "values/best_split.h"
#include "values/even_teams.h"
#include "values/team_values.h"

namespace {

// Spread: -1000 .. 1,998,999; Equal: all 1000; Full: any 32-bit value;
// Small: 0 .. 10,000.
enum class Values { Spread, Equal, Full, Small };

// `slots` players (32 unless said otherwise) with names too long for the
// short-string buffer (a name may be 31 characters on the server),
// `marines` marines and `aliens` aliens first, the rest in the ready room.
std::vector<RatedPlayer> FullServer(int marines, int aliens, Values values, int slots = 32) {
  std::mt19937 random(2024);
  std::vector<RatedPlayer> players;
  for (int slot = 1; slot <= slots; ++slot) {
    const TeamId team = slot <= marines            ? kMarines
                        : slot <= marines + aliens ? kAliens
                                                   : kReadyRoom;
    int32_t value = 1000;
    if (values == Values::Spread) value = static_cast<int32_t>(random() % 2000000) - 1000;
    if (values == Values::Full) value = static_cast<int32_t>(random());
    if (values == Values::Small) value = static_cast<int32_t>(random() % 10001);
    players.push_back({"[clan] a rather long name " + std::to_string(slot), value, team});
  }
  return players;
}

void SplitFullServer(benchmark::State& state, int marines, int aliens, Values values,
                     int slots = 32) {
  const std::vector<RatedPlayer> players = FullServer(marines, aliens, values, slots);
  std::vector<std::string> teamOne;
  std::vector<std::string> teamTwo;
  unsigned seed = 1;
  int64_t steps = 0;
  int64_t runs = 0;
  int32_t mostSteps = 0;
  for (auto _ : state) {
    HostApi::SeedRandom(seed++);  // a new shuffle every run
    EvenTeamsAssigner assigner(players);
    assigner.SplitTeams(teamOne, teamTwo);
    benchmark::DoNotOptimize(teamOne.data());
    steps += assigner.SearchCalls();
    mostSteps = std::max(mostSteps, assigner.SearchCalls());
    ++runs;
  }
  state.counters["steps"] =
      benchmark::Counter(static_cast<double>(steps) / static_cast<double>(runs));
  state.counters["max_steps"] = mostSteps;
}

void BM_EvenTeams_AllReadyRoom(benchmark::State& state) {
  SplitFullServer(state, 0, 0, Values::Spread);
}
void BM_EvenTeams_HalfAliensHalfWaiting(benchmark::State& state) {
  SplitFullServer(state, 0, 16, Values::Spread);
}
void BM_EvenTeams_MoreThanHalfAliens(benchmark::State& state) {
  SplitFullServer(state, 0, 17, Values::Spread);
}
void BM_EvenTeams_AllEqualValues(benchmark::State& state) {
  SplitFullServer(state, 0, 0, Values::Equal);
}
void BM_EvenTeams_SpreadValuesMixedTeams(benchmark::State& state) {
  SplitFullServer(state, 6, 8, Values::Spread);
}
void BM_EvenTeams_MarinesAlreadyHalf(benchmark::State& state) {
  SplitFullServer(state, 16, 0, Values::Spread);
}

void BM_EvenTeams_AllReadyRoomAnyValues(benchmark::State& state) {
  SplitFullServer(state, 0, 0, Values::Full);
}
void BM_EvenTeams_AllReadyRoomUpTo10000(benchmark::State& state) {
  SplitFullServer(state, 0, 0, Values::Small);
}
void BM_EvenTeams_31WaitingAnyValues(benchmark::State& state) {
  SplitFullServer(state, 0, 0, Values::Full, 31);
}
void BM_EvenTeams_64WaitingAnyValues(benchmark::State& state) {
  SplitFullServer(state, 0, 0, Values::Full, 64);
}

BENCHMARK(BM_EvenTeams_AllReadyRoom);
BENCHMARK(BM_EvenTeams_HalfAliensHalfWaiting);
BENCHMARK(BM_EvenTeams_MoreThanHalfAliens);
BENCHMARK(BM_EvenTeams_AllEqualValues);
BENCHMARK(BM_EvenTeams_SpreadValuesMixedTeams);
BENCHMARK(BM_EvenTeams_MarinesAlreadyHalf);
BENCHMARK(BM_EvenTeams_AllReadyRoomAnyValues);
BENCHMARK(BM_EvenTeams_AllReadyRoomUpTo10000);
BENCHMARK(BM_EvenTeams_31WaitingAnyValues);
BENCHMARK(BM_EvenTeams_64WaitingAnyValues);

// The best split of the same rooms, from the gathered list as the command
// has it: the teams' counts and totals and the pool's values are read
// inside the timed loop.
void BestSplitServer(benchmark::State& state, const std::vector<RatedPlayer>& players) {
  std::array<int32_t, kBestSplitMaxPool> pool{};
  for (auto _ : state) {
    TeamStanding one;
    TeamStanding two;
    std::size_t waiting = 0;
    for (const RatedPlayer& player : players) {
      if (player.team == kMarines) {
        ++one.players;
        one.total += player.value;
      } else if (player.team == kAliens) {
        ++two.players;
        two.total += player.value;
      } else if (waiting < pool.size()) {
        pool[waiting++] = player.value;
      }
    }
    benchmark::DoNotOptimize(BestSplit(one, two, {pool.data(), waiting}));
  }
}

void BM_BestSplit_AllReadyRoom(benchmark::State& state) {
  BestSplitServer(state, FullServer(0, 0, Values::Spread));
}
void BM_BestSplit_HalfAliensHalfWaiting(benchmark::State& state) {
  BestSplitServer(state, FullServer(0, 16, Values::Spread));
}
void BM_BestSplit_MoreThanHalfAliens(benchmark::State& state) {
  BestSplitServer(state, FullServer(0, 17, Values::Spread));
}
void BM_BestSplit_AllEqualValues(benchmark::State& state) {
  BestSplitServer(state, FullServer(0, 0, Values::Equal));
}
void BM_BestSplit_SpreadValuesMixedTeams(benchmark::State& state) {
  BestSplitServer(state, FullServer(6, 8, Values::Spread));
}
void BM_BestSplit_MarinesAlreadyHalf(benchmark::State& state) {
  BestSplitServer(state, FullServer(16, 0, Values::Spread));
}
void BM_BestSplit_AllReadyRoomAnyValues(benchmark::State& state) {
  BestSplitServer(state, FullServer(0, 0, Values::Full));
}
void BM_BestSplit_AllReadyRoomUpTo10000(benchmark::State& state) {
  BestSplitServer(state, FullServer(0, 0, Values::Small));
}
// 31 waiting: team one may take 15 or 16, and both are searched.
void BM_BestSplit_31WaitingAnyValues(benchmark::State& state) {
  BestSplitServer(state, FullServer(0, 0, Values::Full, 31));
}
// The simulated server's 64 slots: 32 dealt, 32 split exactly.
void BM_BestSplit_64WaitingAnyValues(benchmark::State& state) {
  BestSplitServer(state, FullServer(0, 0, Values::Full, 64));
}

BENCHMARK(BM_BestSplit_AllReadyRoom);
BENCHMARK(BM_BestSplit_HalfAliensHalfWaiting);
BENCHMARK(BM_BestSplit_MoreThanHalfAliens);
BENCHMARK(BM_BestSplit_AllEqualValues);
BENCHMARK(BM_BestSplit_SpreadValuesMixedTeams);
BENCHMARK(BM_BestSplit_MarinesAlreadyHalf);
BENCHMARK(BM_BestSplit_AllReadyRoomAnyValues);
BENCHMARK(BM_BestSplit_AllReadyRoomUpTo10000);
BENCHMARK(BM_BestSplit_31WaitingAnyValues);
BENCHMARK(BM_BestSplit_64WaitingAnyValues);

void BM_TeamValuesReport_FullServer(benchmark::State& state) {
  const std::vector<RatedPlayer> players = FullServer(16, 16, Values::Spread);
  const std::vector<RatedPlayer> marines(players.begin(), players.begin() + 16);
  const std::vector<RatedPlayer> aliens(players.begin() + 16, players.end());
  for (auto _ : state) benchmark::DoNotOptimize(TeamValuesReport(marines, aliens));
}
BENCHMARK(BM_TeamValuesReport_FullServer);

}  // namespace
