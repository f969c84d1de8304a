// The plugin as the server runs it: the real library of this build loaded
// into the simulated server, 32 players connected, each hook called the way
// the plugin manager calls it.  The simulated engine's side of each call (the
// command words, the messages the plugin sends) is included, as the real
// engine's would be; the game's own handling of a command is not.
//
// What the plugin makes the host do (client commands it sends, messages) is
// dropped every kResetEvery iterations with the timer paused, and the client
// commands are never run: every iteration meets the same teams.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_server.h"

namespace {

using kel_bench::BenchServer;
using kel_bench::Shape;

constexpr int64_t kResetEvery = 64;

std::unique_ptr<BenchServer> StartServer(benchmark::State& state, Shape shape) {
  auto bench = std::make_unique<BenchServer>();
  std::string error;
  if (!bench->Start(shape, error)) {
    state.SkipWithError(("the plugin did not start: " + error).c_str());
    return nullptr;
  }
  return bench;
}

// Runs `words` from `slot` through pfnClientCommand; `supersede` says
// whether the plugin must take the command (it is one of its own).  What the
// plugin made the host do is forgotten every `resetEvery` runs (outside the
// timing): a command that prints on the player's console must be reset
// after every run, as a server's frames would, or the client's reliable
// channel would overflow.
void RunCommand(benchmark::State& state, Shape shape, int slot,
                const std::vector<std::string>& words, bool supersede,
                int64_t resetEvery = kResetEvery) {
  std::unique_ptr<BenchServer> bench = StartServer(state, shape);
  if (!bench) return;
  bench->SetCommandWords(words);
  const META_RES expected = supersede ? MRES_SUPERCEDE : MRES_IGNORED;
  if (bench->ClientCommandHook(slot) != expected) {
    state.SkipWithError("the plugin did not answer the command as expected");
    return;
  }
  bench->Reset();
  int64_t done = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bench->ClientCommandHook(slot));
    if (++done % resetEvery == 0) {
      state.PauseTiming();
      bench->Reset();
      state.ResumeTiming();
    }
  }
  if (!bench->Server().HostErrors().empty() || bench->Server().Fatal())
    state.SkipWithError("the host saw a fault");
}

// ---- client commands that are no plugin command -------------------------
void BM_Hook_ClientCommand_GameCommand(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 5, {"weapon_knife"}, false);
}
void BM_Hook_ClientCommand_ChatLine(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 5, {"say", "hello there"}, false);
}
// A player without the rights: the gate runs, the line goes on to the game.
void BM_Hook_ClientCommand_KelNoOperator(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 5, {"say", "/kel"}, false);
}
BENCHMARK(BM_Hook_ClientCommand_GameCommand);
BENCHMARK(BM_Hook_ClientCommand_ChatLine);
BENCHMARK(BM_Hook_ClientCommand_KelNoOperator);

// ---- each plugin command, said by the operator, 32 players ---------------
// Uneven: 14 marines (the operator among them), 10 aliens, 8 in the ready
// room, so kel arms, movelast moves, rrr and eventeams have players to place.
void BM_Hook_Command_Kel(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 1, {"say", "/kel"}, true);
}
void BM_Hook_Command_ShowLast(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 1, {"say", "/showlast"}, true);
}
void BM_Hook_Command_MoveLast(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 1, {"say", "/movelast"}, true);
}
void BM_Hook_Command_Rrr(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 1, {"say", "/rrr"}, true);
}
void BM_Hook_Command_Stv(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 1, {"say", "/stv"}, true, 1);
}
void BM_Hook_Command_EvenTeams(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 1, {"say", "/eventeams"}, true);
}
void BM_Hook_Command_KelHelp(benchmark::State& state) {
  RunCommand(state, Shape::Uneven, 1, {"say", "/kel_help"}, true);
}
BENCHMARK(BM_Hook_Command_Kel);
BENCHMARK(BM_Hook_Command_ShowLast);
BENCHMARK(BM_Hook_Command_MoveLast);
BENCHMARK(BM_Hook_Command_Rrr);
BENCHMARK(BM_Hook_Command_Stv);
BENCHMARK(BM_Hook_Command_EvenTeams);
BENCHMARK(BM_Hook_Command_KelHelp);

