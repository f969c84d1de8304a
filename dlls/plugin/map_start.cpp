// The one reset point: run at attach and at every world spawn.
#include "commands/balance.h"
#include "host_api.h"
#include "plugin_shell.h"
#include "roster/roster.h"
#include "values/player_values.h"

void MapStart() {
  HostApi::SetCvarString("mm_kel_version", "1.01e");
  ResetRoster();
  BalanceMapStart();  // AliveSeen, DeathMoveArmed, HandicapTeam
  PlayerValues::Instance().Reload(PlayerValuesPath());
}
