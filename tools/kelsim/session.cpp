#include "session.h"

#include <vector>

#include "scenario.h"

namespace kelsim {

namespace {

constexpr const char* kPrompt = "kelsim> ";

void PrintSpec(std::FILE* out, const char* usage, const char* summary) {
  (void)std::fprintf(out, "  %-26s %s\n", usage, summary);
}

}  // namespace

void PrintHelp(std::FILE* out, const std::string& verb) {
  if (!verb.empty()) {
    const StepSpec* spec = FindStep(verb);
    if (spec) {
      PrintSpec(out, spec->usage, spec->summary);
    } else {
      (void)std::fprintf(out, "no step \"%s\"; \"help\" lists them\n", verb.c_str());
    }
    return;
  }
  (void)std::fprintf(out, "steps (TEAM is marines, aliens, readyroom or a number):\n");
  for (const StepSpec& spec : StepSpecs()) PrintSpec(out, spec.usage, spec.summary);
  PrintSpec(out, "help [STEP]", "this list, or one step");
  PrintSpec(out, "quit", "ends the session (so does the end of input, Ctrl-D)");
  (void)std::fflush(out);
}

// One line at a time, each failing on its own.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
SessionResult RunSession(const SimServer& server, Runner& runner, const Transcript& transcript,
                         LineReader& reader) {
  SessionResult result;
  // Help is for the person at the prompt; with --json the transcript alone
  // goes to standard output.
  std::FILE* helpOut = transcript.Json() ? stderr : stdout;
  std::string line;
  int number = 0;
  while (reader.Read(kPrompt, line)) {
    ++number;
    std::vector<std::string> words;
    std::string error;
    if (SplitWords(line, words, error) && !words.empty()) {
      if (words[0] == "quit" && words.size() == 1) break;
      if (words[0] == "help" && words.size() <= 2) {
        PrintHelp(helpOut, words.size() == 2 ? words[1] : std::string());
        continue;
      }
    }
    std::vector<Step> steps;
    if (!ParseLine(line, number, false, steps, error)) {
      if (error.rfind("unknown step", 0) == 0) error += "; \"help\" lists the steps";
      transcript.Refused(server.Time(), number, error);
      ++result.refused;
      continue;
    }
    for (const Step& step : steps) {
      if (!runner.Run(step, error)) {
        runner.PrintNewEvents();
        transcript.Refused(server.Time(), number, error);
        ++result.refused;
        break;
      }
      ++result.steps;
      if (server.Fatal()) {
        result.stopped = true;
        return result;
      }
    }
  }
  return result;
}

}  // namespace kelsim
