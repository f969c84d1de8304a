// kelvalues: makes, imports and checks the plugin's player values file.
#include <cstdio>
#include <string>
#include <string_view>

#include "check.h"
#include "command_line.h"
#include "from_hlstats.h"
#include "from_logs.h"
#include "plugin_version.h"

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
     "      Exit status: 0 loads cleanly, 1 loads with warnings (safe to install),\n"
     "      3 do not install (would not load, or an outlier moves the average by more\n"
     "      than half, or the values sum below 0), 2 usage.\n"},
    {"from-logs", kelvalues::RunFromLogs,
     "from-logs [--min-events N] [--half-life DAYS] [--average A] [--now EPOCH]\n"
     "          [--max-players M] [--skip-unreadable] [-o FILE] LOG...\n"
     "      Rates every Steam id by the kills in server logs (files, .gz, folders) and writes\n"
     "      the values of players with at least N (20) counted kills and deaths.  Kill lines\n"
     "      dated over a day after the clock (or EPOCH) are skipped; a file or folder that\n"
     "      cannot be read stops it unless skipped; more than M (1000000) players stop it.\n"
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
      "to standard output, and print a summary to standard error.  -o follows only symbolic\n"
      "links of root or of the running user, and writes into a folder others than its owner\n"
      "may write into only when run by that owner.\n"
      "  kelvalues COMMAND --help   the usage of one command\n"
      "  kelvalues --version        the version\n",
      stdout);
}

bool IsHelp(std::string_view word) { return word == "--help" || word == "-h"; }

// Whether a command's arguments ask for its usage: --help or -h before any
// "--" (after which all is file names).
bool AsksForHelp(int argc, char** argv) {
  for (int k = 1; k < argc && std::string_view(argv[k]) != "--"; ++k) {
    if (IsHelp(argv[k])) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return kelvalues::UsageError("no command given; kelvalues --help lists them");
  const std::string_view name = argv[1];
  if (IsHelp(name) || name == "help") {
    PrintUsage();
    return 0;
  }
  if (name == "--version") {
    (void)std::printf("kelvalues %s\n", kPluginVersion);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    if (AsksForHelp(argc - 1, argv + 1)) {
      (void)std::fputs("usage: kelvalues ", stdout);
      (void)std::fputs(command.usage, stdout);
      return 0;
    }
    return command.run(argc - 1, argv + 1);
  }
  return kelvalues::UsageError("unknown command " + kelvalues::QuoteArgument(name) +
                               "; kelvalues --help lists them");
}
