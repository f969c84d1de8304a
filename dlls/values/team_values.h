// The `stv` report of both teams' strength.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "commands/command_caller.h"
#include "rated_player.h"

void ShowTeamValues(const CommandCaller& caller);
