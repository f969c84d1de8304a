// Binary declarations of the engine and plugin-manager interfaces this plugin
// uses, written from the published 32-bit x86 facts (interface 138 for the
// engine table, 140 for the game table, Metamod "5:10").  Only the members the
// plugin or the simulated server reads are named; the rest are placeholders
// that keep every offset where the host expects it.  The layout is asserted at
// the end of this file for 32-bit builds.
//
// Only the host layer, the plugin shell and the simulated server include this
// header.  Roster, commands and values see nothing of it.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef int qboolean;
typedef unsigned int string_t;  // offset from globalvars_t::pStringBase

// An entry the plugin never calls: kept as a plain code pointer so the table
// keeps its size.
typedef void (*HostFn)(void);

struct edict_t;
struct cvar_t;

// ---------------------------------------------------------------- cvar_t
struct cvar_t {
  const char* name;
  const char* string;
  int flags;
  float value;
  cvar_t* next;
};

enum : int {
  FCVAR_ARCHIVE = 1,
  FCVAR_USERINFO = 2,
  FCVAR_SERVER = 4,
  FCVAR_EXTDLL = 8,
  FCVAR_PROTECTED = 32,
};

// ------------------------------------------------------------- entvars_t
struct entvars_t {
  string_t classname;  // 0
  char pad_4[352 - 4];
  float health;  // 352
  float frags;   // 356
  char pad_360[368 - 360];
  int deadflag;  // 368
  char pad_372[420 - 372];
  int flags;  // 420
  char pad_424[428 - 424];
  int team;  // 428
  char pad_432[464 - 432];
  string_t netname;  // 464
  char pad_468[520 - 468];
  edict_t* pContainingEntity;  // 520
  int playerclass;             // 524
  char pad_528[676 - 528];
};

// --------------------------------------------------------------- edict_t
struct edict_t {
  qboolean free;     // 0
  int serialnumber;  // 4
  char pad_8[124 - 8];
  void* pvPrivateData;  // 124: the game's object for this entity
  entvars_t v;          // 128
};

// The game's object behind pvPrivateData: a table of virtual functions, then
// the pointer to its own entity variables.
struct GameObjectLayout {
  void* vtable;
  entvars_t* pev;
};

// ----------------------------------------------------------- globalvars_t
struct globalvars_t {
  float time;  // 0
  char pad_4[12 - 4];
  string_t mapname;  // 12
  char pad_16[144 - 16];
  int maxClients;           // 144
  int maxEntities;          // 148
  const char* pStringBase;  // 152
  char pad_156[172 - 156];
};

enum ALERT_TYPE : int {
  at_notice = 0,
  at_console = 1,
  at_aiconsole = 2,
  at_warning = 3,
  at_error = 4,
  at_logged = 5,
};

enum : int {
  MSG_BROADCAST = 0,
  MSG_ONE = 1,
  MSG_ALL = 2,
  MSG_ONE_UNRELIABLE = 8,
};
enum : int { SVC_TEMPENTITY = 23, TE_TEXTMESSAGE = 29 };
enum : int { HUD_PRINTNOTIFY = 1, HUD_PRINTCONSOLE = 2, HUD_PRINTTALK = 3, HUD_PRINTCENTER = 4 };
enum : int { FL_CLIENT = 1 << 3, FL_FAKECLIENT = 1 << 13, FL_KILLME = 1 << 30 };
enum PRINT_TYPE : int { print_console = 0, print_center = 1, print_chat = 2 };
enum : int { DEAD_NO = 0, DEAD_DYING = 1, DEAD_DEAD = 2, DEAD_RESPAWNABLE = 3 };
enum : int { kMaxClients = 32 };
enum : int {
  INTERFACE_VERSION = 140,
  ENGINE_INTERFACE_VERSION = 138,
  NEW_DLL_FUNCTIONS_VERSION = 1
};

