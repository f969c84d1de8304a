// The engine's services for clients: printing to one (pfnClientPrintf), the
// limit of his reliable channel in a frame, user ids and info buffers.
#include <algorithm>
#include <cstdio>
#include <utility>

#include "sim_state.h"

namespace kelsim::detail {

namespace {

SimState& S() { return *g_state; }

using InfoPairs = std::vector<std::pair<std::string, std::string>>;

// "\key\value\key\value"; the leading backslash may be missing and a key
// without its value reads "".
InfoPairs ParseInfo(const char* buffer) {
  InfoPairs pairs;
  const char* p = buffer;
  if (*p == '\\') ++p;
  while (*p != '\0') {
    std::string key;
    while (*p != '\0' && *p != '\\') key += *p++;
    if (*p == '\\') ++p;
    std::string value;
    while (*p != '\0' && *p != '\\') value += *p++;
    if (*p == '\\') ++p;
    pairs.emplace_back(std::move(key), std::move(value));
  }
  return pairs;
}

// The keys the simulator sets stay far inside the buffer (a name of 31
// characters and a team name); anything longer would be cut, never overrun.
void WriteInfo(std::array<char, kInfoBufferLength>& buffer, const InfoPairs& pairs) {
  std::string text;
  for (const auto& [key, value] : pairs) {
    text += '\\';
    text += key;
    text += '\\';
    text += value;
  }
  (void)std::snprintf(buffer.data(), buffer.size(), "%s", text.c_str());
}

std::string TeamInfoName(int team) {
  switch (team) {
    case 0:
      return std::string();
    case 1:
      return "team_one";
    case 2:
      return "team_two";
    case 3:
      return "team_three";
    case 4:
      return "team_four";
    default:
      return "team" + std::to_string(team);
  }
}

}  // namespace

void SimState::SetTeamOf(int slot, int team) {
  edicts[static_cast<std::size_t>(slot)].v.team = team;
  SetInfoKey(slot, "team", TeamInfoName(team));
}

void SimState::SetInfoKey(int slot, const std::string& key, const std::string& value) {
  std::array<char, kInfoBufferLength>& buffer = infoBuffers[static_cast<std::size_t>(slot)];
  InfoPairs pairs = ParseInfo(buffer.data());
  std::erase_if(pairs, [&key](const auto& pair) { return pair.first == key; });
  // The engine allows neither backslashes nor quotes in an info value.
  std::string kept;
  for (char c : value)
    if (c != '\\' && c != '"' && c != '\0') kept += c;
  if (!kept.empty()) pairs.emplace_back(key, kept);
  WriteInfo(buffer, pairs);
}

void SimState::SetInfoName(int slot, const std::string& name) {
  SetInfoKey(slot, "name", name.substr(0, kMaxNameLength));
}

std::string SimState::InfoValue(const char* buffer, const std::string& key) {
  for (const auto& [name, value] : ParseInfo(buffer))
    if (name == key) return value;
  return std::string();
}

bool SimState::SendReliable(int slot, std::size_t bytes, bool print) {
  PlayerSlot& player = players[static_cast<std::size_t>(slot)];
  if (player.bot) return true;  // a fake client has no channel to overflow
  if (player.overflowed) return false;
  player.reliableBytes += bytes;
  player.printedThisFrame = player.printedThisFrame || print;
  if (player.reliableBytes <= kReliableBytesPerFrame || !player.printedThisFrame) return true;
  player.overflowed = true;
  HostError("reliable channel of slot " + std::to_string(slot) + " (" + NameOf(slot) +
            ") overflowed: " + std::to_string(player.reliableBytes) + " bytes in one frame, over " +
            std::to_string(kReliableBytesPerFrame) + "; the real server drops the client");
  return false;
}

void SimState::FlushReliable() {
  for (std::size_t slot = 1; slot < players.size(); ++slot) {
    PlayerSlot& player = players[slot];
    ClientLog& log = clients[slot];
    log.reliableBytesLastFrame = player.reliableBytes;
    log.reliableBytesMostInAFrame = std::max(log.reliableBytesMostInAFrame, player.reliableBytes);
    player.reliableBytes = 0;
    player.printedThisFrame = false;
    player.overflowed = false;
  }
}

void EngClientPrintf(edict_t* entity, PRINT_TYPE type, const char* text) {
  SimState& s = S();
  const int index = s.IndexOf(entity);
  if (index < 0) {
    s.HostError("pfnClientPrintf: not an edict of this server");
    return;
  }
  if (!text) {
    s.HostError("pfnClientPrintf: null text");
    return;
  }
  const int kind = static_cast<int>(type);
  if (kind != print_console && kind != print_center && kind != print_chat) {
    s.HostError("pfnClientPrintf: unknown print type " + std::to_string(kind));
    return;
  }
  const int slot = s.SlotOf(entity);
  if (slot == 0 || !s.players[static_cast<std::size_t>(slot)].connected) {
    s.ConsolePrint("ClientPrintf: entity " + std::to_string(index) +
                   " is no connected client, nothing sent\n");
    return;
  }
  if (s.players[static_cast<std::size_t>(slot)].bot) {
    s.ConsolePrint("ClientPrintf: " + s.NameOf(slot) + " is a fake client, nothing sent\n");
    return;
  }
  const std::string sent = text;
  // On the wire: the message type, the text and its terminator.
  if (!s.SendReliable(slot, sent.size() + 2, true)) return;
  ClientLog& log = s.clients[static_cast<std::size_t>(slot)];
  log.printed.push_back(ClientPrint{kind, sent});
  if (kind == print_console) {
    log.consolePending += sent;
    const std::size_t before = log.console.size();
    TakeLines(log.consolePending, log.console);
    for (std::size_t i = before; i < log.console.size(); ++i)
      s.Record(Event::Kind::PrintConsole, slot, log.console[i]);
  } else {
    s.Record(kind == print_center ? Event::Kind::PrintCenter : Event::Kind::PrintChat, slot, sent);
  }
}

char* EngGetInfoKeyBuffer(edict_t* entity) {
  SimState& s = S();
  if (!entity) return s.serverInfo.data();
  const int index = s.IndexOf(entity);
  if (index < 0) {
    s.HostError("pfnGetInfoKeyBuffer: not an edict of this server");
    return s.noInfo;
  }
  // A slot whose player left reads empty, like one never used.
  return s.IsPlayerSlot(index) ? s.infoBuffers[static_cast<std::size_t>(index)].data() : s.noInfo;
}

// The engine's signature takes a mutable key; it is only read.
char* EngInfoKeyValue(char* buffer, char* key) {  // NOLINT(readability-non-const-parameter)
  SimState& s = S();
  char* value = s.infoValues[s.nextInfoValue];
  s.nextInfoValue = (s.nextInfoValue + 1) % kInfoValueBuffers;
  value[0] = '\0';
  if (!buffer || !key) {
    s.HostError("pfnInfoKeyValue: null buffer or key");
    return value;
  }
  (void)std::snprintf(value, kInfoBufferLength, "%s", SimState::InfoValue(buffer, key).c_str());
  return value;
}

int EngGetPlayerUserId(edict_t* entity) {
  const int slot = S().SlotOf(entity);
  if (slot == 0 || !S().players[static_cast<std::size_t>(slot)].connected) return -1;
  return S().players[static_cast<std::size_t>(slot)].userId;
}

}  // namespace kelsim::detail
