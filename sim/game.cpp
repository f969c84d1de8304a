// The game library's part: what it does with the client commands and chat
// lines that reach it, and how it moves players between teams.
#include "sim_state.h"

namespace kelsim::detail {

namespace {

bool SameWord(const std::string& a, const char* b) {
  return !CaseLess{}(a, b) && !CaseLess{}(b, a);
}

const char* TeamName(int team) {
  switch (team) {
    case 0:
      return "the ready room";
    case 1:
      return "the marines";
    case 2:
      return "the aliens";
    default:
      return "an unknown team";
  }
}

}  // namespace

META_RES SimState::RunClientCommand(int slot, const std::vector<std::string>& words) {
  if (words.empty()) return MRES_UNSET;  // the engine sends no empty command
  argStack.push_back(words);
  const META_RES result = HookClientCommand(EdictAt(slot));
  if (result != MRES_SUPERCEDE) GameClientCommand(slot, words);
  argStack.pop_back();
  return result;
}

void SimState::GameClientCommand(int slot, const std::vector<std::string>& words) {
  const std::string& command = words[0];
  const edict_t* self = EdictAt(slot);
  if (SameWord(command, "say") || SameWord(command, "say_team")) {
    std::string text;
    for (std::size_t i = 1; i < words.size(); ++i) text += (i > 1 ? " " : "") + words[i];
    if (text.empty()) return;
    const bool teamOnly = SameWord(command, "say_team");
    const std::string line = NameOf(slot) + ": " + text;
    for (int other = 1; other <= maxClients; ++other) {
      if (!players[static_cast<std::size_t>(other)].connected) continue;
      if (teamOnly && edicts[static_cast<std::size_t>(other)].v.team != self->v.team) continue;
      clients[static_cast<std::size_t>(other)].playerChat.push_back(line);
      Record(Event::Kind::PlayerChat, other, line);
    }
    return;
  }
  if (!self->pvPrivateData) return;  // no player object yet: the game ignores him
  if (SameWord(command, "readyroom")) {
    GameMovePlayer(slot, 0, "readyroom");
  } else if (SameWord(command, "jointeamone")) {
    GameMovePlayer(slot, 1, "jointeamone");
  } else if (SameWord(command, "jointeamtwo")) {
    GameMovePlayer(slot, 2, "jointeamtwo");
  } else if (SameWord(command, "autoassign")) {
    // The side with fewer players, not counting the mover; marines on a tie.
    GameMovePlayer(slot, CountTeam(1, slot) <= CountTeam(2, slot) ? 1 : 2, "autoassign");
  }
}

void SimState::GameMovePlayer(int slot, int team, const char* why) {
  edict_t* player = EdictAt(slot);
  const std::string name = NameOf(slot);
  if (player->v.team == team) {
    Note(std::string(why) + ": " + name + " is already in " + TeamName(team));
    return;
  }
  Record(Event::Kind::Note, slot,
         std::string(why) + ": the game moves " + name + " to " + TeamName(team));
  events.back().team = team;
  SetTeamOf(slot, team);
  HookClientUserInfoChanged(player);
}

void SimState::QueueClientText(int slot, const std::string& text) {
  // The client runs what it received as console input: each part ended by
  // a line end or ';' (outside quotes) is one command; an unended rest is
  // never run.
  std::string part;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == '\n' || (c == ';' && !quoted)) {
      std::vector<std::string> words = Tokenize(part);
      if (!words.empty()) clientCommandQueue.push_back(QueuedCommand{slot, std::move(words)});
      part.clear();
      quoted = false;
      continue;
    }
    part += c;
  }
  if (!Tokenize(part).empty())
    Note("\"" + part + "\" has no line end: " + NameOf(slot) + "'s client never runs it");
}

void SimState::ProcessClientCommands() {
  // Commands the plugin sends while these run arrive in a later frame.
  std::deque<QueuedCommand> batch;
  batch.swap(clientCommandQueue);
  for (const QueuedCommand& queued : batch) {
    if (!players[static_cast<std::size_t>(queued.slot)].connected) {
      Note("slot " + std::to_string(queued.slot) + " left before running \"" + queued.words[0] +
           "\"");
      continue;
    }
    if (players[static_cast<std::size_t>(queued.slot)].ignoresCommands) {
      Note(NameOf(queued.slot) + "'s client ignores \"" + queued.words[0] + "\"");
      continue;
    }
    RunClientCommand(queued.slot, queued.words);
  }
}

}  // namespace kelsim::detail
