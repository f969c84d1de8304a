#include "reply.h"

#include <array>
#include <cstring>

#include "host_api.h"
#include "hud_text.h"
#include "server_output.h"

void ReplyAlert(const CommandCaller& caller, const std::string& text) {
  if (caller.IsServerConsole()) {
    ConsoleReply(text);
  } else {
    HudAlert(caller.player, text);
  }
}

void ReplyInfo(const CommandCaller& caller, const std::string& text) {
  if (caller.IsServerConsole()) {
    ConsoleReply(text);
  } else {
    HudInfo(caller.player, text);
  }
}

std::vector<std::string_view> ConsoleCopyLines(std::string_view text) {
  // A text that does not fit is cut, and the cut line needs its room.
  const std::size_t room = text.size() <= kConsoleCopyMaxBytes
                               ? text.size()
                               : kConsoleCopyMaxBytes - kConsoleCopyCutLine.size();
  std::vector<std::string_view> lines;
  std::size_t used = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    if (used + length > room) {
      lines.push_back(kConsoleCopyCutLine);
      return lines;
    }
    lines.push_back(text.substr(0, length));
    used += length;
    text.remove_prefix(length);
  }
  return lines;
}

namespace {

// The host time of the last console copy to each player slot, so that one
// frame (one value of the host clock) sends him one copy at most.  Slots
// above the table's size (no real server has them) get no copy.
constexpr int kCopySlots = 64;
std::array<float, kCopySlots> g_lastCopyTime{};  // slot 1 at [0]
std::array<bool, kCopySlots> g_copied{};

// True, and remembered, when `player` has had no copy in this frame.
bool FirstCopyThisFrame(edict_t* player) {
  const int slot = HostApi::IndexOfEdict(player);
  if (slot < 1 || slot > kCopySlots) return false;
  const auto index = static_cast<std::size_t>(slot - 1);
  const float now = HostApi::Time();
  if (g_copied[index] && g_lastCopyTime[index] == now) return false;
  g_copied[index] = true;
  g_lastCopyTime[index] = now;
  return true;
}

}  // namespace

void ResetConsoleCopies() { g_copied.fill(false); }

void CopyToPlayerConsole(const CommandCaller& caller, const std::string& text) {
  if (caller.IsServerConsole()) return;
  // The engine prints a warning for a bot and sends nothing.
  if (HostApi::IsFakeClient(HostApi::EdictVars(caller.player))) return;
  if (!FirstCopyThisFrame(caller.player)) return;
  char line[kConsoleCopyMaxBytes + 1];
  for (const std::string_view piece : ConsoleCopyLines(text)) {
    // A C string for the engine; a NUL inside a name ends the line there,
    // as it would on the screen.
    std::memcpy(line, piece.data(), piece.size());
    line[piece.size()] = '\0';
    HostApi::ClientPrint(caller.player, line);
  }
}
