// A simulated Half-Life server with a Metamod-like plugin manager, for trying
// and testing the plugin without a game server.  It works at the binary
// interface only: it opens the built plugin library, resolves the entry
// points by name and drives them exactly as the real manager does, with a
// real-layout engine table, globals, edicts, game objects and string pool of
// its own.  It records everything a person could observe.
//
// Each SimServer loads its own private copy of the library file, so every
// instance starts from a freshly loaded plugin with fresh static state.
// Only one SimServer may exist at a time (the engine table is plain C
// function pointers without context).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host_abi.h"

namespace kelsim {

// A chat line the game's "TextMsg" user message carried to one client.
struct ChatMessage {
  int destination = 0;
  std::string text;
};

// One on-screen text (SVC_TEMPENTITY / TE_TEXTMESSAGE) as sent, decoded.
struct HudMessage {
  int channel = 0;
  int x = 0, y = 0;  // the shorts as sent (value * 8192)
  int effect = 0;
  uint8_t r1 = 0, g1 = 0, b1 = 0, a1 = 0, r2 = 0, g2 = 0, b2 = 0, a2 = 0;
  int fadein = 0, fadeout = 0, hold = 0;  // the unsigned shorts as sent (* 256)
  std::optional<int> fxTime;              // only with effect 2
  std::string text;
};

// One text pfnClientPrintf sent, exactly as given.
struct ClientPrint {
  int type = print_console;  // PRINT_TYPE: print_console, print_center, print_chat
  std::string text;
};

// What one player slot has received since connecting (kept after leaving).
struct ClientLog {
  std::vector<ChatMessage> chat;
  std::vector<HudMessage> hud;
  std::vector<std::string> commands;  // client commands, e.g. "readyroom\n"
  // Chat lines of players that the game showed this client ("<name>: text"),
  // as opposed to the plugin's notices in `chat`.
  std::vector<std::string> playerChat;
  // Every pfnClientPrintf text delivered to him, in order, of any type.
  std::vector<ClientPrint> printed;
  // His client console as print_console texts make it: the texts run on
  // where the last one stopped, `console` holds the finished lines (without
  // line ends) and `consolePending` what follows the last line end.
  std::vector<std::string> console;
  std::string consolePending;
  // Reliable bytes his channel carried in the last frame that ended, and the
  // most it carried in any one frame since he connected (or observations
  // were last cleared), counted as Frame()
  // counts them (a frame that overflowed counts what it tried to send).
  std::size_t reliableBytesLastFrame = 0;
  std::size_t reliableBytesMostInAFrame = 0;
};

struct RegisteredCvar {
  std::string name;
  std::string defaultValue;  // the plugin's record at registration
  int flags = 0;
};

// One observable event, in order, for transcripts.
struct Event {
  enum class Kind {
    Console,        // a console line (text without line end)
    Log,            // a server log line (as handed to the engine)
    Error,          // a plugin-manager error line
    Chat,           // slot received a chat line
    Hud,            // slot received an on-screen text
    ClientCommand,  // slot was sent a client command
    Note,           // the simulator's own narration
    PlayerChat,     // slot was shown a player's chat line by the game
    HostError,      // a fault the real host would not let pass (see HostErrors)
    Fatal,          // the server would have stopped (see Fatal)
    PrintConsole,   // a finished line on slot's client console (pfnClientPrintf)
    PrintCenter,    // slot was sent a print_center text
    PrintChat,      // slot was sent a print_chat text
  };
  Kind kind = Kind::Note;
  float time = 0.0f;
  int slot = 0;  // receiving player slot, 0 when none; for a move, the mover
  std::string text;
  std::string who;  // that player's name at the time, "" when none
  // For a Note that tells of the game moving a player (a client command he
  // ran, a level change): the team he is on after it.
  std::optional<int> team;
};

// What a map change does to the players: what the real game does (every
// connected player rejoins in the ready room, bots are dropped), or, for the
// few stories written before the simulator knew it, nothing at all.
enum class MapChange { ReadyRoom, KeepTeams };

class SimServer {
 public:
  explicit SimServer(int maxClients = 32);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // ---- loading, as the plugin manager does it ------------------------
  // Copies the library into a private directory, opens it, resolves the
  // entry points by name and calls GiveFnptrsToDll, Meta_Query (checking the
  // plugin's interface version as the manager does), Meta_Attach with `now`,
  // then the table getters found in META_FUNCTIONS.  Nothing more: call
  // ChangeMap() to spawn a map's world, which runs the plugin's map start
  // again as on a real server.  Returns false and sets LoadError() when a
  // step fails.
  bool Load(const std::string& pluginPath, PLUG_LOADTIME now = PT_STARTUP);
  const std::string& LoadError() const;
  // From now on every call into the plugin (entry points, hooks, the
  // console command callbacks) is made with the stack pointer `bytes` past
  // a 16-byte boundary (4, 8 or 12), as a host that keeps only the 4-byte
  // alignment of the i386 convention may make it; 0 calls directly.  False,
  // and nothing changes, for any other value, and for anything but 0 where
  // the simulator is not an i386 build.  The simulator's own engine
  // functions then also run on such a stack when the plugin calls them.
  bool SetStackMisalignment(int bytes);
  // Calls Meta_Detach and closes the library, as the manager's unload does
  // mid-map: the players stay, the engine keeps the plugin's console
  // variables (the manager's copies, values and all) and its commands, which
  // do nothing until a library registers them again.  A Load() afterwards
  // is the manager's load from the console: the entry points in their order,
  // with no ClientConnect or ClientPutInServer replayed for the players
  // already there.
  void Unload();
  bool Loaded() const;
  // True when the last Unload() found the library still mapped after
  // dlclose (a unique symbol or a NODELETE flag keeps it, static state and
  // all); a Load() then hands back that same instance.
  bool StayedMappedAtUnload() const;

