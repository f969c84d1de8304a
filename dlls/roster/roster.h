// Who is on the server: the roster of team changes and the live queries over
// the engine's player slots.
#pragma once

#include <string>

#include "host_api.h"

// A team number as the game keeps it in a player's entity variables.
using TeamId = int;
inline constexpr TeamId kNoTeam = -1;
inline constexpr TeamId kReadyRoom = 0;
inline constexpr TeamId kMarines = 1;
inline constexpr TeamId kAliens = 2;

// Per-slot tables hold entries 0..32; entry 0 belongs to no player.
inline constexpr int kSlotTableSize = 33;
inline constexpr int kMaxRosterSlot = kSlotTableSize - 1;

// -2..2 as they are; anything else reads as kNoTeam.
TeamId TeamIdFromField(int field);

struct RosterEntry {
  std::string name;  // net name when `team` was recorded
  TeamId team = kNoTeam;
  float joinTime = 0.0f;  // host time when `team` was recorded
};

// Records the player's team with name and host time when it differs from the
// recorded one.  Absent, free or object-less entities and slots outside
// 1..32 are ignored.
void RecordTeamChange(edict_t* entity);
// Sets every entry (0 included) back to its defaults.
void ResetRoster();
// The entry of the player who most recently joined `team` and is still on it
// under the recorded name; the empty entry when there is none.
RosterEntry LastJoiner(TeamId team);

// Live queries: they read the engine's data now and keep nothing.
GameObject* PlayerAtSlot(int slot);
GameObject* FindPlayerByName(const std::string& name);
TeamId PlayerTeam(edict_t* entity);
std::string PlayerName(edict_t* entity);
int TeamHeadcount(int team);
