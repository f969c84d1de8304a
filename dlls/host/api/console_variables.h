// Every console variable the plugin registers or reads, in one table.
//
// Adding a variable is one row here: the plugin shell registers the rows
// marked as the plugin's own, in this order, at GiveFnptrsToDll, and the
// code reads and sets variables by their Cvar name, never by a text.  The
// range and comment columns are for operators: the example server.cfg in
// the release (examples/kel.example.cfg) is written from them.
#pragma once

#include <cstddef>
#include <iterator>

#include "plugin_version.h"

enum class Cvar {
  Version,           // mm_kel_version: the plugin's version, set back at every map start
  HandicapTeam,      // kel_handicapteam: "marines" or "aliens" count one extra player
  PlayerValuesFile,  // kel_playervaluesfile: the values file, beside the library
  AutoBalance,       // kel_autobalance: seconds one side stays ahead before the move arms; 0 off
  Immunity,          // kel_immunity: above 0, operators are never sent at death
  MoveCooldown,      // kel_move_cooldown: seconds a moved player is not moved again
  EvenTeamsSearch,   // kel_eventeams_search: "quick" or "best" placement by eventeams
  LimitJoin,         // kel_limitjoin: 1 refuses joins by count, 2 by count then strength; 0 off
  ServerOps,         // mp_serverops: the operators' ids (the server's own)
  DisableNotice,     // qvd_disable_notice: above 0, no chat notices (the server's own)
};

// How the plugin registers a variable; the flag values are the engine's
// (FCVAR_SERVER 4, FCVAR_PROTECTED 32).
enum class CvarRegistration : int {
  NotOurs = -1,  // the server's own: read, never registered
  Plain = 0,
  Server = 4,     // shown to server browsers
  Protected = 32  // its value is not shown to clients
};

struct ConsoleVariable {
  const char* name;
  const char* defaultValue;  // registered with, or read when the server has none
  Cvar id;
  CvarRegistration registration;
  const char* range;    // the values it takes, for operators
  const char* comment;  // what it does, in one line
};

inline constexpr ConsoleVariable kConsoleVariables[] = {
    {"mm_kel_version", kPluginVersion, Cvar::Version, CvarRegistration::Server,
     "read-only: set back at every map start", "the plugin's version, shown to server browsers"},
    {"kel_handicapteam", "none", Cvar::HandicapTeam, CvarRegistration::Protected,
     "none, marines or aliens (lower case, any other text is none)",
     "that team counts one extra player when balance is judged (read at map start)"},
    {"kel_playervaluesfile", "player_values.txt", Cvar::PlayerValuesFile,
     CvarRegistration::Protected, "a path relative to addons/kel/dlls/, with forward slashes",
     "the player values file that stv and eventeams read (read at map start)"},
    {"kel_autobalance", "0", Cvar::AutoBalance, CvarRegistration::Plain,
     "0 (off) or seconds above 0 (a text that is no number, such as 2m, is 0)",
     "once one team has had too many players that long, the plugin arms kel itself"},
    {"kel_immunity", "0", Cvar::Immunity, CvarRegistration::Plain,
     "0 (off) or 1 (a text that is no number, such as yes, is 0)",
     "1: operators are never moved at death or by movelast, and rrr leaves them waiting"},
    {"kel_move_cooldown", "0", Cvar::MoveCooldown, CvarRegistration::Plain,
     "0 (off) or seconds above 0 (a text that is no number, such as 5m, is 0)",
     "a player moved at death or by movelast is not moved by either again for that long"},
    {"kel_eventeams_search", "quick", Cvar::EvenTeamsSearch, CvarRegistration::Plain,
     "quick or best (any other text is quick)",
     "how eventeams places the waiting players: a bounded random search or the exact best"},
    {"kel_limitjoin", "0", Cvar::LimitJoin, CvarRegistration::Plain,
     "0 (off), 1 or 2 (the whole text one number, else off)",
     "1: a join that puts a team two ahead is refused, 2: also one to the stronger team"},
    {"mp_serverops", "", Cvar::ServerOps, CvarRegistration::NotOurs,
     "authentication ids separated by commas or blanks",
     "the operators, who may use kel, movelast, rrr and eventeams"},
    {"qvd_disable_notice", "0", Cvar::DisableNotice, CvarRegistration::NotOurs,
     "0 (notices on) or 1 (any number above 0 is off)", "switches off the chat notices to players"},
};
inline constexpr std::size_t kConsoleVariableCount = std::size(kConsoleVariables);

// The row of `id`.
constexpr const ConsoleVariable& ConsoleVariableOf(Cvar id) {
  return kConsoleVariables[static_cast<std::size_t>(id)];
}

// The table is indexed by Cvar: each row stands at its own id's place.
constexpr bool RowsStandAtTheirIds() {
  for (std::size_t i = 0; i < kConsoleVariableCount; ++i) {
    if (static_cast<std::size_t>(kConsoleVariables[i].id) != i) return false;
  }
  return true;
}
static_assert(RowsStandAtTheirIds(), "kConsoleVariables rows must follow the order of Cvar");
