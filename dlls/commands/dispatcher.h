// Recognises the command words and routes them to their actions (the rows
// of command_table.h).
#pragma once

#include "command_table.h"

struct edict_t;

// The first two words of the command being handled, read from the host once.
struct CommandWords {
  const char* word0 = "";
  const char* word1 = "";
};
CommandWords ReadCommandWords();

// Whole texts, ASCII case ignored; no locale, so other bytes compare as they
// are.
bool EqualsIgnoringCase(const char* a, const char* b);

// The "say /word" rule: the chat text after its "/" when word 0 is "say" or
// "say_team" (ASCII case ignored) and word 1 starts with "/"; null otherwise.
const char* SlashWord(const CommandWords& words);
// The command word as the caller typed it: the chat text after its "/" in
// the say form, otherwise word 0.
const char* TypedWord(const CommandWords& words);
// True when `words` is the command `word`: word 0 equal to it, or the say
// form's SlashWord equal to it.  ASCII case is ignored; nothing is trimmed.
bool IsCommand(const CommandWords& words, const char* word);
// The row whose word `words` names, or null.
const CommandRow* FindCommand(const CommandWords& words);

// From the pfnClientCommand hook, for a player the game has set up, after
// the hook has set mres to MRES_IGNORED: a command the plugin takes, or a
// join kel_limitjoin refuses, turns it to MRES_SUPERCEDE.
void DispatchClientCommand(edict_t* player);
// From the server command callback, the same way.
void DispatchServerCommand();
