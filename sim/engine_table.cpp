// The engine function table: the entries the plugin may call, each with the
// real engine's observable behaviour, and a trap in every other slot.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "sim_state.h"

namespace kelsim::detail {

namespace {

// ---------------------------------------------------------------- traps
constexpr int kMaxTrapEntries = 160;

template <TrapTable Table, int Index>
void Trap() {
  TrapHit(Table, Index);
}

template <TrapTable Table, std::size_t... Index>
constexpr std::array<HostFn, sizeof...(Index)> MakeTraps(
    std::index_sequence<Index...> /*indices*/) {
  return {&Trap<Table, static_cast<int>(Index)>...};
}

template <TrapTable Table>
const std::array<HostFn, kMaxTrapEntries>& Traps() {
  static constexpr auto traps = MakeTraps<Table>(std::make_index_sequence<kMaxTrapEntries>());
  return traps;
}

const char* TableName(TrapTable table) {
  switch (table) {
    case TrapTable::Engine:
      return "engine function";
    case TrapTable::MetamodUtils:
      return "plugin-manager utility";
    case TrapTable::GameTable:
      return "game library function";
    case TrapTable::NewGameTable:
      return "game library (new) function";
    case TrapTable::GameObject:
      return "game object virtual function";
  }
  return "table";
}

// Names of the engine entries near those the plugin uses, for trap messages.
const char* EngineEntryName(int index) {
  switch (index) {
    case 49:
      return "pfnWriteChar";
    case 51:
      return "pfnWriteLong";
    case 52:
      return "pfnWriteAngle";
    case 53:
      return "pfnWriteCoord";
    case 55:
      return "pfnWriteEntity";
    case 59:
      return "pfnCVarSetFloat";
    case 70:
      return "pfnEntOffsetOfPEntity";
    case 73:
      return "pfnFindEntityByVars";
    case 82:
      return "pfnCmd_Args";
    default:
      return nullptr;
  }
}

const char* UtilEntryName(int index) {
  static const char* const kNames[] = {
      "pfnLogConsole",   "pfnLogMessage",     "pfnLogError",         "pfnLogDeveloper",
      "pfnCenterSay",    "pfnCenterSayParms", "pfnCenterSayVarargs", "pfnCallGameEntity",
      "pfnGetUserMsgID", "pfnGetUserMsgName", "pfnGetPluginPath",    "pfnGetGameInfo",
  };
  return index >= 0 && index < 12 ? kNames[index] : nullptr;
}

// ------------------------------------------------------ engine entries
SimState& S() { return *g_state; }

// NOLINTNEXTLINE(cert-dcl50-cpp): the host table's C variadic signature
void EngClientCommand(edict_t* entity, char* format, ...) {
  if (!format) {
    S().HostError("pfnClientCommand: null format");
    return;
  }
  va_list args;
  va_start(args, format);
  const std::string text = FormatInto(1024, format, args);
  va_end(args);
  const int slot = S().SlotOf(entity);
  if (slot == 0) {
    S().HostError("pfnClientCommand: not a client edict (text \"" + text + "\")");
    return;
  }
  const bool connected = S().players[static_cast<std::size_t>(slot)].connected;
  // On the wire: the message type, the text and its terminator.
  if (connected && !S().SendReliable(slot, text.size() + 2)) return;
  S().clients[static_cast<std::size_t>(slot)].commands.push_back(text);
  S().Record(Event::Kind::ClientCommand, slot, text);
  if (!connected) {
    S().Note("slot " + std::to_string(slot) + " is not connected: the command goes nowhere");
    return;
  }
  S().QueueClientText(slot, text);
}

void EngCVarRegister(cvar_t* cvar) {
  if (!cvar || !cvar->name) {
    S().HostError("pfnCVarRegister: null cvar or name");
    return;
  }
  // The manager registers its own copy (the entry's `held` record, which
  // pfnCVarGetPointer hands out): the plugin's record is read here once and
  // never again.
  const std::string name = cvar->name;
  const std::string value = cvar->string ? cvar->string : "";
  auto found = S().cvars.find(name);
  if (found != S().cvars.end() && found->second.orphaned) {
    // A reloaded library: the manager hands back its copy, value and all.
    found->second.orphaned = false;
    return;
  }
  if (found != S().cvars.end() && found->second.registered) {
    S().ConsolePrint("Can't register variable " + name + ", already defined\n");
    return;
  }
  CvarEntry& entry = S().CvarNamed(name);
  // Set by the test before the plugin registered it, as a server.cfg line
  // would: that value stays.  Otherwise the plugin's default.
  if (found == S().cvars.end()) entry.Set(value);
  entry.held.flags = cvar->flags;
  entry.registered = true;
  S().registeredCvars.push_back(RegisteredCvar{name, value, cvar->flags});
}

CvarEntry* FindCvar(const char* name, const char* entry) {
  if (!name) {
    S().HostError(std::string(entry) + ": null name");
    return nullptr;
  }
  auto found = S().cvars.find(name);
  return found == S().cvars.end() ? nullptr : &found->second;
}

float EngCVarGetFloat(const char* name) {
  const CvarEntry* cvar = FindCvar(name, "pfnCVarGetFloat");
  return cvar ? cvar->held.value : 0.0f;
}

const char* EngCVarGetString(const char* name) {
  const CvarEntry* cvar = FindCvar(name, "pfnCVarGetString");
  // The pointer stays valid until the variable is next set, as the engine's.
  return cvar ? cvar->value.c_str() : "";
}

void EngCVarSetString(const char* name, const char* value) {
  if (!name || !value) {
    S().HostError("pfnCVarSetString: null name or value");
    return;
  }
  auto found = S().cvars.find(name);
  if (found == S().cvars.end()) {
    S().HostError(std::string("pfnCVarSetString: variable ") + name + " not found");
    return;
  }
  found->second.Set(value);
}

cvar_t* EngCVarGetPointer(const char* name) {
  CvarEntry* cvar = FindCvar(name, "pfnCVarGetPointer");
  // The engine's own record, not a copy: the plugin may keep the pointer.
  return cvar ? &cvar->held : nullptr;
}

// NOLINTNEXTLINE(cert-dcl50-cpp): the host table's C variadic signature
void EngAlertMessage(ALERT_TYPE level, char* format, ...) {
  if (!format) {
    S().HostError("pfnAlertMessage: null format");
    return;
  }
  va_list args;
  va_start(args, format);
  const std::string text = FormatInto(2048, format, args);
  va_end(args);
  if (level == at_logged) {
    // A multiplayer server: the line reaches the log as given, line end
    // included; the engine adds none.
    S().logLines.push_back(text);
    S().Record(Event::Kind::Log, 0, text);
  } else {
    S().ConsolePrint(text);
  }
}

edict_t* EngPEntityOfEntOffset(int offset) {
  const int size = static_cast<int>(sizeof(edict_t));
  if (offset < 0 || offset % size != 0 || offset / size >= S().maxEntities) {
    S().HostError("pfnPEntityOfEntOffset: bad offset " + std::to_string(offset));
    return nullptr;
  }
  return S().EdictAt(offset / size);
}

int EngIndexOfEdict(const edict_t* entity) {
  const int index = S().IndexOf(entity);
  if (index < 0) {
    S().HostError("pfnIndexOfEdict: not an edict of this server");
    return 0;
  }
  return index;
}

edict_t* EngPEntityOfEntIndex(int index) {
  if (index < 0 || index >= S().maxEntities) return nullptr;
  edict_t* entity = S().EdictAt(index);
  // A player slot never connected is a free edict: the engine gives null.
  // A slot whose player left is not free and still answers.
  return entity->free != 0 ? nullptr : entity;
}

int EngRegUserMsg(const char* name, int size) {
  if (!name) {
    S().HostError("pfnRegUserMsg: null name");
    return 0;
  }
  return S().RegisterUserMessage(name, size);
}

const char* EngCmdArgv(int index) {
  if (S().argStack.empty()) return "";
  const std::vector<std::string>& words = S().argStack.back();
  if (index < 0 || index >= static_cast<int>(words.size())) return "";
  return words[static_cast<std::size_t>(index)].c_str();
}

int EngCmdArgc(void) {
  return S().argStack.empty() ? 0 : static_cast<int>(S().argStack.back().size());
}

void EngAddServerCommand(char* name, void (*handler)(void)) {
  if (!name || !handler) {
    S().HostError("pfnAddServerCommand: null name or handler");
    return;
  }
  for (ServerCommandEntry& command : S().commands) {
    if (CaseLess{}(command.name, name) || CaseLess{}(name, command.name)) continue;
    if (command.live) {
      S().ConsolePrint(std::string("Cmd_AddCommand: ") + name + " already defined\n");
    } else {
      // A reloaded library takes its command back.
      command.handler = handler;
      command.live = true;
    }
    return;
  }
  S().commands.push_back(ServerCommandEntry{name, handler, true});
  S().commandNames.emplace_back(name);
}

const char* EngGetPlayerAuthId(edict_t* entity) {
  SimState& s = S();
  char* buffer = s.authIds[s.nextAuthId];
  s.nextAuthId = (s.nextAuthId + 1) % kAuthIdBuffers;
  buffer[0] = '\0';
  const int slot = s.SlotOf(entity);
  // A slot whose player left answers an empty id, as the engine does.
  // A bounded copy, as the engine hands out its stored text (no formatting,
  // which would make the sim's part of every id look-up cost more than the
  // plugin's own).
  if (slot != 0 && s.players[static_cast<std::size_t>(slot)].connected) {
    const std::string& id = s.players[static_cast<std::size_t>(slot)].authId;
    const std::size_t length = std::min(id.size(), kAuthIdLength - 1);
    std::memcpy(buffer, id.data(), length);
    buffer[length] = '\0';
  }
  return buffer;
}

}  // namespace

CvarEntry::CvarEntry(const std::string& cvarName) : name(cvarName) {
  held.name = name.c_str();
  held.string = value.c_str();
}

void CvarEntry::Set(const std::string& text) {
  value = text;
  held.string = value.c_str();
  held.value = std::strtof(value.c_str(), nullptr);
}

CvarEntry& SimState::CvarNamed(const std::string& name) {
  return cvars.try_emplace(name, name).first->second;
}

[[noreturn]] void TrapHit(TrapTable table, int index) {
  const char* name = nullptr;
  if (table == TrapTable::Engine) name = EngineEntryName(index);
  if (table == TrapTable::MetamodUtils) name = UtilEntryName(index);
  const std::string what = std::string(TableName(table)) + " entry " + std::to_string(index) +
                           (name ? std::string(" (") + name + ")" : std::string());
  if (g_state) g_state->HostError("unexpected call to " + what);
  (void)std::fprintf(stderr,
                     "kelsim: the plugin called %s, which the simulated server does not provide; "
                     "aborting\n",
                     what.c_str());
  (void)std::fflush(stderr);
  std::abort();
}

void FillTrapTable(HostFn* entries, int count, TrapTable which) {
  const std::array<HostFn, kMaxTrapEntries>* traps = nullptr;
  switch (which) {
    case TrapTable::Engine:
      traps = &Traps<TrapTable::Engine>();
      break;
    case TrapTable::MetamodUtils:
      traps = &Traps<TrapTable::MetamodUtils>();
      break;
    case TrapTable::GameTable:
      traps = &Traps<TrapTable::GameTable>();
      break;
    case TrapTable::NewGameTable:
      traps = &Traps<TrapTable::NewGameTable>();
      break;
    case TrapTable::GameObject:
      traps = &Traps<TrapTable::GameObject>();
      break;
  }
  for (int i = 0; i < count && i < kMaxTrapEntries; ++i)
    entries[i] = (*traps)[static_cast<std::size_t>(i)];
}

void FillEngineTable(EngineTable& table) {
  FillTrapTable(reinterpret_cast<HostFn*>(&table), kEngineTableEntries, TrapTable::Engine);
  enginefuncs_t& e = table.prefix;
  e.pfnClientCommand = EngClientCommand;
  e.pfnMessageBegin = EngMessageBegin;
  e.pfnMessageEnd = EngMessageEnd;
  e.pfnWriteByte = EngWriteByte;
  e.pfnWriteShort = EngWriteShort;
  e.pfnWriteString = EngWriteString;
  e.pfnCVarRegister = EngCVarRegister;
  e.pfnCVarGetFloat = EngCVarGetFloat;
  e.pfnCVarGetString = EngCVarGetString;
  e.pfnCVarSetString = EngCVarSetString;
  e.pfnAlertMessage = EngAlertMessage;
  e.pfnPEntityOfEntOffset = EngPEntityOfEntOffset;
  e.pfnIndexOfEdict = EngIndexOfEdict;
  e.pfnPEntityOfEntIndex = EngPEntityOfEntIndex;
  e.pfnRegUserMsg = EngRegUserMsg;
  e.pfnClientPrintf = EngClientPrintf;
  e.pfnCmd_Argv = EngCmdArgv;
  e.pfnCmd_Argc = EngCmdArgc;
  e.pfnGetInfoKeyBuffer = EngGetInfoKeyBuffer;
  e.pfnInfoKeyValue = EngInfoKeyValue;
  e.pfnGetPlayerUserId = EngGetPlayerUserId;
  e.pfnCVarGetPointer = EngCVarGetPointer;
  e.pfnAddServerCommand = EngAddServerCommand;
  e.pfnGetPlayerAuthId = EngGetPlayerAuthId;
}

}  // namespace kelsim::detail
