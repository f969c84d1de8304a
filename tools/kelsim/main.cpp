// kelsim: runs a scenario script against the real plugin library inside the
// simulated server and prints what the players, the console and the log see;
// or opens a prompt where the steps are typed one at a time; or previews
// what eventeams would do with a list of players.
//
//   kelsim [--plugin PATH] [--values FILE] [--json] [--misalign-stack N] SCENARIO
//   kelsim [--plugin PATH] [--values FILE] [--json] --interactive
//   kelsim [--plugin PATH] [--values FILE] [--json] --then-interactive SCENARIO
//   kelsim preview --values FILE PLAYERS [--seed N] [--search quick|best] [--plugin PATH]
//   kelsim --version
//
// The scenario language is described in scenario.h and README.md.  Exit
// status: 0 all went well; 1 an expect step failed; 2 the script or the
// plugin could not be run, the server stopped (a fatal host error), or a
// line at the prompt was refused; 3 the host saw a fault of the plugin (a
// hook left mres unset, a malformed message, a call with a bad edict).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cleanup.h"
#include "line_reader.h"
#include "preview.h"
#include "runner.h"
#include "scenario.h"
#include "session.h"
#include "sim_server.h"
#include "transcript.h"

namespace {

void Usage(std::FILE* out) {
  (void)std::fprintf(
      out,
      "usage: kelsim [--plugin PATH] [--values FILE] [--json] [--misalign-stack N] SCENARIO\n"
      "       kelsim [--plugin PATH] [--values FILE] [--json] --interactive\n"
      "       kelsim [--plugin PATH] [--values FILE] [--json] --then-interactive SCENARIO\n"
      "       kelsim preview --values FILE PLAYERS [--seed N] [--search quick|best] "
      "[--plugin PATH]\n"
      "       kelsim --version\n"
      "  --plugin PATH        the plugin library (default: $KEL_PLUGIN_PATH, else the build's)\n"
      "  --values FILE        copy FILE beside the plugin as player_values.txt first\n"
      "  --json               the transcript as one JSON object a line\n"
      "  --interactive        a prompt to type steps at (also with no SCENARIO on a terminal)\n"
      "  --then-interactive   play SCENARIO, then open the prompt\n"
      "  --misalign-stack N   call the plugin with the stack N bytes (4, 8 or 12) off a\n"
      "                       16-byte boundary, as old engines may (i386 builds only)\n"
      "  preview exits 0 done, 2 usage, 3 plugin fault, 4 values file refused\n");
}

struct Options {
  std::string plugin;
  std::string values;
  std::string script;
  bool json = false;
  bool interactive = false;
  bool thenInteractive = false;
  int misalignStack = 0;
};

// --misalign-stack's bytes: 4, 8 or 12; -1 for anything else.
int MisalignmentOption(const std::string& text) {
  for (const int bytes : {4, 8, 12})
    if (text == std::to_string(bytes)) return bytes;
  return -1;
}

// What was wrong, then the usage; the exit status of a usage error.
int UsageError(const std::string& what) {
  (void)std::fprintf(stderr, "kelsim: %s\n", what.c_str());
  Usage(stderr);
  return 2;
}

// 0 parsed; -1 done (help or version shown); otherwise the exit status
// (the fault and the usage shown).
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--plugin" || arg == "--values") {
      if (i + 1 >= argc) return UsageError(arg + " needs a value");
      (arg == "--plugin" ? options.plugin : options.values) = argv[++i];
    } else if (arg == "--misalign-stack") {
      if (i + 1 >= argc) return UsageError(arg + " needs a value");
      options.misalignStack = MisalignmentOption(argv[++i]);
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--interactive") {
      options.interactive = true;
    } else if (arg == "--then-interactive") {
      options.thenInteractive = true;
    } else if (arg == "-h" || arg == "--help") {
      Usage(stdout);
      return -1;
    } else if (arg == "--version") {
      std::printf("kelsim %s\n", KELSIM_VERSION);
      return -1;
    } else if (arg.empty() || arg[0] == '-') {
      return UsageError("unknown option \"" + arg + "\"");
    } else if (!options.script.empty()) {
      return UsageError("one SCENARIO only (\"" + arg + "\" is a second)");
    } else {
      options.script = arg;
    }
  }
  const bool terminal = isatty(STDIN_FILENO) != 0;
  if (options.script.empty() && !options.thenInteractive && (options.interactive || terminal)) {
    options.interactive = true;
    return 0;
  }
  if (options.script.empty()) return UsageError("no SCENARIO");
  if (options.interactive && !options.thenInteractive)
    return UsageError("--interactive takes no SCENARIO (--then-interactive plays one first)");
  return 0;
}

std::string DefaultPlugin() {
  const char* fromEnvironment = std::getenv("KEL_PLUGIN_PATH");
  return fromEnvironment && *fromEnvironment != '\0' ? fromEnvironment : KEL_DEFAULT_PLUGIN;
}

}  // namespace

