// The one reset point: run at attach and at every world spawn.  Each part
// of the plugin's state is reset here, in this order.
#include "balance_watch.h"
#include "cvar_reading.h"
#include "host_api.h"
#include "join_limit.h"
#include "player_values.h"
#include "plugin_shell.h"
#include "reply.h"
#include "roster.h"
#include "server_output.h"
#include "skill_commands.h"
#include "slot_values.h"
#include "team_orders.h"

void MapStart() {
  HostApi::SetCvarString(Cvar::Version, kPluginVersion);  // a changed value is put back
  ResetRoster();
  TheTeamOrders().Clear();  // the engine drops the commands it had not yet sent
  // AliveSeen, the death-time move, the handicap team; the balance state and
  // the notice timing carry over.
  TheBalanceWatch().MapStart(HandicapFromText(HostApi::CvarString(Cvar::HandicapTeam)));
  ResetCvarNotices();  // a variable that does not read is told of again
  TellNumberCvarsThatDoNotRead();
  JoinLimitMapStart();
  ResetConsoleCopies();
  TheSlotValues().ForgetAll();  // kept for the connections of the map before
  // The operator learns at every map start whether his file loaded.
  (void)LoadPlayerValues();
}
