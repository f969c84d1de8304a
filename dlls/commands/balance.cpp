#include "balance.h"

// Filled by the balance work; inert for now.
int ComputeBalance() { return kBalanced; }
void RefreshBalance() {}
void SnapshotAlive() {}
void DeathMoveScan() {}
void ArmDeathMove(const CommandCaller&) {}
void BalanceStartFrame() {}
void BalanceMapStart() {}
int BalanceState() { return kBalanced; }
int HandicapTeam() { return 0; }
bool DeathMoveArmed() { return false; }
