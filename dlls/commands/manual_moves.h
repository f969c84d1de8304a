// showlast, movelast and rrr.
#pragma once

#include "command_caller.h"

void ShowLastJoiners(const CommandCaller& caller);
void MoveLastJoiner(const CommandCaller& caller);
void EmptyReadyRoom(const CommandCaller& caller);
