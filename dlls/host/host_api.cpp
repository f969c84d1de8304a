#include "host_api.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host_bind.h"

namespace {

enginefuncs_t g_engine{};  // our copy of the used prefix of the engine table
globalvars_t* g_globals = nullptr;
mutil_funcs_t* g_utils = nullptr;
plugin_info_t* g_info = nullptr;
meta_globals_t* g_metaGlobals = nullptr;
gamedll_funcs_t* g_gameLibrary = nullptr;  // kept; nothing reads it

const char* NeverNull(const char* text) { return text ? text : ""; }

// A string_t names text inside the engine's string pool.
const char* PoolText(string_t offset) {
  if (!g_globals || !g_globals->pStringBase) return "";
  return g_globals->pStringBase + offset;
}

// The engine's format functions are variadic; text is always an argument.
char kPercentS[] = "%s";

// The engine keeps and links a registered record, so it must live as long
// as the library.  The manager registers copies of its own, so the plugin
// reads and sets its variables by name, never through these.
cvar_t g_cvarRecords[kConsoleVariableCount];
// The engine's own record of each of the plugin's variables (the manager's
// copy), whose value follows every change; null until registered.
cvar_t* g_cvarPointers[kConsoleVariableCount] = {};
static_assert(static_cast<int>(CvarRegistration::Server) == FCVAR_SERVER);
static_assert(static_cast<int>(CvarRegistration::Protected) == FCVAR_PROTECTED);

}  // namespace

