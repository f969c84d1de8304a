#include "reply.h"

#include <array>
#include <cstring>

#include "host_api.h"
#include "hud_text.h"
#include "server_output.h"

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

// What each player slot was sent in the current frame (one value of the
// host clock) as replies to his own commands.  Slots above the table's size
// (no real server has them) get no reply on screen or console.
constexpr int kReplySlots = 64;
struct FrameReplies {
  float time = 0.0f;
  bool any = false;     // `time` is set: this slot was replied to since the map started
  bool copied = false;  // a console copy went in that frame
  std::size_t bytes = 0;
};
std::array<FrameReplies, kReplySlots> g_replies{};  // slot 1 at [0]

// The record of `player`'s replies in this frame; null for no player slot.
FrameReplies* RepliesThisFrame(edict_t* player) {
  const int slot = HostApi::IndexOfEdict(player);
  if (slot < 1 || slot > kReplySlots) return nullptr;
  FrameReplies& replies = g_replies[static_cast<std::size_t>(slot - 1)];
  const float now = HostApi::Time();
  if (!replies.any || replies.time != now) replies = FrameReplies{now, true, false, 0};
  return &replies;
}

// True, and counted, when `bytes` more keep this frame's replies within
// kRepliesMaxBytesPerFrame; a reply that does not fit is dropped whole.
bool Fits(FrameReplies& replies, std::size_t bytes) {
  if (bytes > kRepliesMaxBytesPerFrame - replies.bytes) return false;
  replies.bytes += bytes;
  return true;
}

void ReplyOnScreen(edict_t* player, const HudTextParams& style, const std::string& text) {
  FrameReplies* replies = RepliesThisFrame(player);
  if (replies && Fits(*replies, HudTextWireBytes(style, text))) SendHudText(player, style, text);
}

}  // namespace

void ReplyAlert(const CommandCaller& caller, const std::string& text) {
  if (caller.IsServerConsole()) {
    ConsoleReply(text);
  } else {
    ReplyOnScreen(caller.player, kHudAlertStyle, text);
  }
}

void ReplyInfo(const CommandCaller& caller, const std::string& text) {
  if (caller.IsServerConsole()) {
    ConsoleReply(text);
  } else {
    ReplyOnScreen(caller.player, kHudInfoStyle, text);
  }
}

void ResetConsoleCopies() { g_replies.fill(FrameReplies{}); }

void CopyToPlayerConsole(const CommandCaller& caller, const std::string& text) {
  if (caller.IsServerConsole()) return;
  // The engine prints a warning for a bot and sends nothing.
  if (HostApi::IsFakeClient(HostApi::EdictVars(caller.player))) return;
  FrameReplies* replies = RepliesThisFrame(caller.player);
  if (!replies || replies->copied) return;
  replies->copied = true;
  const std::vector<std::string_view> lines = ConsoleCopyLines(text);
  std::size_t bytes = 0;
  // On the wire each line is its type byte, its text and its terminator.
  for (const std::string_view piece : lines) bytes += piece.size() + 2;
  if (!Fits(*replies, bytes)) return;
  char line[kConsoleCopyMaxBytes + 1];
  for (const std::string_view piece : lines) {
    // A C string for the engine; a NUL inside a name ends the line there,
    // as it would on the screen.
    std::memcpy(line, piece.data(), piece.size());
    line[piece.size()] = '\0';
    HostApi::ClientPrint(caller.player, line);
  }
}
