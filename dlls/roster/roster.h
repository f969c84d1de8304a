// Who is on the server: the roster of team changes and the live queries over
// the engine's player slots.
#pragma once

#include <string>

struct edict_t;

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

// Records the player's team with his current net name and the host time when
// it differs from the recorded team; a user-information change that leaves
// the team as recorded changes nothing, not even the name.  Absent, free or
// object-less entities and entity indexes outside 1..32 are ignored.  Team
// fields outside -2..2 are recorded as kNoTeam.
void RecordTeamChange(edict_t* entity);
// Sets every entry (0 included) back to its defaults.
void ResetRoster();
// The team recorded for `slot`: kNoTeam for a slot outside 1..32 and for
// one nothing was recorded for since the map start.
TeamId RecordedTeam(int slot);
// The entry of the player who most recently joined `team` and is still on
// it: the latest recorded time among entries of `team` whose name a present
// player carries who is on `team` now.  Equal times resolve to the higher
// slot.  Slots above 32 are not considered.  The empty entry (name "", team
// kNoTeam, time 0) when there is none.
RosterEntry LastJoiner(TeamId team);
// The same, passing over every entry whose present player `passOver` says
// to leave alone (the entry before him on that team may then be given).
RosterEntry LastJoiner(TeamId team, bool (*passOver)(edict_t* player));

// Live queries: they read the engine's data now, keep nothing, and run over
// the engine's slots 1..maxClients.  A player is an edict in use that the
// game has set up (it has its game object).
// The player of slot `slot`; null outside 1..maxClients, for an absent or
// free entity, or when the game has not set the player up.
edict_t* PlayerAtSlot(int slot);
// The player of the first slot from 1 up whose net name equals `name`
// exactly (case-sensitive, whole text); null when none does.
edict_t* FindPlayerByName(const std::string& name);
// The player's team field read through TeamIdFromField; kNoTeam when the
// entity has no game object.
TeamId PlayerTeam(edict_t* entity);
// The player's net name; "" when the entity is absent or free.
std::string PlayerName(edict_t* entity);
// The number of players whose raw team field equals `team`:
// TeamHeadcount(7) counts a player whom PlayerTeam reads as kNoTeam.  Dead,
// nameless and dying players count.
int TeamHeadcount(int team);
