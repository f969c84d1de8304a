// The engine's data: edicts, game objects, the string pool and the globals.
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "sim_state.h"

namespace kelsim::detail {

SimState* g_state = nullptr;

namespace {

// Extra entities beyond the world and the player slots.
constexpr int kExtraEntities = 32;
constexpr std::size_t kPoolBytes = 1 << 20;

// The game objects' table of virtual functions: the plugin reads only `pev`,
// so every virtual function is a trap.
constexpr int kObjectVirtuals = 64;
HostFn g_objectVtable[kObjectVirtuals];

std::string MakePrivateDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp != '\0' ? tmp : "/tmp") + "/kelsim.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("kelsim: cannot create " + pattern);
  return std::string(buffer.data());
}

}  // namespace

StringPool::StringPool() : buffer_(kPoolBytes, '\0') {}

string_t StringPool::Intern(const std::string& text) {
  if (text.empty()) return 0;
  auto found = index_.find(text);
  if (found != index_.end()) return found->second;
  // Texts with an embedded NUL would read back cut; they are stored as given.
  if (used_ + text.size() + 1 > buffer_.size()) {
    full_ = true;
    return 0;
  }
  const auto offset = static_cast<string_t>(used_);
  std::copy(text.begin(), text.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
  buffer_[used_ + text.size()] = '\0';
  used_ += text.size() + 1;
  index_.emplace(text, offset);
  return offset;
}

SimState::SimState(int maxClientsWanted)
    : maxClients(maxClientsWanted), maxEntities(maxClientsWanted + 1 + kExtraEntities) {
  assert(g_state == nullptr && "only one SimServer may exist at a time");
  if (maxClients < 1 || maxClients > 255) throw std::invalid_argument("kelsim: bad maxClients");
  directory = MakePrivateDirectory();
  g_state = this;
  FillTrapTable(g_objectVtable, kObjectVirtuals, TrapTable::GameObject);

  const auto count = static_cast<std::size_t>(maxEntities);
  edicts.resize(count);  // value-initialised: all zero
  objects.resize(count);
  players.resize(static_cast<std::size_t>(maxClients) + 1);
  clients.resize(static_cast<std::size_t>(maxClients) + 1);
  infoBuffers.resize(static_cast<std::size_t>(maxClients) + 1);
  (void)std::snprintf(serverInfo.data(), serverInfo.size(), "\\*gamedir\\mymod\\maxplayers\\%d",
                      maxClients);
  for (int i = 0; i < maxEntities; ++i) ClearEntity(i);

  edict_t& world = edicts[0];
  world.free = 0;
  world.v.classname = pool.Intern("worldspawn");
  world.pvPrivateData = objects.data();

  globals.maxClients = maxClients;
  globals.maxEntities = maxEntities;
  globals.pStringBase = pool.Base();

  FillEngineTable(engine);
  FillMetamodUtils(utils);
  FillTrapTable(reinterpret_cast<HostFn*>(&gameTable), sizeof(gameTable) / sizeof(HostFn),
                TrapTable::GameTable);
  FillTrapTable(gameNewTable.entries, 5, TrapTable::NewGameTable);
  gameLibrary.dllapi_table = &gameTable;
  gameLibrary.newapi_table = &gameNewTable;

  // The game library registers its messages before any plugin loads.
  RegisterUserMessage("TextMsg", -1);
  RegisterUserMessage("SayText", -1);
  RegisterUserMessage("TeamInfo", -1);
}

SimState::~SimState() {
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
  g_state = nullptr;
}

int SimState::IndexOf(const edict_t* entity) const {
  if (!entity || edicts.empty()) return -1;
  const edict_t* first = edicts.data();
  const edict_t* end = first + edicts.size();
  if (entity < first || entity >= end) return -1;
  return static_cast<int>(entity - first);
}

int SimState::SlotOf(const edict_t* entity) const {
  const int index = IndexOf(entity);
  return IsPlayerSlot(index) ? index : 0;
}

void SimState::ClearEntity(int index) {
  edict_t& entity = edicts[static_cast<std::size_t>(index)];
  const int serial = entity.serialnumber;
  entity = edict_t{};
  entity.free = 1;
  entity.serialnumber = serial + 1;
  entity.v.pContainingEntity = &entity;
  GameObjectLayout& object = objects[static_cast<std::size_t>(index)];
  object.vtable = g_objectVtable;
  object.pev = &entity.v;
}

void SimState::SetNetName(int slot, const std::string& name) {
  const string_t offset = pool.Intern(name);
  if (pool.Full()) HostError("the simulated string pool is full");
  edicts[static_cast<std::size_t>(slot)].v.netname = offset;
}

int SimState::CountTeam(int team, int exceptSlot) const {
  int count = 0;
  for (int slot = 1; slot <= maxClients; ++slot) {
    if (slot == exceptSlot || !players[static_cast<std::size_t>(slot)].connected) continue;
    if (edicts[static_cast<std::size_t>(slot)].v.team == team) ++count;
  }
  return count;
}

}  // namespace kelsim::detail
