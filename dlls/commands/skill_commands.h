// stv and eventeams: the commands that rate players by the player values
// store.  Both refuse while the store is not loaded.
#pragma once

#include <string>
#include <vector>

#include "rated_player.h"
#include "reply.h"

// The action of `stv`.  With the values not loaded: the warning "kel
// warning: player values file not loaded" in the server log and "Sorry,
// player values not loaded" to the caller, nothing else.  Otherwise the
// report of the two teams through ReplyInfo (a player gets it as one
// HudInfo text, cut by the on-screen path at 487 characters, and also, whole
// or cut at a line end after 2,000 bytes, on his client console; the server
// console gets it whole).
void ShowTeamValuesCommand(const CommandCaller& caller);

// The action of `eventeams`/`eventeam`.  With the values not loaded: the
// warning "kel warning: player_values.txt file not loaded" (this wording
// whatever file kel_playervaluesfile names) and the same answer as stv.
// Otherwise, unless nobody is in the ready room (then nothing at all), the
// teams are split by the search kel_eventeams_search names (EvenTeamsSearch
// below), "jointeamone\n" and "jointeamtwo\n" go alternately down
// the two name lists (team one's first, team two's first, team one's
// second, ...) to the first present player of each name, and everyone is
// told "New teams assigned.  Say /stv for more info".  Names nobody carries
// any more are skipped.  The caller gets no answer of his own.
void AssignEvenTeamsCommand(const CommandCaller& caller);

// How eventeams places the waiting players.
enum class EvenTeamsSearch {
  // The bounded random search (EvenTeamsAssigner): the default.
  Quick,
  // The exact best placement (BestSplit): the counts as even as the players
  // already on the teams allow, then the smallest difference of the team
  // totals, ties to the placement that sends the earliest slot where two
  // placements differ to the marines.
  Best,
};
// kel_eventeams_search's text as a search: exactly "best" is Best; "quick"
// and everything else is Quick.
EvenTeamsSearch EvenTeamsSearchFromText(const char* text);

// Reads the player values file (PlayerValuesPath) into the store and writes
// the load's line to the server log (ValuesLoadLogLine); returns that line.
// The map start and `kel_reload` both load this way.
std::string LoadPlayerValues();
// The action of `kel_reload`: LoadPlayerValues now, answering with its log
// line.
void ReloadPlayerValuesCommand(const CommandCaller& caller);
// The last LoadPlayerValues' log line and the host time it was made at.
const std::string& LastValuesLoadLine();
float LastValuesLoadTime();

// The name lists of a best placement of `players` (gathered in slot order):
// team one is the current marines and the waiting players BestSplit sends
// there, team two the current aliens and the other waiting players, each in
// slot order.  Players on neither team (the ready room, teams -1 and -2)
// wait.
void PlaceBest(const std::vector<RatedPlayer>& players, std::vector<std::string>& teamOneNames,
               std::vector<std::string>& teamTwoNames);

// Walks slots 1..maxClients upward and keeps every in-use slot with a
// non-empty net name whose team `keep` accepts, asking the value store once
// per kept player with his auth id (so an unknown id gets its remembered
// default there), in slot order.
std::vector<RatedPlayer> GatherRatedPlayers(bool (*keep)(TeamId team));
