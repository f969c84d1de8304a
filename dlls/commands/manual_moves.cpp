#include "manual_moves.h"

// Filled by the manual-moves work.
void ShowLastJoiners(const CommandCaller&) {}
void MoveLastJoiner(const CommandCaller&) {}
void EmptyReadyRoom(const CommandCaller&) {}
