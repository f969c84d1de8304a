// Who issued the command being handled, and the two ways of answering him.
#pragma once

#include <string>

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