// ------------------------------------------------- enginefuncs_t (prefix)
// The first 144 entries of the engine table, through pfnGetPlayerAuthId.
// Later engines append entries; this plugin copies and uses only this prefix.
struct enginefuncs_t {
  HostFn reserved_0_40[41];
  void (*pfnClientCommand)(edict_t* ent, char* fmt, ...);  // 41
  HostFn reserved_42_45[4];
  void (*pfnMessageBegin)(int dest, int type, const float* origin,
                          edict_t* ent);  // 46
  void (*pfnMessageEnd)(void);            // 47
  void (*pfnWriteByte)(int value);        // 48
  HostFn pfnWriteChar;                    // 49
  void (*pfnWriteShort)(int value);       // 50
  HostFn reserved_51_53[3];
  void (*pfnWriteString)(const char* text);                       // 54
  HostFn pfnWriteEntity;                                          // 55
  void (*pfnCVarRegister)(cvar_t* cvar);                          // 56
  float (*pfnCVarGetFloat)(const char* name);                     // 57
  const char* (*pfnCVarGetString)(const char* name);              // 58
  HostFn pfnCVarSetFloat;                                         // 59
  void (*pfnCVarSetString)(const char* name, const char* value);  // 60
  void (*pfnAlertMessage)(ALERT_TYPE level, char* fmt, ...);      // 61
  HostFn reserved_62_68[7];
  edict_t* (*pfnPEntityOfEntOffset)(int offset);  // 69
  HostFn pfnEntOffsetOfPEntity;                   // 70
  int (*pfnIndexOfEdict)(const edict_t* ent);     // 71
  edict_t* (*pfnPEntityOfEntIndex)(int index);    // 72
  HostFn reserved_73_74[2];
  int (*pfnRegUserMsg)(const char* name, int size);  // 75
  HostFn reserved_76_79[4];
  void (*pfnClientPrintf)(edict_t* ent, PRINT_TYPE type, const char* text);  // 80: not a format
  HostFn reserved_81_82[2];
  const char* (*pfnCmd_Argv)(int i);  // 83
  int (*pfnCmd_Argc)(void);           // 84
  HostFn reserved_85_105[21];
  char* (*pfnGetInfoKeyBuffer)(edict_t* ent);             // 106: null gives the server's
  char* (*pfnInfoKeyValue)(char* infobuffer, char* key);  // 107: "" when absent
  HostFn reserved_108_112[5];
  int (*pfnGetPlayerUserId)(edict_t* ent);  // 113: -1 when no client
  HostFn reserved_114_115[2];
  cvar_t* (*pfnCVarGetPointer)(const char* name);  // 116: null when not registered
  HostFn reserved_117_139[23];
  void (*pfnAddServerCommand)(char* name, void (*handler)(void));  // 140
  HostFn reserved_141_142[2];
  const char* (*pfnGetPlayerAuthId)(edict_t* ent);  // 143
};

