// Who is a server operator: the players whose authentication id stands whole
// in mp_serverops.
#pragma once

#include <string_view>

struct edict_t;

// True when the player's authentication id stands whole in mp_serverops
// (see ServerOpsListHoldsId), read afresh at every test.  A player without
// an id is never an operator.
bool IsServerOperator(edict_t* entity);

// True when `id` occurs in `list` with neither neighbour a character that can
// belong to an id (ASCII letter, digit, '_' or ':'): "STEAM_0:1:12" is not in
// "STEAM_0:1:123456", but is in "STEAM_0:0:7, STEAM_0:1:12;x".  An empty id
// is never held.
bool ServerOpsListHoldsId(std::string_view list, std::string_view id);
