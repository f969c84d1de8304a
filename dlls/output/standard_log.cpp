#include "standard_log.h"

#include "bounded_text.h"
#include "host_api.h"
#include "server_output.h"

namespace {

// ` (KEY "VALUE")` when there is a key, then the line end.
void AppendPropertyAndEnd(std::string& line, std::string_view key, std::string_view value) {
  if (!key.empty()) {
    line += " (";
    line += LogFieldText(key);
    line += " \"";
    line += LogFieldText(value);
    line += "\")";
  }
  line += '\n';
}

// `"ACTION"`, quoted.
void AppendQuoted(std::string& line, std::string_view text) {
  line += '"';
  line += LogFieldText(text);
  line += '"';
}

void Write(const std::string& line) { LogToServer("%s", line.c_str()); }

}  // namespace

std::string LogFieldText(std::string_view text) {
  std::string clean(text.substr(0, PieceLength(text, kLogFieldMaxBytes)));
  for (char& c : clean) {
    // A '"' would end the field for a reader; a line end would start a line
    // that the player wrote.
    if (c == '"') c = '\'';
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return clean;
}

std::string PlayerTriggeredLine(const LogSubject& who, std::string_view action,
                                std::string_view key, std::string_view value) {
  std::string line = "\"";
  line += LogFieldText(who.name);
  line += '<';
  line += std::to_string(who.userId);
  line += "><";
  line += LogFieldText(who.authId);
  line += "><";
  line += LogFieldText(who.team);
  line += ">\" triggered ";
  AppendQuoted(line, action);
  AppendPropertyAndEnd(line, key, value);
  return line;
}

std::string WorldTriggeredLine(std::string_view action, std::string_view key,
                               std::string_view value) {
  std::string line = "World triggered ";
  AppendQuoted(line, action);
  AppendPropertyAndEnd(line, key, value);
  return line;
}

void LogWorldTriggered(std::string_view action, std::string_view key, std::string_view value) {
  Write(WorldTriggeredLine(action, key, value));
}

void LogPlayerAction(edict_t* player, std::string_view action, std::string_view key,
                     std::string_view value) {
  if (!player) return;
  // The host's texts are copied before the next call can rotate them.
  const std::string name = HostApi::NetName(HostApi::EdictVars(player));
  const std::string authId = HostApi::PlayerAuthId(player);
  const std::string team = HostApi::PlayerInfoKey(player, "team");
  const LogSubject who{name, HostApi::PlayerUserId(player), authId, team};
  Write(PlayerTriggeredLine(who, action, key, value));
}

void LogCallerAction(const CommandCaller& caller, std::string_view action, std::string_view key,
                     std::string_view value) {
  if (caller.IsServerConsole()) {
    LogWorldTriggered(action, key, value);
  } else {
    LogPlayerAction(caller.player, action, key, value);
  }
}