// -------------------------------------------------- DLL_FUNCTIONS (140)
// The game event table, slot by slot in the engine's order.  Every entry is
// null unless set, so a hook table names only the entries it fills.
struct DLL_FUNCTIONS {
  HostFn pfnGameInit = nullptr;             // 0
  int (*pfnSpawn)(edict_t* ent) = nullptr;  // 1
  HostFn pfnThink = nullptr;                // 2
  HostFn pfnUse = nullptr;                  // 3
  HostFn pfnTouch = nullptr;                // 4
  HostFn pfnBlocked = nullptr;              // 5
  HostFn pfnKeyValue = nullptr;             // 6
  HostFn pfnSave = nullptr;                 // 7
  HostFn pfnRestore = nullptr;              // 8
  HostFn pfnSetAbsBox = nullptr;            // 9
  HostFn pfnSaveWriteFields = nullptr;      // 10
  HostFn pfnSaveReadFields = nullptr;       // 11
  HostFn pfnSaveGlobalState = nullptr;      // 12
  HostFn pfnRestoreGlobalState = nullptr;   // 13
  HostFn pfnResetGlobalState = nullptr;     // 14
  int (*pfnClientConnect)(edict_t* ent, const char* name, const char* address,
                          char reject[128]) = nullptr;                         // 15
  void (*pfnClientDisconnect)(edict_t* ent) = nullptr;                         // 16
  HostFn pfnClientKill = nullptr;                                              // 17
  void (*pfnClientPutInServer)(edict_t* ent) = nullptr;                        // 18
  void (*pfnClientCommand)(edict_t* ent) = nullptr;                            // 19
  void (*pfnClientUserInfoChanged)(edict_t* ent, char* infobuffer) = nullptr;  // 20
  HostFn pfnServerActivate = nullptr;                                          // 21
  HostFn pfnServerDeactivate = nullptr;                                        // 22
  HostFn pfnPlayerPreThink = nullptr;                                          // 23
  HostFn pfnPlayerPostThink = nullptr;                                         // 24
  void (*pfnStartFrame)(void) = nullptr;                                       // 25
  HostFn pfnParmsNewLevel = nullptr;                                           // 26
  HostFn pfnParmsChangeLevel = nullptr;                                        // 27
  HostFn pfnGetGameDescription = nullptr;                                      // 28
  HostFn pfnPlayerCustomization = nullptr;                                     // 29
  HostFn pfnSpectatorConnect = nullptr;                                        // 30
  HostFn pfnSpectatorDisconnect = nullptr;                                     // 31
  HostFn pfnSpectatorThink = nullptr;                                          // 32
  HostFn pfnSys_Error = nullptr;                                               // 33
  HostFn pfnPM_Move = nullptr;                                                 // 34
  HostFn pfnPM_Init = nullptr;                                                 // 35
  HostFn pfnPM_FindTextureType = nullptr;                                      // 36
  HostFn pfnSetupVisibility = nullptr;                                         // 37
  HostFn pfnUpdateClientData = nullptr;                                        // 38
  HostFn pfnAddToFullPack = nullptr;                                           // 39
  HostFn pfnCreateBaseline = nullptr;                                          // 40
  HostFn pfnRegisterEncoders = nullptr;                                        // 41
  HostFn pfnGetWeaponData = nullptr;                                           // 42
  HostFn pfnCmdStart = nullptr;                                                // 43
  HostFn pfnCmdEnd = nullptr;                                                  // 44
  HostFn pfnConnectionlessPacket = nullptr;                                    // 45
  HostFn pfnGetHullBounds = nullptr;                                           // 46
  HostFn pfnCreateInstancedBaselines = nullptr;                                // 47
  HostFn pfnInconsistentFile = nullptr;                                        // 48
  HostFn pfnAllowLagCompensation = nullptr;                                    // 49
};

struct NEW_DLL_FUNCTIONS {
  HostFn entries[5];
};

// ------------------------------------------------------------- Metamod
enum PLUG_LOADTIME : int {
  PT_NEVER = 0,
  PT_STARTUP = 1,
  PT_CHANGELEVEL = 2,
  PT_ANYTIME = 3,
  PT_ANYPAUSE = 4,
};

enum PL_UNLOAD_REASON : int {
  PNL_NULL = 0,
  PNL_INI_DELETED = 1,
  PNL_FILE_NEWER = 2,
  PNL_COMMAND = 3,
  PNL_CMD_FORCED = 4,
  PNL_DELAYED = 5,
};

enum META_RES : int {
  MRES_UNSET = 0,
  MRES_IGNORED = 1,
  MRES_HANDLED = 2,
  MRES_OVERRIDE = 3,
  MRES_SUPERCEDE = 4,
};

struct plugin_info_t {
  const char* ifvers;
  const char* name;
  const char* version;
  const char* date;
  const char* author;
  const char* url;
  const char* logtag;
  PLUG_LOADTIME loadable;
  PLUG_LOADTIME unloadable;
};
typedef plugin_info_t* plid_t;

struct meta_globals_t {
  META_RES mres;
  META_RES prev_mres;
  META_RES status;
  void* orig_ret;
  void* override_ret;
};

typedef int (*GETENTITYAPI_FN)(DLL_FUNCTIONS* table, int version);
typedef int (*GETENTITYAPI2_FN)(DLL_FUNCTIONS* table, int* version);
typedef int (*GETNEWDLLFUNCTIONS_FN)(NEW_DLL_FUNCTIONS* table, int* version);
typedef int (*GET_ENGINE_FUNCTIONS_FN)(enginefuncs_t* table, int* version);