// ---- the worst shapes of stv and eventeams -------------------------------
// stv: all 32 on the teams with values of up to eleven characters, the
// longest report (cut for the HUD).
void BM_Hook_Command_Stv_AllOnTeams(benchmark::State& state) {
  RunCommand(state, Shape::AllOnTeams, 1, {"say", "/stv"}, true, 1);
}
// eventeams: all 32 waiting, with spread values, and with equal values (the
// worst: every run searches to the step limit over the full pool).
void BM_Hook_Command_EvenTeams_AllReadyRoom(benchmark::State& state) {
  RunCommand(state, Shape::AllReadyRoom, 1, {"say", "/eventeams"}, true);
}
void BM_Hook_Command_EvenTeams_AllReadyRoomEqualValues(benchmark::State& state) {
  RunCommand(state, Shape::AllReadyRoomEqualValues, 1, {"say", "/eventeams"}, true);
}
BENCHMARK(BM_Hook_Command_Stv_AllOnTeams);
BENCHMARK(BM_Hook_Command_EvenTeams_AllReadyRoom);
BENCHMARK(BM_Hook_Command_EvenTeams_AllReadyRoomEqualValues);

// ---- the frame hook, 32 players -------------------------------------------
void BM_Hook_StartFrame_Idle(benchmark::State& state) {
  std::unique_ptr<BenchServer> bench = StartServer(state, Shape::Balanced);
  if (!bench) return;
  for (auto _ : state) bench->StartFrameHook();
}
BENCHMARK(BM_Hook_StartFrame_Idle);

// A notice pending: the teams went uneven a moment ago (17 marines, 15
// aliens); every frame checks the time and waits.
void BM_Hook_StartFrame_NoticePending(benchmark::State& state) {
  std::unique_ptr<BenchServer> bench = StartServer(state, Shape::Balanced);
  if (!bench) return;
  bench->Server().SetTeam(17, kel_bench::kMarines);
  for (auto _ : state) bench->StartFrameHook();
  if (!bench->Server().Client(1).hud.empty()) state.SkipWithError("the notice fired");
}
BENCHMARK(BM_Hook_StartFrame_NoticePending);

// Armed: `kel` is pending on uneven teams; every frame scans the 32 slots
// for a marine who died (none has).
void BM_Hook_StartFrame_Armed(benchmark::State& state) {
  std::unique_ptr<BenchServer> bench = StartServer(state, Shape::Uneven);
  if (!bench) return;
  bench->SetCommandWords({"say", "/kel"});
  bench->ClientCommandHook(1);
  bench->Reset();
  for (auto _ : state) bench->StartFrameHook();
  if (!bench->Server().ConsoleLines().empty() || bench->Server().Client(2).chat.size() != 0)
    state.SkipWithError("the armed scan moved someone");
}
BENCHMARK(BM_Hook_StartFrame_Armed);

// ---- map start with a 1,000,000-line values file --------------------------
// The same file as BM_BaselineGetlineMapLoad's (same generator and seed),
// placed beside the plugin, loaded by the map start of pfnSpawn(worldspawn).
void BM_Hook_MapStart_Values1M(benchmark::State& state) {
  std::unique_ptr<BenchServer> bench = StartServer(state, Shape::Balanced);
  if (!bench) return;
  {
    const std::string path = bench->Server().PluginDirectory() + "/player_values.txt";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
      state.SkipWithError("cannot write the values file");
      return;
    }
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> account(0, 99999999);
    std::uniform_int_distribution<int> value(0, 3000);
    for (int i = 0; i < 1000000; ++i) {
      std::fprintf(out, "STEAM_0:%d:%d,%d\n", static_cast<int>(rng() & 1), account(rng),
                   value(rng));
    }
    if (std::fclose(out) != 0) {
      state.SkipWithError("cannot write the values file");
      return;
    }
  }
  // The plugin's map start alone: the players stay where they are instead of
  // rejoining through the connection hooks.
  for (auto _ : state) bench->Server().ChangeMap("map_one", kelsim::MapChange::KeepTeams);
  // The values must have loaded: stv answers with a report, not a refusal.
  bench->Reset();
  bench->SetCommandWords({"say", "/stv"});
  bench->ClientCommandHook(1);
  const auto& hud = bench->Server().Client(1).hud;
  if (hud.empty() || hud.back().text.find("not loaded") != std::string::npos)
    state.SkipWithError("the values file did not load");
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_Hook_MapStart_Values1M)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
