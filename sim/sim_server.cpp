// SimServer: the public face of the simulated server.
#include "sim_server.h"

#include <dlfcn.h>

#include <cstdlib>

#include "plugin_call.h"
#include "sim_state.h"

namespace kelsim {

struct SimServer::Impl : detail::SimState {
  using SimState::SimState;
};

namespace {

enum class Joiner { Player, PlayerWithoutObject, Bot };

// The engine's side of a client coming into his edict: a fresh set of
// variables with his name, alive, in the ready room (the game's "team" info
// key absent).
void FreshPlayerEdict(detail::SimState& s, int slot, const std::string& name, bool bot) {
  s.ClearEntity(slot);
  edict_t* player = s.EdictAt(slot);
  player->free = 0;
  player->v.classname = s.pool.Intern("player");
  s.SetNetName(slot, name);
  player->v.flags = bot ? FL_CLIENT | FL_FAKECLIENT : FL_CLIENT;
  player->v.deadflag = DEAD_NO;
  player->v.health = 100.0f;
  s.SetTeamOf(slot, 0);
}

// The hooks of a client coming in: ClientConnect, the game's player object
// (ClientPutInServer) unless he comes without one, the user information
// reported last.
void AnnounceClient(detail::SimState& s, int slot, const std::string& name, bool withObject) {
  edict_t* player = s.EdictAt(slot);
  s.HookClientConnect(player, name);
  if (withObject) {
    player->pvPrivateData = &s.objects[static_cast<std::size_t>(slot)];
    s.HookClientPutInServer(player);
  }
  s.HookClientUserInfoChanged(player);
}

// The engine's side of a client connecting, then the game's: a new user id
// and an info buffer holding his name; the game adds his team.
void ConnectSlot(detail::SimState& s, int slot, const std::string& name, const std::string& authId,
                 Joiner joiner) {
  detail::PlayerSlot& record = s.players[static_cast<std::size_t>(slot)];
  record = detail::PlayerSlot{};
  record.connected = true;
  record.authId = authId;
  record.userId = s.nextUserId++;
  record.bot = joiner == Joiner::Bot;
  s.infoBuffers[static_cast<std::size_t>(slot)].fill('\0');
  s.SetInfoName(slot, name);
  FreshPlayerEdict(s, slot, name, record.bot);
  s.clients[static_cast<std::size_t>(slot)] = ClientLog{};
  AnnounceClient(s, slot, name, joiner != Joiner::PlayerWithoutObject);
}

// pfnClientDisconnect, then the engine frees the client (not the edict).
void DisconnectSlot(detail::SimState& s, int slot) {
  edict_t* player = s.EdictAt(slot);
  const bool hooked = s.hooks.pfnClientDisconnect != nullptr;
  s.HookClientDisconnect(player);
  const bool superseded = hooked && s.lastResult == MRES_SUPERCEDE;
  // The engine frees the client, not the edict: the edict keeps its game
  // object, its name and id read empty from now on.
  s.players[static_cast<std::size_t>(slot)] = detail::PlayerSlot{};
  s.infoBuffers[static_cast<std::size_t>(slot)].fill('\0');
  s.SetNetName(slot, "");
  // The game's own disconnect handler, after the plugin's hook, puts the
  // leaver's team back to the ready room.
  if (!superseded) player->v.team = 0;
}

int FreeSlot(detail::SimState& s, int wanted) {
  if (wanted != 0) {
    const bool usable =
        s.IsPlayerSlot(wanted) && !s.players[static_cast<std::size_t>(wanted)].connected;
    return usable ? wanted : 0;
  }
  // The engine takes the lowest free slot.  Slots never used come first
  // here, so a departed player's edict stays as he left it (and observable)
  // until the slots run out; pass `slot` to reuse one on purpose.
  for (int slot = 1; slot <= s.maxClients; ++slot)
    if (s.EdictAt(slot)->free != 0) return slot;
  for (int slot = 1; slot <= s.maxClients; ++slot)
    if (!s.players[static_cast<std::size_t>(slot)].connected) return slot;
  return 0;
}

}  // namespace

namespace detail {

void SimState::LevelChangeDrops() {
  for (const QueuedCommand& queued : clientCommandQueue)
    Note("level change: " + NameOf(queued.slot) + "'s client never runs \"" + queued.words[0] +
         "\"");
  clientCommandQueue.clear();
  for (int slot = 1; slot <= maxClients; ++slot) {
    const PlayerSlot& player = players[static_cast<std::size_t>(slot)];
    if (!player.connected || !player.bot) continue;
    Note("level change: the engine drops the bot " + NameOf(slot));
    DisconnectSlot(*this, slot);
  }
  // The old map's entities go, departed players' edicts with them.
  for (int slot = 1; slot <= maxClients; ++slot)
    if (!players[static_cast<std::size_t>(slot)].connected) ClearEntity(slot);
}

void SimState::RejoinAtNewMap() {
  for (int slot = 1; slot <= maxClients; ++slot) {
    if (!players[static_cast<std::size_t>(slot)].connected) continue;
    const std::string name = NameOf(slot);
    FreshPlayerEdict(*this, slot, name, false);
    Record(Event::Kind::Note, slot, "level change: " + name + " rejoins in the ready room");
    events.back().team = 0;
    AnnounceClient(*this, slot, name, true);
  }
}

}  // namespace detail

SimServer::SimServer(int maxClients) : impl_(new Impl(maxClients)) { detail::UseRealCalendar(); }

SimServer::~SimServer() {
  Unload();
  delete impl_;
  detail::UseRealCalendar();
}

bool SimServer::SetStackMisalignment(int bytes) {
  if (bytes == 0 ||
      ((bytes == 4 || bytes == 8 || bytes == 12) && detail::StackMisalignmentSupported())) {
    impl_->stackMisalignment = bytes;
    return true;
  }
  return false;
}

bool SimServer::Load(const std::string& pluginPath, PLUG_LOADTIME now) {
  return impl_->LoadPlugin(pluginPath, now);
}
const std::string& SimServer::LoadError() const { return impl_->loadError; }
void SimServer::Unload() { impl_->UnloadPlugin(); }
bool SimServer::Loaded() const { return impl_->library != nullptr; }
bool SimServer::StayedMappedAtUnload() const { return impl_->stayedMapped; }

void SimServer::ChangeMap(const std::string& mapName, MapChange how) {
  detail::SimState& s = *impl_;
  const bool faithful = how == MapChange::ReadyRoom;
  if (faithful) s.LevelChangeDrops();
  for (int index = s.maxClients + 1; index < s.maxEntities; ++index) s.ClearEntity(index);
  s.clock = 1.0;
  s.globals.time = 1.0f;
  s.globals.mapname = s.pool.Intern(mapName);
  s.FlushReliable();
  s.HookSpawn(s.EdictAt(0));
  if (faithful) s.RejoinAtNewMap();
}

float SimServer::Time() const { return impl_->globals.time; }

void SimServer::Frame(float dt) {
  detail::SimState& s = *impl_;
  s.clock += dt;
  s.globals.time = static_cast<float>(s.clock);
  detail::AdvanceCalendar(dt);
  // The clients' commands arrive before the game's frame runs.
  s.ProcessClientCommands();
  s.HookStartFrame();
  s.FlushReliable();
}

void SimServer::RunUntil(float time, float dt) {
  do {
    Frame(dt);
  } while (impl_->clock + 1e-4 < time);
}

void SimServer::SetTime(float time) {
  impl_->clock = time;
  impl_->globals.time = time;
}

void SimServer::ProcessClientCommands() { impl_->ProcessClientCommands(); }
// A member although it needs no instance: seeding is part of what a server
// does for its session, and callers reach it through their server.
// NOLINTNEXTLINE(readability-convert-member-functions-to-static)
void SimServer::SeedRandom(unsigned seed) { std::srand(seed); }

// The calendar is the process's, as time() is: these are members because a
// server's session owns it while it runs (one SimServer at a time).
// NOLINTBEGIN(readability-convert-member-functions-to-static)
void SimServer::SetCalendarTime(long long secondsSinceEpoch) {
  detail::SetCalendar(secondsSinceEpoch);
}
void SimServer::AdvanceCalendarTime(double seconds) {
  if (!detail::CalendarSet()) detail::SetCalendar(detail::CalendarNow());
  detail::AdvanceCalendar(seconds);
}
void SimServer::UseRealCalendarTime() { detail::UseRealCalendar(); }
long long SimServer::CalendarTime() const { return detail::CalendarNow(); }
// NOLINTEND(readability-convert-member-functions-to-static)

int SimServer::Connect(const std::string& name, const std::string& authId, int slot) {
  const int chosen = FreeSlot(*impl_, slot);
  if (chosen != 0) ConnectSlot(*impl_, chosen, name, authId, Joiner::Player);
  return chosen;
}

int SimServer::ConnectWithoutGameObject(const std::string& name, const std::string& authId) {
  const int chosen = FreeSlot(*impl_, 0);
  if (chosen != 0) ConnectSlot(*impl_, chosen, name, authId, Joiner::PlayerWithoutObject);
  return chosen;
}

int SimServer::ConnectBot(const std::string& name, int slot) {
  const int chosen = FreeSlot(*impl_, slot);
  if (chosen != 0) ConnectSlot(*impl_, chosen, name, "BOT", Joiner::Bot);
  return chosen;
}

void SimServer::PutInServer(int slot) {
  detail::SimState& s = *impl_;
  if (!IsConnected(slot)) return;
  edict_t* player = s.EdictAt(slot);
  if (player->pvPrivateData) return;
  player->pvPrivateData = &s.objects[static_cast<std::size_t>(slot)];
  s.HookClientPutInServer(player);
}

void SimServer::Disconnect(int slot) {
  if (IsConnected(slot)) DisconnectSlot(*impl_, slot);
}

void SimServer::SetTeam(int slot, int team) {
  detail::SimState& s = *impl_;
  if (!s.IsPlayerSlot(slot)) return;
  s.SetTeamOf(slot, team);
  s.HookClientUserInfoChanged(s.EdictAt(slot));
}

void SimServer::Rename(int slot, const std::string& name) {
  detail::SimState& s = *impl_;
  if (!s.IsPlayerSlot(slot)) return;
  // The client's new user information reaches the engine first; the
  // plugin's pre hook still sees the old netname; the game's handler takes
  // the new one from the user information afterwards.
  s.SetInfoName(slot, name);
  if (s.HookClientUserInfoChanged(s.EdictAt(slot)) != MRES_SUPERCEDE) s.SetNetName(slot, name);
}

void SimServer::SetTeamSilently(int slot, int team) {
  if (impl_->IsPlayerSlot(slot)) impl_->SetTeamOf(slot, team);
}

void SimServer::SetIgnoresClientCommands(int slot, bool ignores) {
  if (IsConnected(slot)) impl_->players[static_cast<std::size_t>(slot)].ignoresCommands = ignores;
}

void SimServer::SetDeadFlag(int slot, int deadflag) {
  if (!impl_->IsPlayerSlot(slot)) return;
  entvars_t& vars = impl_->EdictAt(slot)->v;
  vars.deadflag = deadflag;
  vars.health = deadflag == DEAD_NO ? 100.0f : 0.0f;
}

void SimServer::SetFlags(int slot, int flags) {
  if (slot >= 0 && slot < impl_->maxEntities) impl_->EdictAt(slot)->v.flags = flags;
}

void SimServer::SetClassName(int slot, const std::string& className) {
  if (slot >= 0 && slot < impl_->maxEntities)
    impl_->EdictAt(slot)->v.classname = impl_->pool.Intern(className);
}

void SimServer::SetAuthId(int slot, const std::string& authId) {
  if (IsConnected(slot)) impl_->players[static_cast<std::size_t>(slot)].authId = authId;
}

bool SimServer::IsConnected(int slot) const {
  return impl_->IsPlayerSlot(slot) && impl_->players[static_cast<std::size_t>(slot)].connected;
}
std::string SimServer::Name(int slot) const { return impl_->NameOf(slot); }
int SimServer::Team(int slot) const {
  return impl_->IsPlayerSlot(slot) ? impl_->edicts[static_cast<std::size_t>(slot)].v.team : 0;
}
int SimServer::UserId(int slot) const {
  return IsConnected(slot) ? impl_->players[static_cast<std::size_t>(slot)].userId : -1;
}
std::string SimServer::InfoKey(int slot, const std::string& key) const {
  if (slot == 0) return detail::SimState::InfoValue(impl_->serverInfo.data(), key);
  if (!impl_->IsPlayerSlot(slot)) return std::string();
  return detail::SimState::InfoValue(impl_->infoBuffers[static_cast<std::size_t>(slot)].data(),
                                     key);
}

META_RES SimServer::ClientCommand(int slot, const std::vector<std::string>& words) {
  if (!IsConnected(slot)) {
    impl_->Note("slot " + std::to_string(slot) + " is not connected: no command from it");
    return MRES_UNSET;
  }
  return impl_->RunClientCommand(slot, words);
}
META_RES SimServer::Say(int slot, const std::string& text) {
  return ClientCommand(slot, {"say", text});
}
META_RES SimServer::SayTeam(int slot, const std::string& text) {
  return ClientCommand(slot, {"say_team", text});
}

bool SimServer::ServerCommand(const std::vector<std::string>& words) {
  detail::SimState& s = *impl_;
  if (words.empty()) return false;
  for (const detail::ServerCommandEntry& command : s.commands) {
    if (detail::CaseLess{}(command.name, words[0]) || detail::CaseLess{}(words[0], command.name))
      continue;
    if (!command.live) return false;
    s.argStack.push_back(words);
    detail::CallPlugin(s.stackMisalignment, command.handler);
    s.argStack.pop_back();
    return true;
  }
  return false;
}

bool SimServer::ConsoleLine(const std::vector<std::string>& words) {
  if (words.empty()) return false;
  if (ServerCommand(words)) return true;
  if (words[0] == "status") {
    PrintStatus();
    return true;
  }
  if (!HasCvar(words[0])) return false;
  detail::SimState& s = *impl_;
  detail::CvarEntry& cvar = s.CvarNamed(words[0]);
  // The engine's own wording; a value follows the name as its next word.
  if (words.size() == 1) {
    s.ConsolePrint("\"" + cvar.name + "\" is \"" + cvar.value + "\"\n");
  } else {
    cvar.Set(words[1]);
  }
  return true;
}

void SimServer::PrintStatus() {
  detail::SimState& s = *impl_;
  int active = 0;
  for (int slot = 1; slot <= s.maxClients; ++slot) active += IsConnected(slot) ? 1 : 0;
  s.ConsolePrint("players :  " + std::to_string(active) + " active (" +
                 std::to_string(s.maxClients) + " max)\n");
  s.ConsolePrint("#      name userid uniqueid team state\n");
  for (int slot = 1; slot <= s.maxClients; ++slot) {
    if (!IsConnected(slot)) continue;
    const detail::PlayerSlot& player = s.players[static_cast<std::size_t>(slot)];
    const bool dead = s.EdictAt(slot)->v.deadflag != DEAD_NO;
    s.ConsolePrint("#" + std::to_string(slot) + " \"" + Name(slot) + "\" " +
                   std::to_string(player.userId) + " " + player.authId + " " +
                   TeamWord(Team(slot)) + " " + (dead ? "dead" : "alive") + "\n");
  }
  s.ConsolePrint(std::to_string(active) + " users\n");
}

void SimServer::SetCvar(const std::string& name, const std::string& value) {
  impl_->CvarNamed(name).Set(value);
}

std::string SimServer::Cvar(const std::string& name) const {
  auto found = impl_->cvars.find(name);
  return found == impl_->cvars.end() ? std::string() : found->second.value;
}

bool SimServer::HasCvar(const std::string& name) const { return impl_->cvars.contains(name); }

const std::vector<RegisteredCvar>& SimServer::RegisteredCvars() const {
  return impl_->registeredCvars;
}
const std::vector<std::string>& SimServer::RegisteredCommands() const {
  return impl_->commandNames;
}

const std::vector<std::string>& SimServer::ConsoleLines() const { return impl_->consoleLines; }
const std::vector<std::string>& SimServer::LogLines() const { return impl_->logLines; }
const std::vector<std::string>& SimServer::ErrorLines() const { return impl_->errorLines; }

const ClientLog& SimServer::Client(int slot) const {
  static const ClientLog kNone{};
  return impl_->IsPlayerSlot(slot) ? impl_->clients[static_cast<std::size_t>(slot)] : kNone;
}

const std::vector<Event>& SimServer::Events() const { return impl_->events; }

void SimServer::ClearObservations() {
  detail::SimState& s = *impl_;
  s.consoleLines.clear();
  s.logLines.clear();
  s.errorLines.clear();
  s.consolePending.clear();
  s.errorPending.clear();
  for (ClientLog& client : s.clients) client = ClientLog{};
  s.events.clear();
}

META_RES SimServer::LastResult() const { return impl_->lastResult; }
const std::vector<std::string>& SimServer::HostErrors() const { return impl_->hostErrors; }
bool SimServer::Fatal() const { return impl_->fatal; }
const std::string& SimServer::FatalReason() const { return impl_->fatalReason; }

std::string SimServer::PluginPath() const { return impl_->pluginPath; }
std::string SimServer::PluginDirectory() const { return impl_->directory; }

edict_t* SimServer::Edict(int index) {
  return index >= 0 && index < impl_->maxEntities ? impl_->EdictAt(index) : nullptr;
}
const DLL_FUNCTIONS& SimServer::GameHooks() const { return impl_->hooks; }
const META_FUNCTIONS& SimServer::MetaFunctions() const { return impl_->metaFunctions; }
meta_globals_t& SimServer::MetaGlobals() { return impl_->metaGlobals; }
const plugin_info_t* SimServer::PluginInfo() const { return impl_->info; }

void* SimServer::Symbol(const char* name) const {
  return impl_->library && name ? dlsym(impl_->library, name) : nullptr;
}

META_RES SimServer::SpawnEntity(const std::string& className) {
  detail::SimState& s = *impl_;
  for (int index = s.maxClients + 1; index < s.maxEntities; ++index) {
    edict_t* entity = s.EdictAt(index);
    if (entity->free == 0) continue;
    s.ClearEntity(index);
    entity->free = 0;
    entity->v.classname = s.pool.Intern(className);
    entity->pvPrivateData = &s.objects[static_cast<std::size_t>(index)];
    s.lastResult = MRES_UNSET;
    s.HookSpawn(entity);
    return s.lastResult;
  }
  s.HostError("SpawnEntity: no free entity slot");
  return MRES_UNSET;
}

std::string TeamWord(int team) {
  switch (team) {
    case 0:
      return "readyroom";
    case 1:
      return "marines";
    case 2:
      return "aliens";
    default:
      return "team " + std::to_string(team);
  }
}

}  // namespace kelsim
