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

#include "best_split.h"
#include "even_teams.h"
#include "host_api.h"
#include "team_values.h"

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

// The rooms, each split by the quick search (BM_EvenTeams_<room>) and by the
// best split (BM_BestSplit_<room>).
struct Room {
  const char* name;
  int marines, aliens;
  Values values;
  int slots;
};
constexpr Room kRooms[] = {
    {"AllReadyRoom", 0, 0, Values::Spread, 32},
    {"HalfAliensHalfWaiting", 0, 16, Values::Spread, 32},
    {"MoreThanHalfAliens", 0, 17, Values::Spread, 32},
    {"AllEqualValues", 0, 0, Values::Equal, 32},
    {"SpreadValuesMixedTeams", 6, 8, Values::Spread, 32},
    {"MarinesAlreadyHalf", 16, 0, Values::Spread, 32},
    {"AllReadyRoomAnyValues", 0, 0, Values::Full, 32},
    {"AllReadyRoomUpTo10000", 0, 0, Values::Small, 32},
    // 31 waiting: the best split's team one may take 15 or 16, and both
    // are searched.
    {"31WaitingAnyValues", 0, 0, Values::Full, 31},
    // The simulated server's 64 slots: the best split deals 32 and splits
    // 32 exactly.
    {"64WaitingAnyValues", 0, 0, Values::Full, 64},
};

[[maybe_unused]] const bool kRoomsRegistered = [] {
  for (const Room& room : kRooms) {
    benchmark::RegisterBenchmark(
        ("BM_EvenTeams_" + std::string(room.name)).c_str(), [room](benchmark::State& state) {
          SplitFullServer(state, room.marines, room.aliens, room.values, room.slots);
        });
  }
  for (const Room& room : kRooms) {
    benchmark::RegisterBenchmark(
        ("BM_BestSplit_" + std::string(room.name)).c_str(), [room](benchmark::State& state) {
          BestSplitServer(state, FullServer(room.marines, room.aliens, room.values, room.slots));
        });
  }
  return true;
}();

void BM_TeamValuesReport_FullServer(benchmark::State& state) {
  const std::vector<RatedPlayer> players = FullServer(16, 16, Values::Spread);
  const std::vector<RatedPlayer> marines(players.begin(), players.begin() + 16);
  const std::vector<RatedPlayer> aliens(players.begin() + 16, players.end());
  for (auto _ : state) benchmark::DoNotOptimize(TeamValuesReport(marines, aliens));
}
BENCHMARK(BM_TeamValuesReport_FullServer);

}  // namespace
