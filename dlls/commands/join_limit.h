// kel_limitjoin: joins that would unbalance the teams are refused at the
// door, rather than repaired by moves afterwards.  Opt-in; off by default.
//
// A player's own "jointeamone" or "jointeamtwo" is judged before the game
// sees it; a team change the game makes without a command (a map trigger)
// is judged after the fact, and a refused one is sent back to the ready
// room.  Joins the plugin itself ordered (eventeams, rrr, its moves),
// readyroom and autoassign, a join to the team he is on, bots and, under
// kel_immunity, operators always pass.
#pragma once

#include <cstdint>

#include "balance_watch.h"
#include "roster.h"

struct edict_t;

// kel_limitjoin's settings.
enum class JoinLimit : int8_t {
  Off,
  Count,     // 1: the team asked for may not end up ahead by the balance rule
  Strength,  // 2: as Count, then the stronger team by summed values is refused
};

// kel_limitjoin's text as a setting: the whole text one number, 0, 1 or 2,
// in plain decimal ("1", "2.0", "+2"; blanks around it allowed); anything
// else ("2m", "3", "", "0x1") is Off and `valid` is set false.
JoinLimit JoinLimitFromText(const char* text, bool& valid);

// Why a join is refused, or that it is not.
enum class JoinVerdict : int8_t {
  Allowed,
  MarinesTooMany,   // "Marines have too many players - join the Aliens"
  AliensTooMany,    // "Aliens have too many players - join the Marines"
  MarinesStronger,  // "Marines are stronger - join the Aliens"
  AliensStronger,   // "Aliens are stronger - join the Marines"
};

// What the rule knows of one join.  Counts and sums are of everyone else:
// the joiner is counted out of the team he is on.
struct JoinCase {
  JoinLimit limit = JoinLimit::Off;
  TeamId asked = kNoTeam;  // kMarines or kAliens
  TeamId from = kNoTeam;   // the team he is on
  int marines = 0;         // headcounts without him
  int aliens = 0;
  Handicap handicap = Handicap::None;
  // Strength: only with the values loaded; the summed values of each team
  // without him, and his own value.
  bool valuesLoaded = false;
  int64_t marineSum = 0;
  int64_t alienSum = 0;
  int64_t value = 0;
};

// The rule.  Allowed when the limit is off, the team asked for is no team
// or the one he is on.  Count: refused when, with him in the team asked
// for, the balance rule finds that team ahead.  Strength, once the count
// allows both teams: refused when the team asked for would then hold the
// larger sum while joining the other would leave a smaller gap between the
// sums.
JoinVerdict JudgeJoin(const JoinCase& join);
// The alert a refused player reads ("" for Allowed).
const char* JoinVerdictText(JoinVerdict verdict);

// The pfnClientCommand side, while kel_limitjoin reads above 0: true when
// the command being handled (word 0, ASCII case ignored) is a join the
// limit refuses; the player has then been alerted (at most once a second)
// and the refusal logged, and the caller supersedes the command.  A team
// command that passes ("readyroom", "autoassign", a join) is noted in the
// team orders, so that the team change it brings is not judged again.
bool RefuseJoinCommand(edict_t* player);
// The pfnClientUserInfoChanged side, before the roster records the change:
// a player who went from the ready room or the other team to a team
// without a command that passed or an order of the plugin is judged as if
// he had asked, and a refused one is sent back with "readyroom\n".
void JudgeTeamChange(edict_t* player);
// Map start: the alerts' times (the clock restarts) and the once-per-map
// console line about an invalid kel_limitjoin.
void JoinLimitMapStart();