  // Starts a map as a level change does.  With MapChange::ReadyRoom, the
  // real host's order: the engine drops every bot (pfnClientDisconnect) and
  // what the server had not yet sent its clients (queued client commands);
  // the host clock restarts at 1.0 and the world entity spawns (pfnSpawn
  // with class "worldspawn"); then every connected player comes back on his
  // own edict with a fresh set of variables (team 0, alive, his name, user
  // id and auth id kept), through pfnClientConnect, pfnClientPutInServer and
  // the user-information change, the game putting him in the ready room
  // (the "team" info key absent).  A departed player's edict is freed with
  // everything else.  MapChange::KeepTeams only restarts the clock and
  // spawns the world: players and edicts stay as they were.
  void ChangeMap(const std::string& mapName = "map_one", MapChange how = MapChange::ReadyRoom);

  // ---- time -----------------------------------------------------------
  float Time() const;
  // Runs one server frame: advances the clock by `dt`, runs the client
  // commands the plugin made clients send since the last frame (each through
  // the plugin's pfnClientCommand, then the game: "readyroom" to team 0,
  // "jointeamone" 1, "jointeamtwo" 2, "autoassign" the team with fewer other
  // players, marines on a tie; a move sets the team field and reports the
  // user information), then calls pfnStartFrame.  So a move the plugin asks
  // for never takes effect inside the call that asked for it.
  //
  // A frame ends by sending each client what his reliable channel carried
  // since the previous frame ended: pfnClientPrintf texts, client commands
  // and MSG_ONE / MSG_ALL messages, counted as on the wire.  More than 4,000
  // bytes to one client, in a frame that carries pfnClientPrintf text to
  // him, is a host error (the real server drops him for an overflow); what
  // passes the limit and all after it in that frame is not delivered, and
  // the client stays connected so the story can go on.  A frame without
  // pfnClientPrintf text to him is not held to the limit (the plugin's
  // messages and commands are bounded each on its own).
  void Frame(float dt = 0.1f);
  // Runs frames of `dt` until the clock reaches `time` (at least one frame
  // is run when the clock is already there).
  void RunUntil(float time, float dt = 0.1f);
  // Sets the clock without running a frame.
  void SetTime(float time);
  // Runs the client commands the plugin made clients send (the game's part);
  // Frame() does this first.
  void ProcessClientCommands();
  // srand() in this process: the plugin's rand() shares the C library, so
  // this makes its random choices repeatable.
  void SeedRandom(unsigned seed);

