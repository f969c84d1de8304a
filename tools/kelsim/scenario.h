// kelsim scenario scripts: one step a line, run against the simulated server.
//
// The language (see README.md beside this file for examples):
//
//   # a comment; blank lines are ignored
//   maxplayers N            the server's player slots (first step only; 32)
//   map NAME [keep-teams]   start a map: the world spawns, the plugin resets,
//                           every player rejoins in the ready room and bots
//                           are dropped, as in the game (keep-teams: the
//                           players stay where they are)
//   cvar NAME VALUE         set a console variable
//   cvar NAME               print a console variable
//   values FILE [AS]        copy a player values file beside the plugin (as AS,
//                           default player_values.txt); read at the next map
//   connect NAME ID [TEAM]  a player joins (and goes to TEAM)
//   connect-bot NAME [TEAM] a bot joins (auth id BOT, a fake client)
//   team NAME TEAM          the game moves him: marines|aliens|readyroom|N
//   kill NAME / respawn NAME
//   say NAME TEXT...        a chat line; say_team NAME TEXT... for his team
//   cmd NAME WORDS...       a command from his client console
//   console WORDS...        a line typed on the server console: a command,
//                           or a console variable's name (prints it) and
//                           value (sets it)
//   wait SECONDS            run frames of 0.1 s for that long
//   frames N                run N frames of 0.1 s
//   rename OLD NEW          a name change
//   leave NAME              the player disconnects
//   userid NAME             print his user id (pfnGetPlayerUserId)
//   info NAME KEY           print a key of his info buffer (e.g. team)
//   ignore-moves NAME       his client no longer runs the plugin's commands
//   obey-moves NAME         it runs them again
//   unload                  the plugin manager unloads the plugin mid-map
//   load                    and loads it again (Meta_Attach runs the map
//                           start; nobody's connection is replayed)
//   seed N                  seed the C random generator (after a map start:
//                           a map start that loads the values file reseeds)
//   calendar SECONDS        set the calendar clock (time()) to SECONDS since
//                           1970; calendar +SECONDS moves it on.  Once set,
//                           every frame moves it on with the host clock
//   status                  the server console's "status": slots, names, ids,
//                           teams, alive or dead
//   expect TEXT             a transcript line in the window holds TEXT
//   expect-not TEXT         no transcript line in the window holds TEXT
//                           (the window: the lines since the previous run of
//                           expect steps, so expect steps one after another
//                           all look at the same lines, in any order)
//   repeat N STEP...        STEP N times; in it {i} counts 1 to N, and {i+K}
//                           or {i-K} is the count plus or minus K:
//                             repeat 16 connect m{i} STEAM_0:0:{i} marines
//
// Words are separated by blanks; "double quotes" keep blanks and may hold \"
// and \\.  TEXT is the rest of the line's words joined by single blanks.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace kelsim {

struct Step {
  int line = 0;
  std::string source;  // the step as written (a repeated one as counted), for narration
  std::string verb;
  std::vector<std::string> args;
};

// One row of the language: the verb, how many words may follow it, and how
// `help` and error messages show it.
struct StepForm {
  const char* verb;
  int min;
  int max;  // -1: any number
  const char* usage;
  const char* summary;
};

// Every step of the language, in the order the README's table lists them.
std::span<const StepForm> StepForms();
// The row of `verb`, or null.
const StepForm* FindStep(const std::string& verb);

// Most times a repeat runs its step.
inline constexpr long kMaxRepeat = 1000;

// Reads the whole file at `path` into `text`; false when it cannot be read.
bool ReadFile(const std::string& path, std::string& text);

// Splits a script line into words (quotes and escapes as above).  Returns
// false with `error` set on an unterminated quote.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error);

// Parses one line, numbered `number`, into the steps it stands for (none for
// a blank or comment line, N for a repeat).  `firstStep` says whether no
// step came before (maxplayers may only come first).  False with `error`
// set (without the line number) when the line is not a valid step.
bool ParseLine(const std::string& line, int number, bool firstStep, std::vector<Step>& steps,
               std::string& error);

// Parses a whole script.  Unknown verbs and wrong argument counts are errors,
// reported as "LINE: message"; parsing goes on to report them all.
std::vector<Step> ParseScenario(const std::string& text, std::vector<std::string>& errors);

}  // namespace kelsim
