// kelvalues: makes, imports and checks the plugin's player values file.
#include <cstdio>
#include <string>
#include <string_view>

#include "check.h"
#include "command_line.h"
#include "from_hlstats.h"
#include "from_logs.h"

namespace {

// One row per command: the dispatch and the usage text both read it.  Each
// command is given its own argument vector: argv[0] is the command's name,
// the rest are its arguments.
struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* usage;
};

const Command kCommands[] = {
    {"check", kelvalues::RunCheck,
     "check FILE\n"
     "      Says what the plugin would make of FILE and warns of what was likely not meant.\n"
     "      Exit status: 0 loads cleanly, 1 loads with warnings, 3 would not load, 2 usage.\n"},
    {"from-logs", kelvalues::RunFromLogs,
     "from-logs [--min-events N] [--half-life DAYS] [--average A] [-o FILE] LOG...\n"
     "      Rates every Steam id by the kills in server logs (files, .gz, folders) and writes\n"
     "      the values of players with at least N (20) counted kills and deaths.\n"
     "      Exit status: 0 written, 1 failed (nothing written), 2 usage.\n"},
    {"from-hlstats", kelvalues::RunFromHlstats,
     "from-hlstats (--host H [--port P] | --socket PATH) --user U --password-file F\n"
     "             --database D --game G [-o FILE] [--average A]\n"
     "      Writes the values of a stats database's ranked players of game G.\n"
     "      Exit status: 0 written, 1 failed (nothing written), 2 usage.\n"},
};

void PrintUsage() {
  (void)std::fputs("usage: kelvalues COMMAND ARGUMENTS\n", stdout);
  for (const Command& command : kCommands) {
    (void)std::fputs("  kelvalues ", stdout);
    (void)std::fputs(command.usage, stdout);
  }
  (void)std::fputs(
      "Commands that make a file write it to -o FILE (replaced only once complete), or else\n"
      "to standard output, and print a summary to standard error.\n",
      stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return kelvalues::UsageError("no command given; kelvalues --help lists them");
  const std::string_view name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage();
    return 0;
  }
  for (const Command& command : kCommands) {
    if (name == command.name) return command.run(argc - 1, argv + 1);
  }
  return kelvalues::UsageError("unknown command " + kelvalues::QuoteArgument(name) +
                               "; kelvalues --help lists them");
}
