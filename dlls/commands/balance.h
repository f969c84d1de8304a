// The balance rule, operator notices about a lasting imbalance, and the
// death-time move armed by `kel`.
#pragma once

#include "command_caller.h"
#include "roster/roster.h"

// -1 even, 1 too many marines, 2 too many aliens.
inline constexpr int kBalanced = -1;

int ComputeBalance();
void RefreshBalance();
void SnapshotAlive();
void DeathMoveScan();
void ArmDeathMove(const CommandCaller& caller);

// The pfnStartFrame work: the notice check, then the scan while armed.
void BalanceStartFrame();
// Map start: every AliveSeen set, the move disarmed, the handicap team read
// from kel_handicapteam.
void BalanceMapStart();

// Read-only views for the manual moves and for tests.
int BalanceState();
int HandicapTeam();
bool DeathMoveArmed();