  // ---- calendar time ----------------------------------------------------
  // The calendar clock the plugin reads through time(): the simulated server
  // defines time() for its whole process, in front of the C library's.  Each
  // SimServer starts on the real clock; once set, the calendar stands still
  // except that every Frame(dt) moves it on by dt (a map change leaves it
  // alone), so the host clock and the calendar pass together.
  void SetCalendarTime(long long secondsSinceEpoch);
  // Moves a set calendar on (or back, for a negative `seconds`); the real
  // clock is fixed at its current second first.
  void AdvanceCalendarTime(double seconds);
  // Back to the real clock.
  void UseRealCalendarTime();
  // What time() answers now.
  long long CalendarTime() const;

  // ---- players ----------------------------------------------------------
  // Connects a player into a free slot (or `slot`), sets up his game object
  // and reports his user information.  Returns the slot, or 0.  Slots never
  // used are taken first (lowest first), then slots whose player left, so a
  // departed player's edict stays as he left it until the slots run out.
  // Names are taken as given (the real engine cuts them at 31 characters);
  // tests may use longer or hostile ones.
  int Connect(const std::string& name, const std::string& authId, int slot = 0);
  // A client whose game object the game has not created yet (no private data).
  int ConnectWithoutGameObject(const std::string& name, const std::string& authId);
  // A bot: connected like a player (the plugin's hooks see it the same way)
  // with FL_FAKECLIENT in his flags and the auth id "BOT".  The engine knows
  // him for a fake client whatever his flags later say: pfnClientPrintf to
  // him prints a warning on the server console and sends nothing.
  int ConnectBot(const std::string& name, int slot = 0);
  // pfnClientDisconnect, then the client slot is freed as the engine does:
  // the edict itself is not freed (free stays 0) and keeps its game object,
  // its netname reads "" and pfnGetPlayerAuthId gives "" for it.  After the
  // plugin's hook the game's own handler puts his team field back to 0
  // (unless the plugin superseded it).  Queued client commands of his are
  // dropped.
  void Disconnect(int slot);
  // The game's side of a team change: sets the team field and the "team"
  // info key, then reports the user-information change
  // (pfnClientUserInfoChanged).
  void SetTeam(int slot, int team);
  // A name change: the "name" info key takes the new name, then the change
  // is reported with the old name still in netname (as the engine's pre hook
  // sees it), then the netname is updated.
  void Rename(int slot, const std::string& name);
  // Sets the team field and the "team" info key without telling the plugin.
  void SetTeamSilently(int slot, int team);
  // A client that does not carry out the client commands the plugin sends
  // him (as one with an alias for each would): they still reach him and
  // count on his channel, the game never sees them.  Holds for this
  // connection, across map changes; a new connection obeys again.
  void SetIgnoresClientCommands(int slot, bool ignores);
  void SetDeadFlag(int slot, int deadflag);  // 0 alive, 2 dead
  void Kill(int slot) { SetDeadFlag(slot, DEAD_DEAD); }
  void Respawn(int slot) { SetDeadFlag(slot, DEAD_NO); }
  void SetFlags(int slot, int flags);
  void SetClassName(int slot, const std::string& className);
  void SetAuthId(int slot, const std::string& authId);
  // The game's ClientPutInServer for a client connected without a game
  // object: creates it.
  void PutInServer(int slot);
  bool IsConnected(int slot) const;
  std::string Name(int slot) const;  // the netname now, "" when none
  int Team(int slot) const;          // the team field now
  // pfnGetPlayerUserId's answer: each connection gets the next id from 1 on,
  // never reused (a reconnect gets a new one); -1 when no client is there.
  int UserId(int slot) const;
  // A key of the slot's info buffer as pfnInfoKeyValue reads it ("" when
  // absent); slot 0 reads the server's.  The engine keeps "name" (the name
  // as the engine holds it: at most 31 characters, without '\' and '"')
  // and the game keeps "team": "" in the ready room, "team_one" for team
  // 1, "team_two" for 2, "team_three" for 3, "team_four" for 4, and
  // "team" followed by the number for any other team (e.g. "team-1").  The
  // server's holds "*gamedir" ("mymod") and "maxplayers".
  std::string InfoKey(int slot, const std::string& key) const;

