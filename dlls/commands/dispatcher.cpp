#include "dispatcher.h"

#include "commands/balance.h"
#include "commands/manual_moves.h"
#include "roster/messages.h"
#include "values/even_teams.h"
#include "values/player_values.h"
#include "values/team_values.h"

const char kHelpText[] =
    "\"Kelvane\" (kel) commands\n"
    "\n"
    "To use: enter command at console or say /command\n"
    "* = admin only command\n"
    "\n"
    "stv - shows team values based on stats\n"
    "showlast or sl - show last player to join each team\n"
    "* kel - moves next player to die to even teams\n"
    "* movelast or ml - moves last player on the unbalanced team\n"
    "* rrr - randoms everyone in the readyroom\n"
    "* eventeams - assigns even teams based on stats\n";

namespace {

using HostApi::HookResult;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whole texts, ASCII case ignored; no locale, so other bytes compare as
// they are.
bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  }
  return *a == *b;
}

void ShowHelp(const CommandCaller& caller) { ReplyInfo(caller, kHelpText); }

void ShowTeamValuesIfLoaded(const CommandCaller& caller) {
  if (!PlayerValues::Instance().IsLoaded()) {
    LogToServer("kel warning: player values file not loaded\n");
    ReplyAlert(caller, "Sorry, player values not loaded\n");
    return;
  }
  ShowTeamValues(caller);
}

void AssignEvenTeamsIfLoaded(const CommandCaller& caller) {
  if (!PlayerValues::Instance().IsLoaded()) {
    // This wording whatever file kel_playervaluesfile names.
    LogToServer("kel warning: player_values.txt file not loaded\n");
    ReplyAlert(caller, "Sorry, player values not loaded\n");
    return;
  }
  AssignEvenTeams(caller);
}

struct CommandRow {
  const char* words[2];  // tried in this order; the second may be null
  bool operatorOnly;     // for players; the server console passes every gate
  void (*action)(const CommandCaller&);
};

// Tried in this order; the first match wins.
constexpr CommandRow kCommandTable[] = {
    {{"kel", nullptr}, true, ArmDeathMove},
    {{"showlast", "sl"}, false, ShowLastJoiners},
    {{"movelast", "ml"}, true, MoveLastJoiner},
    {{"rrr", nullptr}, true, EmptyReadyRoom},
    {{"eventeams", "eventeam"}, true, AssignEvenTeamsIfLoaded},
    {{"stv", nullptr}, false, ShowTeamValuesIfLoaded},
    {{"kel_help", nullptr}, false, ShowHelp},
};

// IsCommand for every word of the table, with the "say" form read once: a
// chat line would otherwise compare word 0 with "say" and "say_team" again
// for each of the ten words, and every chat line on the server passes here.
const CommandRow* FindRow(const CommandWords& words) {
  if (!words.word0) return nullptr;
  const char* slashWord = nullptr;  // word 1 after its "/", in the "say" form only
  if (words.word1 && words.word1[0] == '/' &&
      (EqualsIgnoringCase(words.word0, "say") || EqualsIgnoringCase(words.word0, "say_team"))) {
    slashWord = words.word1 + 1;
  }
  for (const CommandRow& row : kCommandTable) {
    for (const char* word : row.words) {
      if (!word) continue;
      if (EqualsIgnoringCase(words.word0, word) ||
          (slashWord && EqualsIgnoringCase(slashWord, word))) {
        return &row;
      }
    }
  }
  return nullptr;
}

void Dispatch(const CommandCaller& caller) {
  // Unless a row takes the command, the game handles it as without us.
  HostApi::SetHookResult(HookResult::Ignored);
  const CommandRow* row = FindRow(ReadCommandWords());
  if (!row) return;
  // A player without the rights gets no answer: the command goes on to the
  // game unchanged, so "/kel" shows in chat like any other line.
  if (row->operatorOnly && !caller.IsServerConsole() && !IsServerOperator(caller.edict)) return;
  HostApi::SetHookResult(HookResult::Supercede);
  row->action(caller);
}

}  // namespace

CommandWords ReadCommandWords() { return {HostApi::CommandArg(0), HostApi::CommandArg(1)}; }

bool IsCommand(const CommandWords& words, const char* word) {
  if (!word || !words.word0) return false;
  if (EqualsIgnoringCase(words.word0, word)) return true;
  // Most chat lines end here, before the "say" comparisons.
  if (!words.word1 || words.word1[0] != '/') return false;
  if (!EqualsIgnoringCase(words.word0, "say") && !EqualsIgnoringCase(words.word0, "say_team")) {
    return false;
  }
  // "/" + word, compared in place.
  return EqualsIgnoringCase(words.word1 + 1, word);
}

void DispatchClientCommand(edict_t* edict, GameObject* player) {
  Dispatch(CommandCaller::Player(edict, player));
}

void DispatchServerCommand() { Dispatch(CommandCaller::ServerConsole()); }

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
