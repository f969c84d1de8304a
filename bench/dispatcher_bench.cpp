// Every command any client sends, chat lines above all, passes the command
// word table before the game sees it.  For a chat line that is no command
// the ten word tests must stay within some tens of nanoseconds, a line that
// starts with "/" within a few hundred, and nothing is allocated.
#include <benchmark/benchmark.h>

#include "dispatcher.h"

namespace {

// The words of the table in the order the dispatcher tries them.
constexpr const char* kWords[] = {"kel", "showlast",  "sl",       "movelast", "ml",
                                  "rrr", "eventeams", "eventeam", "stv",      "kel_help"};

void MatchAll(const CommandWords& words) {
  for (const char* word : kWords) benchmark::DoNotOptimize(IsCommand(words, word));
}

void BM_IsCommandChatLineNoCommand(benchmark::State& state) {
  const CommandWords words{"say", "gg everyone, good round"};
  for (auto _ : state) MatchAll(words);
}
BENCHMARK(BM_IsCommandChatLineNoCommand);

// The worst ordinary case: a chat line that starts like a command.
void BM_IsCommandChatLineSlashPrefix(benchmark::State& state) {
  const CommandWords words{"say_team", "/kel_helpme"};
  for (auto _ : state) MatchAll(words);
}
BENCHMARK(BM_IsCommandChatLineSlashPrefix);

void BM_IsCommandGameCommand(benchmark::State& state) {
  const CommandWords words{"weapon_knife", ""};
  for (auto _ : state) MatchAll(words);
}
BENCHMARK(BM_IsCommandGameCommand);

}  // namespace
