#include "scenario.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace kelsim {

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

namespace {

// The one list of steps: the parser checks word counts against it and the
// prompt's help prints it.
constexpr StepForm kSteps[] = {
    {"maxplayers", 1, 1, "maxplayers N", "player slots, 1 to 64 (first step only; default 32)"},
    {"map", 1, 2, "map NAME [keep-teams]",
     "a map starts: everyone rejoins in the ready room, bots are dropped"},
    {"cvar", 1, 2, "cvar NAME [VALUE]", "sets a console variable, or prints it"},
    {"values", 1, 2, "values FILE [AS]", "copies a values file beside the plugin (read at map)"},
    {"connect", 2, 3, "connect NAME ID [TEAM]", "a player joins, and goes to TEAM"},
    {"connect-bot", 1, 2, "connect-bot NAME [TEAM]", "a bot joins, and goes to TEAM"},
    {"team", 2, 2, "team NAME TEAM", "the game moves him: marines, aliens, readyroom or N"},
    {"kill", 1, 1, "kill NAME", "he dies"},
    {"respawn", 1, 1, "respawn NAME", "he lives again"},
    {"say", 2, -1, "say NAME TEXT", "a chat line (/kel, /stv, or just talk)"},
    {"say_team", 2, -1, "say_team NAME TEXT", "a team chat line"},
    {"cmd", 2, -1, "cmd NAME WORDS", "a command from his client console"},
    {"console", 1, -1, "console WORDS", "a line typed on the server console (NAME: a variable)"},
    {"wait", 1, 1, "wait SECONDS", "runs frames of 0.1 s for that long"},
    {"frames", 1, 1, "frames N", "runs N frames of 0.1 s"},
    {"rename", 2, 2, "rename OLD NEW", "a name change"},
    {"leave", 1, 1, "leave NAME", "he disconnects"},
    {"userid", 1, 1, "userid NAME", "prints his user id"},
    {"info", 2, 2, "info NAME KEY", "prints a key of his info buffer (e.g. team)"},
    {"ignore-moves", 1, 1, "ignore-moves NAME", "his client stops running the plugin's commands"},
    {"obey-moves", 1, 1, "obey-moves NAME", "his client runs them again"},
    {"unload", 0, 0, "unload", "the plugin manager unloads the plugin mid-map"},
    {"load", 0, 0, "load", "the plugin manager loads it again"},
    {"seed", 1, 1, "seed N", "seeds the C random generator (put it after map)"},
    {"calendar", 1, 1, "calendar [+]SECONDS", "sets the calendar clock, or moves it on"},
    {"status", 0, 0, "status", "the server console's player list: slots, ids, teams, alive"},
    {"expect", 1, -1, "expect TEXT", "a line since the previous run of expects holds TEXT"},
    {"expect-not", 1, -1, "expect-not TEXT",
     "no line since the previous run of expects holds TEXT"},
    {"repeat", 2, -1, "repeat N STEP", "STEP N times; {i} counts 1 to N, {i+K} adds K"},
};

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// SplitWords, also giving where each word starts in the line.
// One pass over the line as a small state machine (quotes, escapes, blanks).
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool SplitWordsAt(const std::string& line, std::vector<std::string>& words,
                  std::vector<std::size_t>& starts, std::string& error) {
  words.clear();
  starts.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && Blank(line[i])) ++i;
    if (i >= line.size()) break;
    starts.push_back(i);
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
      while (i < line.size() && !Blank(line[i])) word += line[i++];
    }
    words.push_back(word);
  }
  return true;
}

std::string Trimmed(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  std::string text = line.substr(first);
  while (!text.empty() && Blank(text.back())) text.pop_back();
  return text;
}

// A whole number of digits only, within [low, high].
bool ParseCount(const std::string& text, long low, long high, long& value) {
  const char* const end = text.data() + text.size();
  const auto [stop, failed] = std::from_chars(text.data(), end, value);
  return !text.empty() && failed == std::errc() && stop == end && value >= low && value <= high;
}

// `text` with every {i}, {i+K} and {i-K} replaced by the count; other braces
// stay as they are.
std::string Counted(const std::string& text, long count) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, "{i") == 0) {
      std::size_t at = i + 2;
      long offset = 0;
      bool ok = at < text.size() && text[at] == '}';
      if (!ok && at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const std::size_t close = text.find('}', at + 1);
        const std::string digits =
            close == std::string::npos ? std::string() : text.substr(at + 1, close - at - 1);
        ok = ParseCount(digits, 0, 999999, offset);
        if (ok) {
          offset = text[at] == '-' ? -offset : offset;
          at = close;
        }
      }
      if (ok) {
        out += std::to_string(count + offset);
        i = at + 1;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

bool ParseSingle(const std::string& line, int number, bool firstStep, std::vector<Step>& steps,
                 std::string& error) {
  std::vector<std::string> words;
  std::vector<std::size_t> starts;
  if (!SplitWordsAt(line, words, starts, error)) return false;
  if (words.empty() || words[0].rfind('#', 0) == 0) return true;
  const StepForm* form = FindStep(words[0]);
  if (!form) {
    error = "unknown step \"" + words[0] + "\"";
    return false;
  }
  const int count = static_cast<int>(words.size()) - 1;
  if (count < form->min || (form->max >= 0 && count > form->max)) {
    error = "wrong number of words for " + words[0] + " (" + form->usage + ")";
    return false;
  }
  if (words[0] == "maxplayers" && !firstStep) {
    error = "maxplayers must be the first step";
    return false;
  }
  if (words[0] == "repeat") {
    long times = 0;
    if (!ParseCount(words[1], 1, kMaxRepeat, times)) {
      error = "repeat needs a count of 1 to " + std::to_string(kMaxRepeat) + ", not \"" + words[1] +
              "\"";
      return false;
    }
    if (words[2] == "repeat" || words[2] == "maxplayers") {
      error = "repeat cannot hold " + words[2];
      return false;
    }
    const std::string body = line.substr(starts[2]);
    for (long i = 1; i <= times; ++i)
      if (!ParseSingle(Counted(body, i), number, false, steps, error)) return false;
    return true;
  }
  Step step;
  step.line = number;
  step.source = Trimmed(line);
  step.verb = words[0];
  step.args.assign(words.begin() + 1, words.end());
  steps.push_back(std::move(step));
  return true;
}

}  // namespace

std::span<const StepForm> StepForms() { return kSteps; }

const StepForm* FindStep(const std::string& verb) {
  for (const StepForm& form : kSteps)
    if (verb == form.verb) return &form;
  return nullptr;
}

bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
  std::vector<std::size_t> starts;
  return SplitWordsAt(line, words, starts, error);
}

bool ParseLine(const std::string& line, int number, bool firstStep, std::vector<Step>& steps,
               std::string& error) {
  std::vector<Step> parsed;
  if (!ParseSingle(line, number, firstStep, parsed, error)) return false;
  for (Step& step : parsed) steps.push_back(std::move(step));
  return true;
}

std::vector<Step> ParseScenario(const std::string& text, std::vector<std::string>& errors) {
  std::vector<Step> steps;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string error;
    if (!ParseLine(line, number, steps.empty(), steps, error))
      errors.push_back(std::to_string(number) + ": " + error);
  }
  return steps;
}

}  // namespace kelsim