// The table getters a plugin hands the manager; null unless set.
struct META_FUNCTIONS {
  GETENTITYAPI_FN pfnGetEntityAPI = nullptr;
  GETENTITYAPI_FN pfnGetEntityAPI_Post = nullptr;
  GETENTITYAPI2_FN pfnGetEntityAPI2 = nullptr;
  GETENTITYAPI2_FN pfnGetEntityAPI2_Post = nullptr;
  GETNEWDLLFUNCTIONS_FN pfnGetNewDLLFunctions = nullptr;
  GETNEWDLLFUNCTIONS_FN pfnGetNewDLLFunctions_Post = nullptr;
  GET_ENGINE_FUNCTIONS_FN pfnGetEngineFunctions = nullptr;
  GET_ENGINE_FUNCTIONS_FN pfnGetEngineFunctions_Post = nullptr;
};

struct gamedll_funcs_t {
  DLL_FUNCTIONS* dllapi_table;
  NEW_DLL_FUNCTIONS* newapi_table;
};

// The 5:10 utility table: twelve entries.
struct mutil_funcs_t {
  void (*pfnLogConsole)(plid_t plid, const char* fmt, ...);    // 0
  void (*pfnLogMessage)(plid_t plid, const char* fmt, ...);    // 1
  void (*pfnLogError)(plid_t plid, const char* fmt, ...);      // 2
  void (*pfnLogDeveloper)(plid_t plid, const char* fmt, ...);  // 3
  HostFn pfnCenterSay;                                         // 4
  HostFn pfnCenterSayParms;                                    // 5
  HostFn pfnCenterSayVarargs;                                  // 6
  HostFn pfnCallGameEntity;                                    // 7
  HostFn pfnGetUserMsgID;                                      // 8
  HostFn pfnGetUserMsgName;                                    // 9
  const char* (*pfnGetPluginPath)(plid_t plid);                // 10
  HostFn pfnGetGameInfo;                                       // 11
};

// Entry points the plugin exports, as the manager resolves them.
#if defined(_WIN32)
#define KEL_GIVEFNPTRS_CALL __stdcall
#else
#define KEL_GIVEFNPTRS_CALL
#endif
typedef void(KEL_GIVEFNPTRS_CALL* GIVE_ENGINE_FUNCTIONS_FN)(enginefuncs_t*, globalvars_t*);
typedef int (*META_QUERY_FN)(char* ifvers, plugin_info_t** info, mutil_funcs_t* utils);
typedef int (*META_ATTACH_FN)(PLUG_LOADTIME now, META_FUNCTIONS* table, meta_globals_t* globals,
                              gamedll_funcs_t* gamedll);
typedef int (*META_DETACH_FN)(PLUG_LOADTIME now, PL_UNLOAD_REASON reason);

}  // extern "C"

// ------------------------------------------------------ layout checks
// The numbers are the host's; a mismatch means a declaration above is wrong.
#define KEL_ENTRY_INDEX(type, member) (offsetof(type, member) / sizeof(void*))
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(void*) == 4 && sizeof(int) == 4 && sizeof(float) == 4);

static_assert(sizeof(cvar_t) == 20);
static_assert(offsetof(cvar_t, string) == 4 && offsetof(cvar_t, flags) == 8);
static_assert(offsetof(cvar_t, value) == 12 && offsetof(cvar_t, next) == 16);

static_assert(sizeof(entvars_t) == 676);
static_assert(offsetof(entvars_t, classname) == 0);
static_assert(offsetof(entvars_t, health) == 352);
static_assert(offsetof(entvars_t, frags) == 356);
static_assert(offsetof(entvars_t, deadflag) == 368);
static_assert(offsetof(entvars_t, flags) == 420);
static_assert(offsetof(entvars_t, team) == 428);
static_assert(offsetof(entvars_t, netname) == 464);
static_assert(offsetof(entvars_t, pContainingEntity) == 520);
static_assert(offsetof(entvars_t, playerclass) == 524);

