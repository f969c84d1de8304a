// The game's standard server log lines, the form that log readers and stats
// sites parse: a player is written "NAME<UID><AUTHID><TEAM>", an event of
// his as `"…" triggered "ACTION"`, an event of the server itself as
// `World triggered "ACTION"`, each with an optional ` (KEY "VALUE")`.  The
// engine adds its "L date - time: " prefix; a line here is what follows it,
// ended by "\n".
//
// Every text in a line may come from a player (his name, the word he typed)
// and is cleaned and bounded before it is written, so that no text can end
// a field early, start a line of its own or be read as a format.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "reply.h"

struct edict_t;

// Who a line is about: a player's name, user id, authentication id and team
// (the game's `team` info key, "" in the ready room).
struct LogSubject {
  std::string_view name;
  int userId = 0;
  std::string_view authId;
  std::string_view team;
};

// Each text field is cut to this many bytes (at a UTF-8 character's start),
// so a line stays far below the log buffer's 1023 characters.
inline constexpr std::size_t kLogFieldMaxBytes = 63;

// A text as a log line may hold it: '"' becomes '\'', every control
// character (a line end among them) becomes ' ', and the result is cut to
// kLogFieldMaxBytes.
std::string LogFieldText(std::string_view text);

// `"NAME<UID><AUTHID><TEAM>" triggered "ACTION"`, then ` (KEY "VALUE")` when
// `key` is not empty, then "\n"; every text through LogFieldText.
std::string PlayerTriggeredLine(const LogSubject& who, std::string_view action,
                                std::string_view key = {}, std::string_view value = {});
// `World triggered "ACTION"`, with the same optional property and line end.
std::string WorldTriggeredLine(std::string_view action, std::string_view key = {},
                               std::string_view value = {});

// A world event, always written (the plugin's own decisions, such as arming
// the death-time move by itself).
void LogWorldTriggered(std::string_view action, std::string_view key = {},
                       std::string_view value = {});

// A line about `player` as the host knows him now (net name, user id, auth
// id, team info key).  Nothing for a null player.
void LogPlayerAction(edict_t* player, std::string_view action, std::string_view key = {},
                     std::string_view value = {});
// A line about whoever gave a command: the player, or, for the server
// console, a world event (`World triggered "ACTION"`).
void LogCallerAction(const CommandCaller& caller, std::string_view action,
                     std::string_view key = {}, std::string_view value = {});
