// The real plugin library (this build's, Release) loaded into the simulated
// server with a full server of 32 players, for the hook benchmarks and the
// callgrind driver.  The hooks are called the way the plugin manager calls
// them: mres reset to unset, then the plugin's own entry from the table it
// handed over.  The simulated engine answers the plugin's calls, so its side
// (the command words, the messages) is part of every figure, as the real
// engine's would be.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sim_server.h"
#include "sim_state.h"

namespace kel_bench {

inline constexpr int kSlots = 32;
inline constexpr int kReadyRoom = 0;
inline constexpr int kMarines = 1;
inline constexpr int kAliens = 2;

// Where the 32 players stand.  Slot 1 is always the operator, a marine
// (except in AllReadyRoom).
enum class Shape {
  Balanced,      // 16 marines, 16 aliens: nothing pending
  Uneven,        // 14 marines, 10 aliens, 8 in the ready room
  AllOnTeams,    // 16/16 with values of every width: the longest stv report
  AllReadyRoom,  // everyone waiting, values spread
  // Everyone waiting, every value the same: no split is ever accepted
  // early, so every eventeams run makes the most search steps over the
  // largest pool (its worst shape, as the logic benchmarks show).
  AllReadyRoomEqualValues,
};

inline int TeamOf(Shape shape, int slot) {
  switch (shape) {
    case Shape::Balanced:
    case Shape::AllOnTeams:
      return slot <= 16 ? kMarines : kAliens;
    case Shape::Uneven:
      return slot <= 14 ? kMarines : slot <= 24 ? kAliens : kReadyRoom;
    case Shape::AllReadyRoom:
    case Shape::AllReadyRoomEqualValues:
      return kReadyRoom;
  }
  return kReadyRoom;
}

inline std::string AuthIdOf(int slot) { return "STEAM_0:1:" + std::to_string(1000003 * slot); }

// 31 characters, the longest name the engine keeps.
inline std::string NameOf(int slot) {
  char name[32];
  std::snprintf(name, sizeof name, "[clan] a rather long name no%03d", slot);
  return name;
}

// Spread values of up to eleven characters (so the widest report columns),
// distinct enough that no split of the pool is exactly even.
inline int ValueOf(int slot) {
  const long long v = (2654435761LL * slot) % 2000000000LL;
  return static_cast<int>(slot % 3 == 0 ? -v : v);
}

class BenchServer {
 public:
  BenchServer() : server_(kSlots) {}

  // Loads the plugin, writes the values file of the 32 players, starts a
  // map (which loads it) and brings everyone in.  False (with `error`) when
  // the plugin does not load.
  bool Start(Shape shape, std::string& error) {
    if (!server_.Load(KEL_PLUGIN_PATH)) {
      error = server_.LoadError();
      return false;
    }
    {
      std::ofstream values(server_.PluginDirectory() + "/player_values.txt", std::ios::binary);
      for (int slot = 1; slot <= kSlots; ++slot)
        values << AuthIdOf(slot) << ','
               << (shape == Shape::AllReadyRoomEqualValues ? 1000 : ValueOf(slot)) << '\n';
    }
    server_.ChangeMap();
    server_.SetCvar("mp_serverops", AuthIdOf(1));
    for (int slot = 1; slot <= kSlots; ++slot) {
      const int placed = server_.Connect(NameOf(slot), AuthIdOf(slot));
      if (placed != slot) {
        error = "could not connect slot " + std::to_string(slot);
        return false;
      }
      if (TeamOf(shape, slot) != kReadyRoom) server_.SetTeam(slot, TeamOf(shape, slot));
    }
    // Past the notice delay, so that a pending notice fires and the
    // frame hook is idle again (Balanced/AllOnTeams never raise one).
    server_.SetTime(100.0f);
    server_.Frame();
    Reset();
    return server_.HostErrors().empty() && !server_.Fatal();
  }

  // The words the engine hands the plugin for the command being run.
  void SetCommandWords(const std::vector<std::string>& words) {
    kelsim::detail::g_state->argStack.assign(1, words);
  }

  // pfnClientCommand from `slot` with the words set above.  The game's own
  // handling of the command is not run.
  META_RES ClientCommandHook(int slot) {
    server_.MetaGlobals().mres = MRES_UNSET;
    server_.GameHooks().pfnClientCommand(server_.Edict(slot));
    return server_.MetaGlobals().mres;
  }

  void StartFrameHook() {
    server_.MetaGlobals().mres = MRES_UNSET;
    server_.GameHooks().pfnStartFrame();
  }

  // Forgets what the plugin made the host do: the client commands it sent
  // (never run, so the teams stay as they are) and everything recorded.
  void Reset() {
    kelsim::detail::g_state->clientCommandQueue.clear();
    kelsim::detail::g_state->FlushReliable();  // as a frame's end does
    server_.ClearObservations();
  }

  kelsim::SimServer& Server() { return server_; }

 private:
  kelsim::SimServer server_;
};

}  // namespace kel_bench
