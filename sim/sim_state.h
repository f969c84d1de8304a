// The simulated server's state, shared by its source files.  Only sim/*.cpp
// include this header; users of the simulator see sim_server.h.
//
// The engine and plugin-manager tables are plain C function pointers without
// a context argument, so the callbacks reach the one live server through
// g_state.  Only one SimServer may exist at a time.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "host_abi.h"
#include "sim_server.h"

namespace kelsim::detail {

// Engine table entries the simulator hands out: the 5:13-era length, longer
// than the 144 the plugin copies, as every real manager's copy is.
inline constexpr int kEngineTableEntries = 158;
struct EngineTable {
  enginefuncs_t prefix;
  HostFn tail[kEngineTableEntries - 144];
};
static_assert(sizeof(EngineTable) == kEngineTableEntries * sizeof(void*));

// The engine's limit on one user message (the game's own message types).
inline constexpr std::size_t kMaxUserMessageBytes = 192;
// Length of the buffers behind the utility table's format functions.
inline constexpr std::size_t kManagerFormatBuffer = 1024;
// The engine hands out auth ids from this many rotating buffers.
inline constexpr int kAuthIdBuffers = 4;
inline constexpr std::size_t kAuthIdLength = 256;
// First id the engine gives a user message type (below are its own).
inline constexpr int kFirstUserMessageId = 64;
// Reliable data one client may be sent in one frame; beyond it the real
// server drops the client (its reliable channel overflowed).
inline constexpr std::size_t kReliableBytesPerFrame = 4000;
// A client's info buffer (and the server's), "\key\value" pairs.
inline constexpr std::size_t kInfoBufferLength = 256;
// pfnInfoKeyValue answers from this many rotating buffers.
inline constexpr int kInfoValueBuffers = 4;
// The engine keeps a client's name in this many characters at most.
inline constexpr std::size_t kMaxNameLength = 31;

// Which table a trap belongs to, for its message.
enum class TrapTable { Engine, MetamodUtils, GameTable, NewGameTable, GameObject };

struct PlayerSlot {
  bool connected = false;
  std::string authId;
  int userId = 0;
  bool bot = false;              // the engine's own record: a fake client has no connection
  bool ignoresCommands = false;  // his client does not run the plugin's commands
  // Reliable bytes sent to him since the last frame ended, whether some of
  // them were pfnClientPrintf text, and whether they overflowed his channel.
  std::size_t reliableBytes = 0;
  bool printedThisFrame = false;
  bool overflowed = false;
};

// A console variable as the engine keeps it.  `held` is the record the
// engine links and pfnCVarGetPointer hands out (for a plugin's variable, the
// manager's copy): Set() keeps its string and value in step with `value`.
// Entries live in a map whose nodes never move and are never erased, so the
// record stays where it is for the server's life.
struct CvarEntry {
  explicit CvarEntry(const std::string& cvarName);
  CvarEntry(const CvarEntry&) = delete;
  CvarEntry& operator=(const CvarEntry&) = delete;
  void Set(const std::string& text);

  const std::string name;
  std::string value;
  bool registered = false;  // false for one a test set before any registration
  // Registered by a library since unloaded: the manager keeps its copy and
  // hands it back, silently, when a library registers the name again.
  bool orphaned = false;
  cvar_t held{};  // its flags are the registration's
};

// Case-insensitive order: the engine finds cvars and commands ignoring case.
struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

struct ServerCommandEntry {
  std::string name;
  void (*handler)(void) = nullptr;
  bool live = true;  // false once the library that registered it is closed
};

struct UserMessageType {
  std::string name;
  int size = -1;  // -1: variable length
  int id = 0;
};

struct OpenMessage {
  bool open = false;
  int dest = 0;
  int type = 0;
  edict_t* target = nullptr;
  std::vector<uint8_t> data;
};

struct QueuedCommand {
  int slot = 0;
  std::vector<std::string> words;
};

// An append-only pool that string_t offsets point into.  The buffer never
// moves: pStringBase is handed to the plugin once.
class StringPool {
 public:
  StringPool();
  // Offset of `text` in the pool (identical texts share one copy); 0, the
  // empty text, when the pool is full.
  string_t Intern(const std::string& text);
  const char* Base() const { return buffer_.data(); }
  bool Full() const { return full_; }

 private:
  std::vector<char> buffer_;
  std::size_t used_ = 1;  // offset 0 holds the empty text
  std::map<std::string, string_t> index_;
  bool full_ = false;
};

struct SimState {
  explicit SimState(int maxClients);
  ~SimState();
  SimState(const SimState&) = delete;
  SimState& operator=(const SimState&) = delete;

