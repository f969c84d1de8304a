#include "dispatcher.h"

#include "host_api.h"
#include "join_limit.h"
#include "operators.h"
#include "standard_log.h"

namespace {

using HostApi::HookResult;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The test of one word, with the say form already read (null when the
// command is not one).
bool NamesWord(const CommandWords& words, const char* slashWord, const char* word) {
  return EqualsIgnoringCase(words.word0, word) ||
         (slashWord != nullptr && EqualsIgnoringCase(slashWord, word));
}

// A command a row takes: the operator gate, then the action.  Kept out of
// line, so that the lines no row takes (every chat line on the server) pay
// for none of it.
[[gnu::noinline]] void Take(const CommandCaller& caller, const CommandRow& row,
                            const CommandWords& words) {
  // A player without the rights gets no answer: the command goes on to the
  // game unchanged, so "/kel" shows in chat like any other line.
  if (row.operatorOnly && !caller.IsServerConsole() && !IsServerOperator(caller.player)) return;
  HostApi::SetHookResult(HookResult::Supercede);
  if (row.operatorOnly) LogCallerAction(caller, "kel_command", "command", TypedWord(words));
  row.action(caller);
}

// Unless a row takes the command, the result stays MRES_IGNORED (set by the
// hook's guard) and the game handles the command as without us.
void Dispatch(const CommandCaller& caller) {
  const CommandWords words = ReadCommandWords();
  const CommandRow* row = FindCommand(words);
  if (row) Take(caller, *row, words);
}

}  // namespace

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  }
  return *a == *b;
}

CommandWords ReadCommandWords() { return {HostApi::CommandArg(0), HostApi::CommandArg(1)}; }

const char* SlashWord(const CommandWords& words) {
  // Most chat lines end here, before the "say" comparisons.
  if (!words.word0 || !words.word1 || words.word1[0] != '/') return nullptr;
  if (!EqualsIgnoringCase(words.word0, "say") && !EqualsIgnoringCase(words.word0, "say_team")) {
    return nullptr;
  }
  return words.word1 + 1;
}

const char* TypedWord(const CommandWords& words) {
  const char* slashWord = SlashWord(words);
  return slashWord != nullptr ? slashWord : words.word0;
}

bool IsCommand(const CommandWords& words, const char* word) {
  if (!word || !words.word0) return false;
  return NamesWord(words, SlashWord(words), word);
}

const CommandRow* FindCommand(const CommandWords& words) {
  if (!words.word0) return nullptr;
  // The say form is read once per line, not once per word: every chat line
  // on the server passes here.
  const char* slashWord = SlashWord(words);
  // The table's words are lower case: a word whose first letter is neither
  // typed one cannot match, and most commands (weapons, movement, chat)
  // share no first letter with any of them.
  const char typedFirst = LowerAscii(words.word0[0]);
  const char slashFirst = slashWord != nullptr ? LowerAscii(slashWord[0]) : '\0';
  for (const CommandRow& row : CommandTable()) {
    for (const char* word : row.words) {
      if (!word || (word[0] != typedFirst && (slashWord == nullptr || word[0] != slashFirst))) {
        continue;
      }
      if (NamesWord(words, slashWord, word)) return &row;
    }
  }
  return nullptr;
}

void DispatchClientCommand(edict_t* player) {
  // The engine's number for kel_limitjoin: joins are looked at only when it
  // is not 0, so that every other command pays one read.
  if (HostApi::CvarValue(Cvar::LimitJoin) != 0.0f) [[unlikely]] {
    if (RefuseJoinCommand(player)) {
      HostApi::SetHookResult(HookResult::Supercede);
      return;
    }
  }
  Dispatch(CommandCaller::Player(player));
}

void DispatchServerCommand() { Dispatch(CommandCaller::ServerConsole()); }