// The program's steps in order, each failing with its own message.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "preview")
    return kelsim::RunPreview(std::vector<std::string>(argv + 2, argv + argc), DefaultPlugin());

  Options options;
  if (const int status = ParseOptions(argc, argv, options); status != 0)
    return status < 0 ? 0 : status;
  if (options.plugin.empty()) options.plugin = DefaultPlugin();
  const bool prompt = options.interactive || options.thenInteractive;
  const std::string& script = options.script;

  std::vector<kelsim::Step> steps;
  if (!script.empty()) {
    std::string text;
    if (!kelsim::ReadFile(script, text)) {
      (void)std::fprintf(stderr, "kelsim: cannot read %s\n", script.c_str());
      return 2;
    }
    std::vector<std::string> errors;
    steps = kelsim::ParseScenario(text, errors);
    for (const std::string& error : errors)
      (void)std::fprintf(stderr, "%s:%s\n", script.c_str(), error.c_str());
    if (!errors.empty()) return 2;
  }

  long maxPlayers = 32;
  if (!steps.empty() && steps[0].verb == "maxplayers") {
    char* end = nullptr;
    maxPlayers = std::strtol(steps[0].args[0].c_str(), &end, 10);
    if (*end != '\0' || maxPlayers < 1 || maxPlayers > 64) {
      (void)std::fprintf(stderr, "%s:%d: maxplayers must be 1 to 64\n", script.c_str(),
                         steps[0].line);
      return 2;
    }
  }

  kelsim::SimServer server(static_cast<int>(maxPlayers));
  kelsim::RemoveOnSignal(server.PluginDirectory());
  if (options.misalignStack != 0 && !server.SetStackMisalignment(options.misalignStack)) {
    (void)std::fprintf(stderr,
                       "kelsim: --misalign-stack takes 4, 8 or 12, and only in an i386 build\n");
    return 2;
  }
  if (!options.values.empty()) {
    std::error_code failed;
    std::filesystem::copy_file(options.values, server.PluginDirectory() + "/player_values.txt",
                               std::filesystem::copy_options::overwrite_existing, failed);
    if (failed) {
      (void)std::fprintf(stderr, "kelsim: cannot copy %s: %s\n", options.values.c_str(),
                         failed.message().c_str());
      return 2;
    }
  }

  kelsim::Transcript transcript(options.json);
  const std::string directory = std::filesystem::path(script).parent_path().string();
  kelsim::Runner runner(server, transcript, static_cast<int>(maxPlayers),
                        directory.empty() ? "." : directory, options.plugin);
  runner.Narrate(0, "load " + std::filesystem::path(options.plugin).filename().string() + " (" +
                        std::to_string(maxPlayers) + " player slots)");
  if (!server.Load(options.plugin)) {
    runner.PrintNewEvents();
    (void)std::fprintf(stderr, "kelsim: cannot load %s: %s\n", options.plugin.c_str(),
                       server.LoadError().c_str());
    return 2;
  }
  runner.PrintNewEvents();

  for (const kelsim::Step& step : steps) {
    std::string error;
    if (!runner.Run(step, error)) {
      runner.PrintNewEvents();
      (void)std::fprintf(stderr, "%s:%d: %s\n", script.c_str(), step.line, error.c_str());
      return 2;
    }
    if (server.Fatal()) {
      (void)std::fprintf(stderr, "%s:%d: the server stopped: %s\n", script.c_str(), step.line,
                         server.FatalReason().c_str());
      return 2;
    }
  }

  std::size_t stepsRun = steps.size();
  std::size_t refused = 0;
  if (prompt) {
    const bool terminal = isatty(STDIN_FILENO) != 0;
    kelsim::LineReader reader(terminal);
    if (terminal) {
      if (!reader.Unavailable().empty())
        (void)std::fprintf(stderr, "kelsim: %s\n", reader.Unavailable().c_str());
      (void)std::fprintf(stderr,
                         "kelsim: the plugin is loaded; type a step, \"help\" for the list, "
                         "\"quit\" or Ctrl-D to leave\n");
    }
    runner.SetScriptDirectory(".");
    const kelsim::SessionResult session = kelsim::RunSession(server, runner, transcript, reader);
    stepsRun += session.steps;
    refused = session.refused;
    if (session.stopped) {
      (void)std::fprintf(stderr, "kelsim: the server stopped: %s\n", server.FatalReason().c_str());
      return 2;
    }
  }

  const std::size_t hostErrors = server.HostErrors().size();
  transcript.Summary(server.Time(), stepsRun, runner.FailedExpectations(), hostErrors, refused);
  if (refused > 0) return 2;
  if (runner.FailedExpectations() > 0) return 1;
  if (hostErrors > 0) return 3;
  return 0;
}
