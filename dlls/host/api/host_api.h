// HostApi: the plugin's one door to the engine and the plugin manager.
//
// Everything above dlls/host speaks through these calls and plain C++ types.
// Entities travel as opaque handles: the logic may hold and pass them, but
// only this layer looks inside.  Every text the host hands back is treated as
// hostile: the calls below never return null, copy what the host may rotate,
// and never pass a text on as a format.
#pragma once

#include <string>

struct edict_t;     // an engine entity; opaque above this layer
struct entvars_t;   // an entity's variables; opaque above this layer
struct GameObject;  // the game library's object behind an entity; opaque

namespace HostApi {

// ---- engine functions ------------------------------------------------
// Current text of a console variable; "" when the engine gives none.
const char* CvarString(const char* name);
// Numeric value of a console variable; 0 when it is not set.
float CvarFloat(const char* name);
void SetCvarString(const char* name, const char* value);
// Writes a finished text to the server log (at_logged, through "%s").
void LogToServerRaw(const char* text);
// Word `index` of the command being handled; "" when there is none.
const char* CommandArg(int index);
// Makes the player's client run `text` as if typed (it ends in "\n").
void SendClientCommand(edict_t* player, const char* text);
// The player's authentication id, copied at once; "" when unknown.
std::string PlayerAuthId(edict_t* player);
int IndexOfEdict(const edict_t* entity);
// The edict of an entity index, or null.
edict_t* EntityOfIndex(int index);
// The world's edict (entity offset 0).
edict_t* WorldEntity();
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
bool IsFree(const edict_t* entity);                // true for null too
GameObject* GameObjectOf(const edict_t* entity);   // pvPrivateData, or null
entvars_t* EdictVars(edict_t* entity);             // &edict->v, or null
entvars_t* GameObjectVars(GameObject* object);     // the object's pev, or null
const char* ClassName(const entvars_t* vars);      // "" when absent
const char* NetName(const entvars_t* vars);        // "" when absent
int Team(const entvars_t* vars);                   // raw field; 0 when absent
int DeadFlag(const entvars_t* vars);               // raw field; 0 when absent
int Flags(const entvars_t* vars);                  // raw field; 0 when absent
edict_t* ContainingEntity(const entvars_t* vars);  // null when absent
bool IsMarkedForRemoval(const entvars_t* vars);    // FL_KILLME

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
