// `eventeams`: places the ready-room players for even summed skill.
#pragma once

#include "commands/command_caller.h"
#include "rated_player.h"

void AssignEvenTeams(const CommandCaller& caller);
