#include "command_table.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "balance_watch.h"
#include "manual_moves.h"
#include "skill_commands.h"
#include "status_command.h"

namespace {

void ShowHelp(const CommandCaller& caller) { ReplyInfo(caller, HelpText()); }

// words, action, help line, its position, operator only
constexpr CommandRow kCommandTable[] = {
    {{"kel", nullptr}, ArmDeathMove, "kel - moves next player to die to even teams", 3, true},
    {{"kel_help", nullptr}, ShowHelp, nullptr, 0, false},
    {{"sl", "showlast"},
     ShowLastJoiners,
     "showlast or sl - show last player to join each team",
     2,
     false},
    {{"ml", "movelast"},
     MoveLastJoiner,
     "movelast or ml - moves last player on the unbalanced team",
     4,
     true},
    {{"rrr", nullptr}, EmptyReadyRoom, "rrr - randoms everyone in the readyroom", 5, true},
    {{"stv", nullptr}, ShowTeamValuesCommand, "stv - shows team values based on stats", 1, false},
    {{"eventeam", "eventeams"},
     AssignEvenTeamsCommand,
     "eventeams - assigns even teams based on stats",
     6,
     true},
    {{"kel_cancel", nullptr}, CancelDeathMoveCommand, "kel_cancel - stops kel", 8, true},
    {{"kel_reload", nullptr},
     ReloadPlayerValuesCommand,
     "kel_reload - rereads values file",
     9,
     true},
    {{"kel_status", nullptr}, ShowStatusCommand, "kel_status - shows balance state", 7, true},
};

constexpr char kHelpHeading[] =
    "\"Kelvane\" (kel) commands\n"
    "\n"
    "To use: enter command at console or say /command\n"
    "* = admin only command\n"
    "\n";

}  // namespace

std::span<const CommandRow> CommandTable() { return kCommandTable; }

std::string HelpText() {
  std::array<const CommandRow*, std::size(kCommandTable)> listed{};
  std::size_t count = 0;
  for (const CommandRow& row : kCommandTable) {
    if (row.help) listed[count++] = &row;
  }
  std::stable_sort(
      listed.begin(), listed.begin() + static_cast<std::ptrdiff_t>(count),
      [](const CommandRow* a, const CommandRow* b) { return a->helpPosition < b->helpPosition; });
  std::string text = kHelpHeading;
  for (std::size_t i = 0; i < count; ++i) {
    if (listed[i]->operatorOnly) text += "* ";
    text += listed[i]->help;
    text += '\n';
  }
  return text;
}