  // A client command through pfnClientCommand (words as pfnCmd_Argv gives
  // them); if the plugin does not supersede it, the game handles it: a "say"
  // line reaches every player's playerChat as "<name>: text", a "say_team"
  // line only his team mates'; "readyroom", "jointeamone", "jointeamtwo" and
  // "autoassign" move him (see Frame).  Returns the mres the plugin left.
  // MRES_UNSET when the slot is not connected.
  META_RES ClientCommand(int slot, const std::vector<std::string>& words);
  META_RES Say(int slot, const std::string& text);      // "say" text
  META_RES SayTeam(int slot, const std::string& text);  // "say_team" text
  // A line typed on the server console: the registered command's callback.
  // Returns false when no such command is registered.
  bool ServerCommand(const std::vector<std::string>& words);
  // A line typed on the server console as the engine reads it: a registered
  // command runs; else "status" lists the players; else a console variable's
  // name alone prints its value ("\"mm_kel_version\" is \"VERSION\""), and
  // with a value sets it.  False when the first word is none of these.
  bool ConsoleLine(const std::vector<std::string>& words);
  // The engine's "status": a line of counts, then one line per connected
  // player: slot, name, user id, auth id, team, alive or dead.
  void PrintStatus();

  // ---- console variables ----------------------------------------------
  // Sets a console variable, creating it when unknown (as the game's own or
  // a server.cfg line would); a value set before the plugin registers the
  // variable is kept at registration.
  void SetCvar(const std::string& name, const std::string& value);
  std::string Cvar(const std::string& name) const;  // "" when unknown
  bool HasCvar(const std::string& name) const;
  const std::vector<RegisteredCvar>& RegisteredCvars() const;
  const std::vector<std::string>& RegisteredCommands() const;

  // ---- observations -----------------------------------------------------
  // The console output split into lines, without line ends.  The manager's
  // pfnLogConsole formats into 1024 bytes and always appends a line end, so
  // a text that already ends in "\n" leaves an extra empty line here.
  const std::vector<std::string>& ConsoleLines() const;
  // pfnAlertMessage(at_logged) texts, each as formatted, line end included
  // (the engine adds none).
  const std::vector<std::string>& LogLines() const;
  // pfnLogError output split into lines like ConsoleLines (the manager
  // appends the line end here too).
  const std::vector<std::string>& ErrorLines() const;
  const ClientLog& Client(int slot) const;
  const std::vector<Event>& Events() const;
  void ClearObservations();  // empties all of the above
  // mres as the plugin left it after the last hook call.
  META_RES LastResult() const;
  // Faults the real host would not let pass: malformed messages, a hook that
  // left mres unset, calls with bad edicts.  Not emptied by
  // ClearObservations().
  const std::vector<std::string>& HostErrors() const;
  // True once the real server would have stopped (e.g. a user message over
  // 192 bytes); FatalReason() says why.
  bool Fatal() const;
  const std::string& FatalReason() const;
  // The library path as the manager reports it to the plugin
  // (pfnGetPluginPath): the private copy, in the directory it was loaded from.
  std::string PluginPath() const;
  // Directory the private copy lives in, for placing a player values file.
  std::string PluginDirectory() const;

  // ---- direct access, for tests of the entry points -----------------------
  edict_t* Edict(int index);
  const DLL_FUNCTIONS& GameHooks() const;       // as GetEntityAPI2 filled it
  const META_FUNCTIONS& MetaFunctions() const;  // as Meta_Attach filled it
  meta_globals_t& MetaGlobals();
  // The plugin information Meta_Query handed over; null when not loaded.
  const plugin_info_t* PluginInfo() const;
  void* Symbol(const char* name) const;  // dlsym on the loaded library
  // Calls pfnSpawn for an entity of the given class in a free non-player slot.
  META_RES SpawnEntity(const std::string& className);

 private:
  struct Impl;
  Impl* impl_;
};

// The rendering of one event used by kelsim transcripts.
std::string Describe(const Event& event);
// A team as kelsim names it: "readyroom", "marines", "aliens", else "team N".
std::string TeamWord(int team);

}  // namespace kelsim
