// Who issued the command being handled, and the two ways of answering him.
#pragma once

#include <string>

#include "host_api.h"

struct CommandCaller {
  // Both null for the server console.
  edict_t* edict = nullptr;      // for the operator test
  GameObject* player = nullptr;  // for on-screen replies

  static CommandCaller ServerConsole() { return {}; }
  static CommandCaller Player(edict_t* edict, GameObject* player) { return {edict, player}; }
  bool IsServerConsole() const { return edict == nullptr && player == nullptr; }
};

// A short answer: HudAlert to a player, a console reply to the console.
void ReplyAlert(const CommandCaller& caller, const std::string& text);
// A long answer (report, help): HudInfo to a player, a console reply to the
// console.
void ReplyInfo(const CommandCaller& caller, const std::string& text);
