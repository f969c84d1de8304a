#include "scenario.h"

#include <sstream>

namespace kelsim {

namespace {

struct Arity {
  const char* verb;
  int min;
  int max;  // -1: any number
};

constexpr Arity kVerbs[] = {
    {"maxplayers", 1, 1}, {"map", 1, 1},       {"cvar", 1, 2},        {"values", 1, 2},
    {"connect", 2, 3},    {"team", 2, 2},      {"kill", 1, 1},        {"respawn", 1, 1},
    {"say", 2, -1},       {"say_team", 2, -1}, {"cmd", 2, -1},        {"console", 1, -1},
    {"wait", 1, 1},       {"frames", 1, 1},    {"rename", 2, 2},      {"leave", 1, 1},
    {"seed", 1, 1},       {"expect", 1, -1},   {"expect-not", 1, -1}, {"connect-bot", 1, 2},
    {"userid", 1, 1},     {"info", 2, 2},      {"calendar", 1, 1},
};

const Arity* FindVerb(const std::string& verb) {
  for (const Arity& arity : kVerbs)
    if (verb == arity.verb) return &arity;
  return nullptr;
}

}  // namespace

// One pass over the line as a small state machine (quotes, escapes, blanks).
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
          word += line[i++];
        } else {
          word += c;
        }
      }
      if (!closed) {
        error = "unterminated quote";
        return false;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
        word += line[i++];
    }
    words.push_back(word);
  }
  return true;
}

std::vector<Step> ParseScenario(const std::string& text, std::vector<std::string>& errors) {
  std::vector<Step> steps;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::vector<std::string> words;
    std::string error;
    if (!SplitWords(line, words, error)) {
      errors.push_back(std::to_string(number) + ": " + error);
      continue;
    }
    if (words.empty() || words[0].rfind('#', 0) == 0) continue;
    const Arity* arity = FindVerb(words[0]);
    if (!arity) {
      errors.push_back(std::to_string(number) + ": unknown step \"" + words[0] + "\"");
      continue;
    }
    const int count = static_cast<int>(words.size()) - 1;
    if (count < arity->min || (arity->max >= 0 && count > arity->max)) {
      errors.push_back(std::to_string(number) + ": wrong number of words for " + words[0]);
      continue;
    }
    if (words[0] == "maxplayers" && !steps.empty()) {
      errors.push_back(std::to_string(number) + ": maxplayers must be the first step");
      continue;
    }
    Step step;
    step.line = number;
    step.source = line;
    while (!step.source.empty() && (step.source.back() == '\r' || step.source.back() == ' '))
      step.source.pop_back();
    step.verb = words[0];
    step.args.assign(words.begin() + 1, words.end());
    steps.push_back(std::move(step));
  }
  return steps;
}

}  // namespace kelsim
