// Who issued the command being handled, and the two ways of answering him.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct edict_t;

struct CommandCaller {
  // The player who typed the command, or null for the server console.
  edict_t* player = nullptr;

  static CommandCaller ServerConsole() { return {}; }
  static CommandCaller Player(edict_t* player) { return {player}; }
  bool IsServerConsole() const { return player == nullptr; }
};

// A short answer: HudAlert to a player, a console reply to the console.
void ReplyAlert(const CommandCaller& caller, const std::string& text);
// A long answer (report, help): HudInfo to a player, a console reply to the
// console.
void ReplyInfo(const CommandCaller& caller, const std::string& text);

// What the replies to a player's own commands (on-screen answers and
// console copies) may send him in one server frame, counted as on the wire.
// His reliable channel carries about 4,000 bytes a frame in all on older
// engines, the server's own traffic included, and an overflow drops him from
// the server; a client can send many commands in one frame.  The replies
// of one command fit with room to spare (an answer of at most 511 bytes and
// one console copy of at most kConsoleCopyMaxBytes, two more bytes a line);
// a reply that would go past the budget is dropped whole, silently.  Notices
// and replies to other players are not counted here.
inline constexpr std::size_t kRepliesMaxBytesPerFrame = 3000;

// A copy of a long answer on a player's own client console, where an
// on-screen text too long for the screen can still be read whole: the lines
// of ConsoleCopyLines, one pfnClientPrintf call each.  Nothing for the server
// console (its answer is whole already) or for a bot, and at most one copy
// to a player in one server frame (a client can send many commands in one
// frame, and each copy takes up to kConsoleCopyMaxBytes of his reliable
// channel).
void CopyToPlayerConsole(const CommandCaller& caller, const std::string& text);
// The map start: the host clock starts again, and so do the frames counted
// above (console copies and reply bytes).
void ResetConsoleCopies();

// The most a console copy sends in all, its last line included: the
// client's reliable channel carries only a few kilobytes a frame, and an
// overflow drops the client.
inline constexpr std::size_t kConsoleCopyMaxBytes = 2000;
// The line that ends a console copy that had to be cut.
inline constexpr std::string_view kConsoleCopyCutLine =
    "(the rest is cut: too long for the console)\n";
// The lines of `text` (each with its line end, as far as the text has one)
// that a console copy prints: all of them when they fit in
// kConsoleCopyMaxBytes, else the first lines that fit with
// kConsoleCopyCutLine after them, which is then the last.
std::vector<std::string_view> ConsoleCopyLines(std::string_view text);
