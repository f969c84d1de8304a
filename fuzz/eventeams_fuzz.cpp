// The even-teams split over arbitrary players: up to 64 of them, on any team
// number, with values up to the 32-bit extremes and names that repeat.  The
// split must place every gathered player exactly once (the filler never),
// keep the current marines and aliens first and in slot order, give team one
// half of the entries, and stay within its bound on search steps.  The best
// split of the same room must keep the count rule and place only pool
// positions, and for pools of up to 12 be the placement a brute force finds.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "best_split.h"
#include "even_teams.h"
#include "fuzz_check.h"
#include "reference/best_split_brute_force.h"

namespace {

int32_t ConsumeValue(FuzzedDataProvider& in) {
  static constexpr int32_t kNotable[] = {0, 1, -1, INT32_MAX, INT32_MIN, 1000, 1500, 999};
  if (in.ConsumeBool()) return in.PickValueInArray(kNotable);
  return in.ConsumeIntegral<int32_t>();
}

// Names repeat often (two players of one name are a real case), and the
// engine keeps at most 31 bytes of a name, so none can be the filler's.
std::string ConsumeName(FuzzedDataProvider& in) {
  static const char* const kNames[] = {"Alice", "Bob", "Carol", "Dave", "a", "A", " "};
  if (in.ConsumeBool()) return in.PickValueInArray(kNames);
  return in.ConsumeRandomLengthString(31);
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::string Shown(const SplitRoom& room, uint64_t placement) {
  std::string text = std::to_string(room.one.players) + " marines (" +
                     std::to_string(room.one.total) + "), " + std::to_string(room.two.players) +
                     " aliens (" + std::to_string(room.two.total) + "), pool";
  for (int32_t value : room.pool) text += " " + std::to_string(value);
  return text + ": placement " + std::to_string(placement);
}

void CheckBestSplit(const std::vector<RatedPlayer>& players) {
  SplitRoom room;
  for (const RatedPlayer& player : players) {
    if (player.team == kMarines) {
      ++room.one.players;
      room.one.total += player.value;
    } else if (player.team == kAliens) {
      ++room.two.players;
      room.two.total += player.value;
    } else {
      room.pool.push_back(player.value);
    }
  }
  const uint64_t placement = BestSplit(room.one, room.two, room.pool);
  const std::size_t n = room.pool.size();
  KEL_FUZZ_CHECK(n == 64 || placement >> n == 0,
                 "a position outside the pool: " + Shown(room, placement));
  KEL_FUZZ_CHECK(CountAllowed(CountsWithEvenestTeams(room), placement),
                 "count rule broken: " + Shown(room, placement));
  if (n <= 12) {
    const BruteForceResult expected = BruteForceBestSplit(room);
    KEL_FUZZ_CHECK(
        placement == expected.placement,
        "brute force finds " + std::to_string(expected.placement) + ": " + Shown(room, placement));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::srand(in.ConsumeIntegral<unsigned>());
  std::vector<RatedPlayer> players;
  const int count = in.ConsumeIntegralInRange(0, 64);
  for (int k = 0; k < count; ++k) {
    RatedPlayer player;
    player.name = ConsumeName(in);
    player.value = ConsumeValue(in);
    player.team = in.ConsumeIntegralInRange(-2, 2);
    players.push_back(player);
  }
  CheckBestSplit(players);

  EvenTeamsAssigner assigner(players);
  std::vector<std::string> teamOne = {"stale"};
  std::vector<std::string> teamTwo = {"stale"};
  assigner.SplitTeams(teamOne, teamTwo);

  int64_t total = 0;
  std::vector<std::string> marines, aliens, everyone, pool;
  for (const RatedPlayer& player : players) {
    total += player.value;
    everyone.push_back(player.name);
    if (player.team == kMarines) {
      marines.push_back(player.name);
    } else if (player.team == kAliens) {
      aliens.push_back(player.name);
    } else {
      pool.push_back(player.name);
    }
  }
  const int entries = count + count % 2;
  KEL_FUZZ_CHECK(assigner.EntryCount() == entries, "entry count");
  KEL_FUZZ_CHECK(assigner.HalfValue() == total / 2, "half of " + std::to_string(total));
  KEL_FUZZ_CHECK(assigner.Tolerance() == static_cast<int64_t>(static_cast<double>(total) * 0.01),
                 "tolerance");
  KEL_FUZZ_CHECK(
      assigner.SearchCalls() <= std::max(EvenTeamsAssigner::kStepLimit + 1, entries / 2 + 1),
      "search steps " + std::to_string(assigner.SearchCalls()));
  for (const auto* list : {&teamOne, &teamTwo}) {
    KEL_FUZZ_CHECK(std::find(list->begin(), list->end(), kFillerName) == list->end(),
                   "filler in a name list");
  }

  KEL_FUZZ_CHECK(
      teamTwo.size() >= aliens.size() && std::equal(aliens.begin(), aliens.end(), teamTwo.begin()),
      "team two does not start with the current aliens");

  const std::size_t half = static_cast<std::size_t>(entries / 2);
  const bool filler = count % 2 == 1;
  if (pool.empty() && !filler) {
    KEL_FUZZ_CHECK(teamOne.empty() && teamTwo == aliens, "split without a pool");
    return 0;
  }
  if (marines.size() + pool.size() + (filler ? 1 : 0) < half) {
    // No split can fill team one: nobody is placed but the aliens.
    KEL_FUZZ_CHECK(teamOne.empty() && teamTwo == aliens, "impossible split not empty");
    return 0;
  }
  KEL_FUZZ_CHECK(teamOne.size() >= marines.size() &&
                     std::equal(marines.begin(), marines.end(), teamOne.begin()),
                 "team one does not start with the current marines");
  std::vector<std::string> placed = teamOne;
  placed.insert(placed.end(), teamTwo.begin(), teamTwo.end());
  KEL_FUZZ_CHECK(Sorted(placed) == Sorted(everyone), "players lost or doubled");
  // The search takes entries until team one holds half of them, and at
  // least one when the marines alone already do; the filler, when taken,
  // leaves no name.
  const std::size_t expected = std::max(half, marines.size() + 1);
  KEL_FUZZ_CHECK(teamOne.size() == expected || (filler && teamOne.size() + 1 == expected),
                 "team one holds " + std::to_string(teamOne.size()) + ", expected " +
                     std::to_string(expected));
  return 0;
}
