// Recognises the ten command words and routes them to their actions.
#pragma once

#include "command_caller.h"
#include "host_api.h"

// The first two words of the command being handled, read from the host once.
struct CommandWords {
  const char* word0 = "";
  const char* word1 = "";
};
CommandWords ReadCommandWords();

// True when `words` is the command `word`: word 0 equal to it, or word 0
// "say"/"say_team" with word 1 equal to "/" + word.  ASCII case is ignored;
// nothing is trimmed.
bool IsCommand(const CommandWords& words, const char* word);

// From the pfnClientCommand hook, for a set-up player.  Sets mres.
void DispatchClientCommand(edict_t* edict, GameObject* player);
// From the server command callback.  Sets mres.
void DispatchServerCommand();

extern const char kHelpText[];
