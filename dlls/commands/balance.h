// The balance rule, operator notices about a lasting imbalance, and the
// death-time move armed by `kel`.
//
// All state here lives as long as the library and is touched only on the
// server thread, inside host callbacks.
#pragma once

#include "command_caller.h"
#include "roster/roster.h"

// -1 even, 1 too many marines, 2 too many aliens.
inline constexpr int kBalanced = -1;

// The balance rule over plain headcounts: the handicap team (1, 2, or any
// other value for none) counts one extra player; a difference below 2 either
// way is even (kBalanced), otherwise the larger side's team number.
int BalanceRule(int marines, int aliens, int handicapTeam);
// kel_handicapteam's text as a team: exactly "marines" 1, exactly "aliens" 2,
// anything else (other case, blanks, null) -1.
int HandicapTeamFromText(const char* text);

// BalanceRule over the live headcounts and the current HandicapTeam.
int ComputeBalance();
// Stores ComputeBalance() as BalanceState.  Going from even to uneven sets
// the pending notice and stamps ImbalanceSince; going from uneven to even
// clears the pending notice and disarms the death-time move.
void RefreshBalance();
// RefreshBalance for the pfnClientDisconnect hook.  The hook runs before the
// engine lets the player go, while he still stands in his slot on his team,
// so he is left out of the count: the refresh then sees the teams as they are
// once he has left (and so disarms or raises a notice when his leaving evens
// or unbalances them).
void RefreshBalanceOnDisconnect(edict_t* leaving);
// Records, for every present player in slots 1..32, whether he is alive now.
void SnapshotAlive();
// One pass, highest slot first: every player of the larger team who has died
// since he was last seen alive is sent to the ready room, each after a
// refresh of his own; ends early once a refresh finds the teams even.  Slots
// above 32 have no AliveSeen entry and are skipped.
void DeathMoveScan();
// The `kel` command: refreshes, arms the move, snapshots who is alive, and
// answers the caller ("Teams are balanced!" disarms again) and, when uneven,
// announces the move to every player.
void ArmDeathMove(const CommandCaller& caller);

// The pfnStartFrame work: the notice check, then the scan while armed.
// While nothing is pending or armed it costs two flag tests.
void BalanceStartFrame();
// Map start: every AliveSeen set, the move disarmed, the handicap team read
// from kel_handicapteam.  BalanceState and the notice timing carry over.
void BalanceMapStart();

// Read-only views for the manual moves and for tests.
int BalanceState();
int HandicapTeam();
bool DeathMoveArmed();
