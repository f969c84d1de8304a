// Calls one of the plugin's hooks a given number of times, for instruction
// counts under callgrind (see tools/bench --callgrind, which explains the
// method):
//
//   kel_callgrind_driver OPERATION CALLS
//
//   idle_frame      pfnStartFrame with nothing pending, 16 marines, 16 aliens
//   game_command    pfnClientCommand "weapon_knife" from a player
//   chat_line       pfnClientCommand "say" "hello there" from a player
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

  const bool frame = operation == "idle_frame";
  const bool eventeams = operation == "eventeams_worst";
  Shape shape = Shape::Uneven;
  int slot = 5;
  META_RES expected = MRES_IGNORED;
  std::vector<std::string> words;
  if (frame) {
    shape = Shape::Balanced;
  } else if (operation == "game_command") {
    words = {"weapon_knife"};
  } else if (operation == "chat_line") {
    words = {"say", "hello there"};
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

  if (frame) {
    for (long i = 0; i <= calls; ++i) bench.StartFrameHook();
    if (!bench.Server().Events().empty()) return Fail("the idle frame did something");
  } else {
    bench.SetCommandWords(words);
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