  // ---- engine data ----------------------------------------------------
  int maxClients;
  int maxEntities;
  globalvars_t globals{};
  std::vector<edict_t> edicts;            // sized once: the plugin keeps pointers
  std::vector<GameObjectLayout> objects;  // one game object per edict, sized once
  std::vector<PlayerSlot> players;        // index = slot, 0 unused
  StringPool pool;
  double clock = 0.0;  // the host clock; globals.time mirrors it

  // ---- tables handed to the plugin ------------------------------------
  EngineTable engine{};
  mutil_funcs_t utils{};
  meta_globals_t metaGlobals{};
  DLL_FUNCTIONS gameTable{};  // the game library's table: traps only
  NEW_DLL_FUNCTIONS gameNewTable{};
  gamedll_funcs_t gameLibrary{};

  // How far off a 16-byte boundary the stack pointer stands at each call
  // into the plugin (CallPlugin in plugin_call.h): 0, 4, 8 or 12.
  int stackMisalignment = 0;

  // ---- what the plugin handed back ------------------------------------
  META_FUNCTIONS metaFunctions{};
  DLL_FUNCTIONS hooks{};
  DLL_FUNCTIONS postHooks{};
  EngineTable engineHooks{};
  EngineTable engineHooksPost{};
  NEW_DLL_FUNCTIONS newHooks{};
  NEW_DLL_FUNCTIONS newHooksPost{};
  plugin_info_t* info = nullptr;

  // ---- loading --------------------------------------------------------
  void* library = nullptr;
  std::string directory;   // private directory of this server
  std::string pluginPath;  // the private copy of the library
  std::string loadError;
  bool stayedMapped = false;  // the last unload's dlclose left the library mapped

  // ---- engine services ------------------------------------------------
  std::map<std::string, CvarEntry, CaseLess> cvars;
  std::vector<RegisteredCvar> registeredCvars;
  std::vector<ServerCommandEntry> commands;
  std::vector<std::string> commandNames;
  std::vector<std::vector<std::string>> argStack;  // words of the commands being run
  std::vector<UserMessageType> userMessages;
  OpenMessage message;
  char authIds[kAuthIdBuffers][kAuthIdLength] = {};
  int nextAuthId = 0;
  int nextUserId = 1;  // never reused within this server's life
  // Info buffers: one per player slot (index = slot, sized once: the
  // plugin may keep the pointers), the server's, and the empty one other
  // entities answer.
  std::vector<std::array<char, kInfoBufferLength>> infoBuffers;
  std::array<char, kInfoBufferLength> serverInfo{};
  char noInfo[1] = {};
  char infoValues[kInfoValueBuffers][kInfoBufferLength] = {};
  int nextInfoValue = 0;
  std::deque<QueuedCommand> clientCommandQueue;

  // ---- observations -----------------------------------------------------
  std::string consolePending;
  std::string errorPending;
  std::vector<std::string> consoleLines;
  std::vector<std::string> logLines;
  std::vector<std::string> errorLines;
  std::vector<std::string> hostErrors;
  std::vector<ClientLog> clients;  // index = slot
  std::vector<Event> events;
  bool fatal = false;
  std::string fatalReason;
  META_RES lastResult = MRES_UNSET;

  // ---- loading (loader.cpp) ------------------------------------------------
  bool LoadPlugin(const std::string& path, PLUG_LOADTIME now);
  void UnloadPlugin();
  bool Fail(const std::string& why);  // sets loadError, closes the library

  // ---- recording (observe.cpp) ------------------------------------------
  void Record(Event::Kind kind, int slot, const std::string& text);
  void Note(const std::string& text) { Record(Event::Kind::Note, 0, text); }
  // A fault of the plugin (or of a test) that the real host would not let
  // pass silently.
  void HostError(const std::string& text);
  void Fatal(const std::string& reason);
  // Text printed to the server console; complete lines become ConsoleLines.
  void ConsolePrint(const std::string& text);
  void ErrorPrint(const std::string& text);
  std::string NameOf(int slot) const;

  // ---- entities (entities.cpp) ------------------------------------------
  bool IsPlayerSlot(int index) const { return index >= 1 && index <= maxClients; }
  // Index of an edict pointer, or -1 when it is not one of ours.
  int IndexOf(const edict_t* entity) const;
  // Slot of a player edict, or 0.
  int SlotOf(const edict_t* entity) const;
  edict_t* EdictAt(int index) { return &edicts[static_cast<std::size_t>(index)]; }
  void ClearEntity(int index);
  const char* PoolText(string_t offset) const { return pool.Base() + offset; }
  void SetNetName(int slot, const std::string& name);
  int CountTeam(int team, int exceptSlot) const;

