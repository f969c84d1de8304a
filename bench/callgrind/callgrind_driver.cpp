// Calls one of the plugin's hooks a given number of times, for instruction
// counts under callgrind (see tools/bench --callgrind, which explains the
// method):
//
//   kel_callgrind_driver OPERATION CALLS
//
//   idle_frame      pfnStartFrame with nothing pending, 16 marines, 16 aliens
//   uneven_frame    pfnStartFrame with 14 marines, 10 aliens, the operator
//                   notice already given, kel_autobalance 0
//   autobalance_counting
//                   the same with kel_autobalance 100000: counting, not due
//   autobalance_arms
//                   the same with kel_autobalance 30, the frame in which the
//                   count reaches 30 s and the move is armed: before each
//                   call a map change (which starts the count again) and
//                   the clock set to 30 s later, and the messages of a call
//                   dropped after it, so every call meets the same server
//   game_command    pfnClientCommand "weapon_knife" from a player
//   chat_line       pfnClientCommand "say" "hello there" from a player
//   join_count      pfnClientCommand "jointeamtwo" from a ready-room player
//                   under kel_limitjoin 1, 12 marines against 12 aliens and
//                   8 waiting: the join is allowed (the game's own part is
//                   not run, so every call judges the same join)
//   join_strength   the same under kel_limitjoin 2: the count allows both
//                   teams, so the strength rule sums the values of all 24
//                   players on the teams
//   eventeams_worst pfnClientCommand "say" "/eventeams" from the operator,
//                   all 32 players in the ready room, all values equal
//                   (the shape whose every run searches to the step limit);
//                   the random generator is seeded with the run's number
//                   before each run, and the client commands and messages
//                   of a run are dropped after it, so every run meets the
//                   same server
//
// One warm-up call comes first (the plugin's first calls bind symbols and
// fill caches), then CALLS more.  Exits non-zero when the plugin does not
// load or does not answer as expected.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_server.h"

using kel_bench::BenchServer;
using kel_bench::Shape;

namespace {

int Fail(const std::string& why) {
  std::fprintf(stderr, "kel_callgrind_driver: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: kel_callgrind_driver OPERATION CALLS");
  const std::string operation = argv[1];
  const long calls = std::strtol(argv[2], nullptr, 10);
  if (calls < 0) return Fail("CALLS must be 0 or more");

  const bool arms = operation == "autobalance_arms";
  const bool frame = operation == "idle_frame" || operation == "uneven_frame" ||
                     operation == "autobalance_counting" || arms;
  const bool eventeams = operation == "eventeams_worst";
  Shape shape = Shape::Uneven;
  const char* autoBalance = "0";
  int slot = 5;
  META_RES expected = MRES_IGNORED;
  std::vector<std::string> words;
  if (operation == "idle_frame") {
    shape = Shape::Balanced;
  } else if (operation == "autobalance_counting") {
    autoBalance = "100000";
  } else if (arms) {
    autoBalance = "30";
  } else if (frame) {
    // uneven_frame: the Uneven shape with autobalance off
  } else if (operation == "game_command") {
    words = {"weapon_knife"};
  } else if (operation == "chat_line") {
    words = {"say", "hello there"};
  } else if (operation == "join_count" || operation == "join_strength") {
    slot = 25;  // the first of the ready room
    words = {"jointeamtwo"};
  } else if (eventeams) {
    shape = Shape::AllReadyRoomEqualValues;
    slot = 1;
    words = {"say", "/eventeams"};
    expected = MRES_SUPERCEDE;
  } else {
    return Fail("unknown operation " + operation);
  }

  BenchServer bench;
  std::string error;
  if (!bench.Start(shape, error)) return Fail("the plugin did not start: " + error);

  bench.Server().SetCvar("kel_autobalance", autoBalance);
  if (operation == "join_count" || operation == "join_strength") {
    // 12/12: two marines moved behind the plugin's back, so no refresh runs.
    bench.Server().SetTeamSilently(13, 2);
    bench.Server().SetTeamSilently(14, 2);
    bench.Server().SetCvar("kel_limitjoin", operation == "join_count" ? "1" : "2");
  }
  if (arms) {
    for (long i = 0; i <= calls; ++i) {
      // The count starts again at 1.0; the teams stay uneven, so the frame
      // at 31 s arms the move every time.
      bench.Server().ChangeMap("map_one", kelsim::MapChange::KeepTeams);
      bench.Server().SetTime(31.0f);
      bench.StartFrameHook();
      const std::vector<std::string>& log = bench.Server().LogLines();
      if (log.empty() || log.back().rfind("World triggered \"kel_autobalance\"", 0) != 0)
        return Fail("autobalance did not arm");
      bench.Reset();
    }
  } else if (frame) {
    for (long i = 0; i <= calls; ++i) bench.StartFrameHook();
    if (!bench.Server().Events().empty()) return Fail("the frame did something");
  } else {
    bench.SetCommandWords(words);
    // The join passes: the check is measured, not the refusal's alert and
    // log line.
    for (long i = 0; i <= calls; ++i) {
      if (eventeams) bench.Server().SeedRandom(static_cast<unsigned>(i));
      if (bench.ClientCommandHook(slot) != expected) return Fail("unexpected hook result");
      if (eventeams) {
        // 32 join commands sent: the run went through.
        if (bench.Server().Client(1).commands.size() != 1) return Fail("eventeams placed nobody");
        bench.Reset();
      }
    }
  }
  if (!bench.Server().HostErrors().empty() || bench.Server().Fatal())
    return Fail("the host saw a fault");
  std::printf("%s: %ld calls after one warm-up call\n", operation.c_str(), calls);
  return 0;
}
