// HostApi: the plugin's one door to the engine and the plugin manager.
//
// Everything above dlls/host speaks through these calls and plain C++ types.
// Entities travel as opaque edict handles: the logic may hold and pass them,
// but only this layer looks inside.  Every text the host hands back is
// treated as hostile: the calls below never return null, copy what the host
// may rotate, and never pass a text on as a format.
#pragma once

#include <string>
#include <type_traits>

#include "console_variables.h"

struct edict_t;    // an engine entity; opaque above this layer
struct entvars_t;  // an entity's variables; opaque above this layer

namespace HostApi {

// ---- console variables (see console_variables.h) --------------------
// Current text of a console variable; "" when the engine gives none.
const char* CvarString(Cvar variable);
// Numeric value of a console variable; 0 when it is not set.
float CvarFloat(Cvar variable);
void SetCvarString(Cvar variable, const char* value);
// The numeric value of one of the plugin's own variables, read through the
// engine's cvar_t that pfnCVarGetPointer gave right after registration:
// no lookup by name, so the frame hook may read it every frame.  0 when
// the engine gave no such pointer, or for a variable not the plugin's own.
float CvarValue(Cvar variable);
// The text of one of the plugin's own variables through that same record
// (CvarString's lookup by name for any other); "" when the engine gives none.
// The engine keeps CvarValue as atof of this text.
const char* CvarText(Cvar variable);

// ---- engine functions ------------------------------------------------
// Writes a finished text to the server log (at_logged, through "%s").
void LogToServerRaw(const char* text);
// Word `index` of the command being handled; "" when there is none.
const char* CommandArg(int index);
// Makes the player's client run `text` as if typed (it ends in "\n").
void SendClientCommand(edict_t* player, const char* text);
// Prints `text` on the player's client console (pfnClientPrintf,
// print_console); the text is not a format.  It travels on the client's
// reliable channel, which holds a few kilobytes a frame: callers bound it.
void ClientPrint(edict_t* player, const char* text);
// The engine's user id of the player's connection; -1 when the entity is no
// connected client.
int PlayerUserId(edict_t* player);
// The text of one key of the player's info buffer, copied at once (the
// engine rotates the buffer behind it); "" when the key is absent.
std::string PlayerInfoKey(edict_t* player, const char* key);
// The player's authentication id, copied at once; "" when unknown.
std::string PlayerAuthId(edict_t* player);
int IndexOfEdict(const edict_t* entity);
// The edict of an entity index, or null.
edict_t* EntityOfIndex(int index);
int RegisterUserMessage(const char* name, int size);
// One message to one client (MSG_ONE, no origin).
void BeginMessageToOne(int messageType, edict_t* recipient);
void WriteByte(int value);
void WriteShort(int value);
void WriteString(const char* text);
void EndMessage();

// ---- engine globals -------------------------------------------------
float Time();
int MaxClients();

// ---- entity data (all accept null and answer as for an absent entity) -
bool IsFree(const edict_t* entity);  // true for null too
// True when the game has set the entity up (pvPrivateData is set).
bool HasGameObject(const edict_t* entity);
// The edict's own variables (&edict->v), or null.
entvars_t* EdictVars(edict_t* entity);
// The variables the game object points at (its pev), or null when the game
// has not set the entity up.
entvars_t* PlayerVars(edict_t* entity);
const char* ClassName(const entvars_t* vars);    // "" when absent
const char* NetName(const entvars_t* vars);      // "" when absent
int Team(const entvars_t* vars);                 // raw field; 0 when absent
int DeadFlag(const entvars_t* vars);             // raw field; 0 when absent
bool IsMarkedForRemoval(const entvars_t* vars);  // FL_KILLME
bool IsFakeClient(const entvars_t* vars);        // FL_FAKECLIENT: a bot

// Calls visit(slot, edict) for each player slot from 1 to maxClients (read
// once) whose entity exists and is not free, in increasing order.  When
// `visit` returns bool, false ends the walk.
template <typename Visit>
void ForEachClientSlot(Visit&& visit) {
  const int maxClients = MaxClients();
  for (int slot = 1; slot <= maxClients; ++slot) {
    edict_t* entity = EntityOfIndex(slot);
    if (IsFree(entity)) continue;  // absent or free
    if constexpr (std::is_same_v<decltype(visit(slot, entity)), bool>) {
      if (!visit(slot, entity)) return;
    } else {
      visit(slot, entity);
    }
  }
}

// The same walk from slot min(highest, maxClients) down to slot 1.
template <typename Visit>
void ForEachClientSlotDown(int highest, Visit&& visit) {
  const int maxClients = MaxClients();
  for (int slot = highest < maxClients ? highest : maxClients; slot >= 1; --slot) {
    edict_t* entity = EntityOfIndex(slot);
    if (IsFree(entity)) continue;  // absent or free
    visit(slot, entity);
  }
}

// ---- plugin manager -------------------------------------------------
// One console line; `line` holds no line end and is shown unchanged.
void LogConsoleLine(const char* line);
// One line in the manager's error log, shown unchanged.
void LogErrorLine(const char* line);
// Full path of the plugin's own library file; "" when unknown.
const char* PluginPath();
enum class HookResult { Ignored = 1, Handled = 2, Supercede = 4 };
void SetHookResult(HookResult result);

// ---- nondeterministic inputs ----------------------------------------
// The C library's generator and calendar clock, in one place so that a
// replayed session can control them.
int Random();  // 0..RAND_MAX, as rand()
void SeedRandom(unsigned seed);
long long CalendarSeconds();

}  // namespace HostApi
