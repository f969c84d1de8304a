#include "roster.h"

// Filled by the roster work; empty for now.
TeamId TeamIdFromField(int field) { return field >= -2 && field <= 2 ? field : kNoTeam; }
void RecordTeamChange(edict_t*) {}
void ResetRoster() {}
RosterEntry LastJoiner(TeamId) { return {}; }
GameObject* PlayerAtSlot(int) { return nullptr; }
GameObject* FindPlayerByName(const std::string&) { return nullptr; }
TeamId PlayerTeam(edict_t*) { return kNoTeam; }
std::string PlayerName(edict_t*) { return {}; }
int TeamHeadcount(int) { return 0; }
