#include "session.h"

#include <vector>

#include "scenario.h"

namespace kelsim {

namespace {

constexpr const char* kPrompt = "kelsim> ";

void PrintStepForm(std::FILE* out, const char* usage, const char* summary) {
  (void)std::fprintf(out, "  %-26s %s\n", usage, summary);
}

// Runs the steps one line stands for; false with `error` set when one could
// not run (the line's later steps are not run).
bool RunSteps(const SimServer& server, Runner& runner, const std::vector<Step>& steps,
              SessionResult& result, std::string& error) {
  for (const Step& step : steps) {
    if (!runner.Run(step, error)) {
      runner.PrintNewEvents();
      return false;
    }
    ++result.steps;
    if (server.Fatal()) {
      result.stopped = true;
      return true;
    }
  }
  return true;
}

// "help [STEP]" and "quit" are the prompt's own words, not steps.
bool PromptWord(const std::string& line, const char* word, std::vector<std::string>& words) {
  std::string ignored;
  return SplitWords(line, words, ignored) && !words.empty() && words[0] == word;
}

}  // namespace

void PrintHelp(std::FILE* out, const std::string& verb) {
  if (!verb.empty()) {
    const StepForm* form = FindStep(verb);
    if (form) {
      PrintStepForm(out, form->usage, form->summary);
    } else {
      (void)std::fprintf(out, "no step \"%s\"; \"help\" lists them\n", verb.c_str());
    }
    return;
  }
  (void)std::fprintf(out, "steps (TEAM is marines, aliens, readyroom or a number):\n");
  for (const StepForm& form : StepForms()) PrintStepForm(out, form.usage, form.summary);
  PrintStepForm(out, "help [STEP]", "this list, or one step");
  PrintStepForm(out, "quit", "ends the session (so does the end of input, Ctrl-D)");
  (void)std::fflush(out);
}

SessionResult RunSession(const SimServer& server, Runner& runner, const Transcript& transcript,
                         LineReader& reader) {
  SessionResult result;
  // Help is for the person at the prompt; with --json the transcript alone
  // goes to standard output.
  std::FILE* helpOut = transcript.Json() ? stderr : stdout;
  std::string line;
  int number = 0;
  while (!result.stopped && reader.Read(kPrompt, line)) {
    ++number;
    std::vector<std::string> words;
    if (PromptWord(line, "quit", words) && words.size() == 1) break;
    if (PromptWord(line, "help", words) && words.size() <= 2) {
      PrintHelp(helpOut, words.size() == 2 ? words[1] : std::string());
      continue;
    }
    std::vector<Step> steps;
    std::string error;
    if (!ParseLine(line, number, false, steps, error)) {
      if (error.rfind("unknown step", 0) == 0) error += "; \"help\" lists the steps";
    } else if (RunSteps(server, runner, steps, result, error)) {
      continue;
    }
    transcript.Refused(server.Time(), number, error);
    ++result.refused;
  }
  return result;
}

}  // namespace kelsim
