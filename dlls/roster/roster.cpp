#include "roster.h"

#include <algorithm>
#include <array>

#include "host_api.h"

namespace {

// Entry 0 belongs to no player; only ResetRoster touches it.
std::array<RosterEntry, kSlotTableSize> g_roster{};

// The table has room for slots 1..32.  The engine's own ceiling is 32 clients,
// but its maxClients is host data: a higher value must not take the roster
// outside its table, so such slots are simply not recorded or considered.
bool IsRosterSlot(int slot) { return slot >= 1 && slot <= kMaxRosterSlot; }

}  // namespace

TeamId TeamIdFromField(int field) { return field >= -2 && field <= 2 ? field : kNoTeam; }

void RecordTeamChange(edict_t* entity) {
  if (HostApi::IsFree(entity) || !HostApi::HasGameObject(entity)) return;
  const TeamId team = TeamIdFromField(HostApi::Team(HostApi::PlayerVars(entity)));
  const int slot = HostApi::IndexOfEdict(entity);
  if (!IsRosterSlot(slot)) return;

  RosterEntry& entry = g_roster[static_cast<std::size_t>(slot)];
  if (entry.team == team) return;  // a name or model change: nothing changes
  // The name is the one the host holds now; during this hook a simultaneous
  // rename has not reached netname yet, so the entry keeps the old name.
  entry.name = PlayerName(entity);
  entry.team = team;
  entry.joinTime = HostApi::Time();
}

void ResetRoster() {
  for (RosterEntry& entry : g_roster) {
    entry.name.clear();  // keeps its capacity: a map start allocates nothing
    entry.team = kNoTeam;
    entry.joinTime = 0.0f;
  }
}

TeamId RecordedTeam(int slot) {
  return IsRosterSlot(slot) ? g_roster[static_cast<std::size_t>(slot)].team : kNoTeam;
}

RosterEntry LastJoiner(TeamId team) { return LastJoiner(team, nullptr); }

RosterEntry LastJoiner(TeamId team, bool (*passOver)(edict_t* player)) {
  float bestTime = -1.0f;
  int chosen = 0;
  // From the highest slot down, replacing only on a strictly later time, so
  // equal times resolve to the higher slot.
  for (int slot = std::min(HostApi::MaxClients(), kMaxRosterSlot); slot >= 1; --slot) {
    const RosterEntry& entry = g_roster[static_cast<std::size_t>(slot)];
    if (entry.team != team || !(entry.joinTime > bestTime)) continue;
    // The entry may describe someone who left or was renamed since: it
    // counts only while a present player with that name is on that team.
    edict_t* player = FindPlayerByName(entry.name);
    if (!player || HostApi::Team(HostApi::PlayerVars(player)) != team) continue;
    if (passOver != nullptr && passOver(player)) continue;
    chosen = slot;
    bestTime = entry.joinTime;
  }
  if (chosen == 0) return RosterEntry{};
  return g_roster[static_cast<std::size_t>(chosen)];
}

edict_t* PlayerAtSlot(int slot) {
  if (slot < 1 || slot > HostApi::MaxClients()) return nullptr;
  edict_t* entity = HostApi::EntityOfIndex(slot);
  if (HostApi::IsFree(entity) || !HostApi::HasGameObject(entity)) return nullptr;
  return entity;
}

edict_t* FindPlayerByName(const std::string& name) {
  edict_t* found = nullptr;
  HostApi::ForEachClientSlot([&](int /*slot*/, edict_t* entity) {
    entvars_t* vars = HostApi::PlayerVars(entity);
    // Compares lengths too: a name holding a NUL byte matches no one.
    if (vars && name == HostApi::NetName(vars)) found = entity;
    return found == nullptr;
  });
  return found;
}

TeamId PlayerTeam(edict_t* entity) {
  entvars_t* vars = HostApi::PlayerVars(entity);
  if (!vars) return kNoTeam;
  return TeamIdFromField(HostApi::Team(vars));
}

std::string PlayerName(edict_t* entity) {
  if (HostApi::IsFree(entity)) return std::string();  // absent or free
  return HostApi::NetName(HostApi::EdictVars(entity));
}

int TeamHeadcount(int team) {
  int count = 0;
  HostApi::ForEachClientSlot([&](int /*slot*/, edict_t* entity) {
    entvars_t* vars = HostApi::PlayerVars(entity);
    if (vars && HostApi::Team(vars) == team) ++count;
  });
  return count;
}
