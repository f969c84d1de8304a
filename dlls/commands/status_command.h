// kel_status: the plugin's state at a glance, for an operator.
#pragma once

#include "reply.h"

// The action of `kel_status`: read-only.  Answers the caller with a report
// of the team counts and what the balance rule makes of them; whether the
// death-time move is armed and for how long; kel_autobalance and how long
// the side ahead has been ahead; kel_immunity; kel_move_cooldown and the
// players it holds back with the seconds left; kel_limitjoin; the values
// file's last load line and how long ago it was made; the eventeams search;
// the version.  A player gets it as the stv report comes (on his screen, and
// whole on his client console).
void ShowStatusCommand(const CommandCaller& caller);
