// eventeams and stv run on the server's main thread: a full server of 32
// players must be split (and reported) in well under a millisecond, in
// every shape.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "even_teams.h"
#include "host_api.h"
#include "team_values.h"

namespace {

enum class Values { Spread, Equal };

// 32 players with names too long for the short-string buffer (a name may be
// 31 characters on the server), `marines` marines and `aliens` aliens first,
// the rest in the ready room.
std::vector<RatedPlayer> FullServer(int marines, int aliens, Values values) {
  std::mt19937 random(2024);
  std::vector<RatedPlayer> players;
  for (int slot = 1; slot <= 32; ++slot) {
    const TeamId team = slot <= marines            ? kMarines
                        : slot <= marines + aliens ? kAliens
                                                   : kReadyRoom;
    const int32_t value =
        values == Values::Equal ? 1000 : static_cast<int32_t>(random() % 2000000) - 1000;
    players.push_back({"[clan] a rather long name " + std::to_string(slot), value, team});
  }
  return players;
}

void SplitFullServer(benchmark::State& state, int marines, int aliens, Values values) {
  const std::vector<RatedPlayer> players = FullServer(marines, aliens, values);
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

BENCHMARK(BM_EvenTeams_AllReadyRoom);
BENCHMARK(BM_EvenTeams_HalfAliensHalfWaiting);
BENCHMARK(BM_EvenTeams_MoreThanHalfAliens);
BENCHMARK(BM_EvenTeams_AllEqualValues);
BENCHMARK(BM_EvenTeams_SpreadValuesMixedTeams);
BENCHMARK(BM_EvenTeams_MarinesAlreadyHalf);

void BM_TeamValuesReport_FullServer(benchmark::State& state) {
  const std::vector<RatedPlayer> players = FullServer(16, 16, Values::Spread);
  const std::vector<RatedPlayer> marines(players.begin(), players.begin() + 16);
  const std::vector<RatedPlayer> aliens(players.begin() + 16, players.end());
  for (auto _ : state) benchmark::DoNotOptimize(TeamValuesReport(marines, aliens));
}
BENCHMARK(BM_TeamValuesReport_FullServer);

}  // namespace
