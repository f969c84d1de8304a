// kelsim scenario scripts: one step a line, run against the simulated server.
//
// The language (see README.md beside this file for examples):
//
//   # a comment; blank lines are ignored
//   maxplayers N            the server's player slots (first step only; 32)
//   map NAME                start a map (the world spawns; the plugin resets)
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
//   console WORDS...        a command typed on the server console
//   wait SECONDS            run frames of 0.1 s for that long
//   frames N                run N frames of 0.1 s
//   rename OLD NEW          a name change
//   leave NAME              the player disconnects
//   userid NAME             print his user id (pfnGetPlayerUserId)
//   info NAME KEY           print a key of his info buffer (e.g. team)
//   seed N                  seed the C random generator (after a map start:
//                           a map start that loads the values file reseeds)
//   calendar SECONDS        set the calendar clock (time()) to SECONDS since
//                           1970; calendar +SECONDS moves it on.  Once set,
//                           every frame moves it on with the host clock
//   expect TEXT             a transcript line since the last expect holds TEXT
//   expect-not TEXT         no transcript line since the last expect holds TEXT
//
// Words are separated by blanks; "double quotes" keep blanks and may hold \"
// and \\.  TEXT is the rest of the line's words joined by single blanks.
#pragma once

#include <string>
#include <vector>

namespace kelsim {

struct Step {
  int line = 0;
  std::string source;  // the line as written, for narration
  std::string verb;
  std::vector<std::string> args;
};

// Splits a script line into words (quotes and escapes as above).  Returns
// false with `error` set on an unterminated quote.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error);

// Parses a whole script.  Unknown verbs and wrong argument counts are errors,
// reported as "LINE: message"; parsing goes on to report them all.
std::vector<Step> ParseScenario(const std::string& text, std::vector<std::string>& errors);

}  // namespace kelsim