namespace HostApi {

void BindEngine(const enginefuncs_t* table, globalvars_t* globals) {
  if (table) std::memcpy(&g_engine, table, sizeof(g_engine));
  g_globals = globals;
}
void BindMetamodUtils(mutil_funcs_t* utils, plugin_info_t* info) {
  g_utils = utils;
  g_info = info;
}
void BindMetaGlobals(meta_globals_t* globals) { g_metaGlobals = globals; }
void BindGameLibrary(gamedll_funcs_t* functions) { g_gameLibrary = functions; }

void RegisterConsoleVariables() {
  for (const ConsoleVariable& row : kConsoleVariables) {
    if (row.registration == CvarRegistration::NotOurs) continue;
    cvar_t& record = g_cvarRecords[static_cast<std::size_t>(row.id)];
    record = cvar_t{row.name, row.defaultValue, static_cast<int>(row.registration), 0.0f, nullptr};
    if (g_engine.pfnCVarRegister) g_engine.pfnCVarRegister(&record);
    if (g_engine.pfnCVarGetPointer) {
      g_cvarPointers[static_cast<std::size_t>(row.id)] = g_engine.pfnCVarGetPointer(row.name);
    }
  }
}

void AddServerCommand(const char* name, void (*handler)(void)) {
  // The engine's signature takes a mutable name; it only stores the pointer.
  if (g_engine.pfnAddServerCommand) g_engine.pfnAddServerCommand(const_cast<char*>(name), handler);
}

const char* CvarString(Cvar variable) {
  if (!g_engine.pfnCVarGetString) return "";
  return NeverNull(g_engine.pfnCVarGetString(ConsoleVariableOf(variable).name));
}

float CvarFloat(Cvar variable) {
  if (!g_engine.pfnCVarGetFloat) return 0.0f;
  return g_engine.pfnCVarGetFloat(ConsoleVariableOf(variable).name);
}

float CvarValue(Cvar variable) {
  const cvar_t* engineRecord = g_cvarPointers[static_cast<std::size_t>(variable)];
  return engineRecord != nullptr ? engineRecord->value : 0.0f;
}

const char* CvarText(Cvar variable) {
  const cvar_t* engineRecord = g_cvarPointers[static_cast<std::size_t>(variable)];
  return engineRecord != nullptr ? NeverNull(engineRecord->string) : CvarString(variable);
}

void SetCvarString(Cvar variable, const char* value) {
  if (g_engine.pfnCVarSetString) {
    g_engine.pfnCVarSetString(ConsoleVariableOf(variable).name, NeverNull(value));
  }
}

void LogToServerRaw(const char* text) {
  if (g_engine.pfnAlertMessage) g_engine.pfnAlertMessage(at_logged, kPercentS, NeverNull(text));
}

const char* CommandArg(int index) {
  if (!g_engine.pfnCmd_Argv) return "";
  return NeverNull(g_engine.pfnCmd_Argv(index));
}

void SendClientCommand(edict_t* player, const char* text) {
  if (player && g_engine.pfnClientCommand)
    g_engine.pfnClientCommand(player, kPercentS, NeverNull(text));
}

void ClientPrint(edict_t* player, const char* text) {
  if (player && g_engine.pfnClientPrintf) {
    g_engine.pfnClientPrintf(player, print_console, NeverNull(text));
  }
}

int PlayerUserId(edict_t* player) {
  if (!player || !g_engine.pfnGetPlayerUserId) return -1;
  return g_engine.pfnGetPlayerUserId(player);
}

std::string PlayerInfoKey(edict_t* player, const char* key) {
  if (!player || !g_engine.pfnGetInfoKeyBuffer || !g_engine.pfnInfoKeyValue) return std::string();
  char* buffer = g_engine.pfnGetInfoKeyBuffer(player);
  if (!buffer) return std::string();
  // The engine's signature takes a mutable key; it only reads it.
  return std::string(NeverNull(g_engine.pfnInfoKeyValue(buffer, const_cast<char*>(key))));
}

std::string PlayerAuthId(edict_t* player) {
  if (!player || !g_engine.pfnGetPlayerAuthId) return std::string();
  // The engine rotates a few buffers behind this pointer: copy it now.
  return std::string(NeverNull(g_engine.pfnGetPlayerAuthId(player)));
}

int IndexOfEdict(const edict_t* entity) {
  if (!entity || !g_engine.pfnIndexOfEdict) return 0;
  return g_engine.pfnIndexOfEdict(entity);
}

edict_t* EntityOfIndex(int index) {
  return g_engine.pfnPEntityOfEntIndex ? g_engine.pfnPEntityOfEntIndex(index) : nullptr;
}

int RegisterUserMessage(const char* name, int size) {
  return g_engine.pfnRegUserMsg ? g_engine.pfnRegUserMsg(name, size) : 0;
}

void BeginMessageToOne(int messageType, edict_t* recipient) {
  if (g_engine.pfnMessageBegin) g_engine.pfnMessageBegin(MSG_ONE, messageType, nullptr, recipient);
}
void WriteByte(int value) {
  if (g_engine.pfnWriteByte) g_engine.pfnWriteByte(value);
}
void WriteShort(int value) {
  if (g_engine.pfnWriteShort) g_engine.pfnWriteShort(value);
}
void WriteString(const char* text) {
  if (g_engine.pfnWriteString) g_engine.pfnWriteString(NeverNull(text));
}
void EndMessage() {
  if (g_engine.pfnMessageEnd) g_engine.pfnMessageEnd();
}

float Time() { return g_globals ? g_globals->time : 0.0f; }
int MaxClients() { return g_globals ? g_globals->maxClients : 0; }

bool IsFree(const edict_t* entity) { return entity == nullptr || entity->free != 0; }

bool HasGameObject(const edict_t* entity) {
  return entity != nullptr && entity->pvPrivateData != nullptr;
}

entvars_t* EdictVars(edict_t* entity) { return entity ? &entity->v : nullptr; }

entvars_t* PlayerVars(edict_t* entity) {
  if (!HasGameObject(entity)) return nullptr;
  return static_cast<GameObjectLayout*>(entity->pvPrivateData)->pev;
}

const char* ClassName(const entvars_t* vars) { return vars ? PoolText(vars->classname) : ""; }
const char* NetName(const entvars_t* vars) { return vars ? PoolText(vars->netname) : ""; }
int Team(const entvars_t* vars) { return vars ? vars->team : 0; }
int DeadFlag(const entvars_t* vars) { return vars ? vars->deadflag : 0; }
bool IsMarkedForRemoval(const entvars_t* vars) {
  return vars != nullptr && (vars->flags & FL_KILLME) != 0;
}
bool IsFakeClient(const entvars_t* vars) {
  return vars != nullptr && (vars->flags & FL_FAKECLIENT) != 0;
}

void LogConsoleLine(const char* line) {
  if (g_utils && g_utils->pfnLogConsole) g_utils->pfnLogConsole(g_info, kPercentS, NeverNull(line));
}

void LogErrorLine(const char* line) {
  if (g_utils && g_utils->pfnLogError) g_utils->pfnLogError(g_info, kPercentS, NeverNull(line));
}

const char* PluginPath() {
  if (!g_utils || !g_utils->pfnGetPluginPath) return "";
  return NeverNull(g_utils->pfnGetPluginPath(g_info));
}

void SetHookResult(HookResult result) {
  if (g_metaGlobals) g_metaGlobals->mres = static_cast<META_RES>(result);
}

// The C generator on purpose: the draws must be rand()'s own sequence for a
// seed, so that a server seeded with the same time draws the same values.
int Random() { return std::rand(); }  // NOLINT(cert-msc30-c,cert-msc50-cpp)
void SeedRandom(unsigned seed) { std::srand(seed); }
long long CalendarSeconds() { return static_cast<long long>(std::time(nullptr)); }

}  // namespace HostApi