  // ---- clients (clients.cpp) ----------------------------------------------
  // The game's side of a team change: the team field and the "team" info
  // key, nothing reported.
  void SetTeamOf(int slot, int team);
  // Sets `key` in the slot's info buffer; an empty value removes it.
  void SetInfoKey(int slot, const std::string& key, const std::string& value);
  // The "name" key: the name as the engine keeps it (31 characters at most).
  void SetInfoName(int slot, const std::string& name);
  // The value of `key` in an info buffer's text, "" when absent.
  static std::string InfoValue(const char* buffer, const std::string& key);
  // Counts `bytes` of reliable data to `slot` (`print`: pfnClientPrintf
  // text).  False when his channel has overflowed in this frame (reported
  // once a frame): the data is not sent.  The limit is enforced only in a
  // frame that carries pfnClientPrintf text to him: messages and client
  // commands count toward it, but alone they are left as they always were
  // (each is bounded on its own, and benchmarks call the hooks thousands of
  // times without a frame between).
  bool SendReliable(int slot, std::size_t bytes, bool print = false);
  // The end of a frame: what each channel carried has gone out.
  void FlushReliable();

  // ---- console variables (engine_table.cpp) -----------------------------
  // The variable called `name`, created unregistered with "" when unknown.
  CvarEntry& CvarNamed(const std::string& name);

  // ---- hooks (hooks.cpp) --------------------------------------------------
  void BeginHook();
  void EndHook(const char* name);
  int HookSpawn(edict_t* entity);
  void HookClientConnect(edict_t* entity, const std::string& name);
  void HookClientPutInServer(edict_t* entity);
  void HookClientDisconnect(edict_t* entity);
  // Returns the mres the plugin left (MRES_UNSET when it has no such hook).
  META_RES HookClientCommand(edict_t* entity);
  // Hands the plugin the client's own info buffer, as the engine does.
  META_RES HookClientUserInfoChanged(edict_t* entity);
  void HookStartFrame();

  // ---- level changes (sim_server.cpp) -----------------------------------
  // The engine's part before the new world spawns: bots dropped, unsent
  // client commands dropped.
  void LevelChangeDrops();
  // After the world spawned: every connected player comes back in the
  // ready room, in slot order.
  void RejoinAtNewMap();

  // ---- the game's part (game.cpp) ---------------------------------------
  // A client command from `slot`: the plugin's hook, then the game unless
  // the plugin superseded it.
  META_RES RunClientCommand(int slot, const std::vector<std::string>& words);
  void GameClientCommand(int slot, const std::vector<std::string>& words);
  void GameMovePlayer(int slot, int team, const char* why);
  void QueueClientText(int slot, const std::string& text);
  void ProcessClientCommands();

  // ---- messages (messages.cpp) ------------------------------------------
  const UserMessageType* FindUserMessage(int id) const;
  int RegisterUserMessage(const std::string& name, int size);
  void DeliverMessage();
};

// The one live server, for the C callbacks.
extern SimState* g_state;

// The engine's message entries (messages.cpp).
void EngMessageBegin(int dest, int type, const float* origin, edict_t* target);
void EngMessageEnd(void);
void EngWriteByte(int value);
void EngWriteShort(int value);
void EngWriteString(const char* text);

// The engine's client entries (clients.cpp).
void EngClientPrintf(edict_t* entity, PRINT_TYPE type, const char* text);
char* EngGetInfoKeyBuffer(edict_t* entity);
char* EngInfoKeyValue(char* buffer, char* key);
int EngGetPlayerUserId(edict_t* entity);

// The calendar clock time() gives in this process (calendar.cpp): the real
// clock until set; once set, it advances only when told.
void SetCalendar(long long seconds);
void AdvanceCalendar(double seconds);  // nothing while the real clock runs
void UseRealCalendar();
bool CalendarSet();
long long CalendarNow();

// Builds the tables (engine_table.cpp, metamod.cpp).
void FillEngineTable(EngineTable& table);
void FillTrapTable(HostFn* entries, int count, TrapTable which);
void FillMetamodUtils(mutil_funcs_t& utils);
// Records, prints and aborts: the plugin called an entry nothing provides.
[[noreturn]] void TrapHit(TrapTable table, int index);

// vsnprintf into a buffer of `capacity` bytes; "" for a null format.
std::string FormatInto(std::size_t capacity, const char* format, va_list args);

// Moves every complete line of `pending` into `lines` (without line ends).
void TakeLines(std::string& pending, std::vector<std::string>& lines);

// Splits a command line into words as the engine's tokenizer does:
// whitespace separates, double quotes group.
std::vector<std::string> Tokenize(const std::string& line);

}  // namespace kelsim::detail