static_assert(sizeof(edict_t) == 804);
static_assert(offsetof(edict_t, free) == 0);
static_assert(offsetof(edict_t, serialnumber) == 4);
static_assert(offsetof(edict_t, pvPrivateData) == 124);
static_assert(offsetof(edict_t, v) == 128);
static_assert(offsetof(edict_t, v) + offsetof(entvars_t, flags) == 548);
static_assert(offsetof(GameObjectLayout, pev) == 4);

static_assert(sizeof(globalvars_t) == 172);
static_assert(offsetof(globalvars_t, time) == 0);
static_assert(offsetof(globalvars_t, mapname) == 12);
static_assert(offsetof(globalvars_t, maxClients) == 144);
static_assert(offsetof(globalvars_t, maxEntities) == 148);
static_assert(offsetof(globalvars_t, pStringBase) == 152);

static_assert(sizeof(enginefuncs_t) == 576);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnClientCommand) == 41);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnMessageBegin) == 46);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnMessageEnd) == 47);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnWriteByte) == 48);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnWriteShort) == 50);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnWriteString) == 54);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnCVarRegister) == 56);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnCVarGetFloat) == 57);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnCVarGetString) == 58);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnCVarSetString) == 60);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnAlertMessage) == 61);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnPEntityOfEntOffset) == 69);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnIndexOfEdict) == 71);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnPEntityOfEntIndex) == 72);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnRegUserMsg) == 75);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnClientPrintf) == 80);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnCmd_Argv) == 83);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnCmd_Argc) == 84);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnGetInfoKeyBuffer) == 106);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnInfoKeyValue) == 107);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnGetPlayerUserId) == 113);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnCVarGetPointer) == 116);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnAddServerCommand) == 140);
static_assert(KEL_ENTRY_INDEX(enginefuncs_t, pfnGetPlayerAuthId) == 143);
static_assert(offsetof(enginefuncs_t, pfnClientPrintf) == 320);
static_assert(offsetof(enginefuncs_t, pfnGetInfoKeyBuffer) == 424);
static_assert(offsetof(enginefuncs_t, pfnInfoKeyValue) == 428);
static_assert(offsetof(enginefuncs_t, pfnGetPlayerUserId) == 452);
static_assert(offsetof(enginefuncs_t, pfnCVarGetPointer) == 464);
static_assert(offsetof(enginefuncs_t, pfnGetPlayerAuthId) == 572);
static_assert(sizeof(PRINT_TYPE) == 4);

static_assert(sizeof(DLL_FUNCTIONS) == 200);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnSpawn) == 1);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnClientConnect) == 15);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnClientDisconnect) == 16);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnClientPutInServer) == 18);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnClientCommand) == 19);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnClientUserInfoChanged) == 20);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnServerActivate) == 21);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnServerDeactivate) == 22);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnStartFrame) == 25);
static_assert(KEL_ENTRY_INDEX(DLL_FUNCTIONS, pfnAllowLagCompensation) == 49);
static_assert(sizeof(NEW_DLL_FUNCTIONS) == 20);

static_assert(sizeof(plugin_info_t) == 36);
static_assert(offsetof(plugin_info_t, logtag) == 24);
static_assert(offsetof(plugin_info_t, loadable) == 28);
static_assert(offsetof(plugin_info_t, unloadable) == 32);
static_assert(sizeof(meta_globals_t) == 20 && offsetof(meta_globals_t, mres) == 0);
static_assert(offsetof(meta_globals_t, orig_ret) == 12);
static_assert(sizeof(META_FUNCTIONS) == 32);
static_assert(KEL_ENTRY_INDEX(META_FUNCTIONS, pfnGetEntityAPI2) == 2);
static_assert(KEL_ENTRY_INDEX(META_FUNCTIONS, pfnGetEngineFunctions) == 6);
static_assert(sizeof(gamedll_funcs_t) == 8);
static_assert(sizeof(mutil_funcs_t) == 48);
static_assert(KEL_ENTRY_INDEX(mutil_funcs_t, pfnLogConsole) == 0);
static_assert(KEL_ENTRY_INDEX(mutil_funcs_t, pfnLogError) == 2);
static_assert(KEL_ENTRY_INDEX(mutil_funcs_t, pfnGetPluginPath) == 10);
#endif
