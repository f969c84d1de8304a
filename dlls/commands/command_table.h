// Every command of the plugin, one row each.
//
// The table drives all three uses of the words: the server console
// registers them (rows in order, each row's words in order), the dispatcher
// runs the row whose word a command names (words are unique, ASCII case
// ignored), and the help text lists the rows that have a help line, in the
// order of their helpPosition.  Adding a command is one row here.
#pragma once

#include <span>
#include <string>

#include "reply.h"

struct CommandRow {
  const char* words[2];  // the second may be null
  void (*action)(const CommandCaller& caller);
  // The help text's line for the row, without the "* " that marks an
  // operator's command, or null for a row the help text leaves out;
  // helpPosition orders the lines (1 first).
  const char* help;
  int helpPosition;
  bool operatorOnly;  // for players; the server console passes every gate
};

std::span<const CommandRow> CommandTable();

// The help text, the action of kel_help: a heading, then the help lines.
std::string HelpText();
