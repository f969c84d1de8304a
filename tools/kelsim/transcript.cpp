#include "transcript.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

namespace kelsim {

namespace {

using JsonObject = nlohmann::ordered_json;

// Hundredths, as the text transcript shows them.
double Seconds(float time) { return std::round(static_cast<double>(time) * 100.0) / 100.0; }

const char* Channel(Event::Kind kind) {
  switch (kind) {
    case Event::Kind::Console:
      return "console";
    case Event::Kind::Log:
      return "log";
    case Event::Kind::Error:
      return "error log";
    case Event::Kind::Chat:
      return "chat";
    case Event::Kind::Hud:
      return "screen";
    case Event::Kind::ClientCommand:
      return "client runs";
    case Event::Kind::PlayerChat:
      return "sees";
    case Event::Kind::PrintConsole:
      return "client console";
    case Event::Kind::PrintCenter:
      return "center print";
    case Event::Kind::PrintChat:
      return "chat print";
    case Event::Kind::Note:
    case Event::Kind::HostError:
    case Event::Kind::Fatal:
      break;
  }
  return nullptr;
}

const char* KindOf(Event::Kind kind) {
  switch (kind) {
    case Event::Kind::Note:
      return "note";
    case Event::Kind::HostError:
      return "host-error";
    case Event::Kind::Fatal:
      return "fatal";
    default:
      return "output";
  }
}

// Texts from the plugin and from players are hostile: a byte that is not
// UTF-8 becomes U+FFFD instead of stopping the dump.
void Emit(const JsonObject& object) {
  const std::string line = object.dump(-1, ' ', false, JsonObject::error_handler_t::replace);
  std::printf("%s\n", line.c_str());
  (void)std::fflush(stdout);  // a script reading a live session gets each line as it happens
}

JsonObject Head(float time, const char* kind) {
  JsonObject object;
  object["time"] = Seconds(time);
  object["kind"] = kind;
  return object;
}

std::string WithoutLineEnd(const std::string& text) {
  return !text.empty() && text.back() == '\n' ? text.substr(0, text.size() - 1) : text;
}

// A text line for people: the time, then the text; later lines indented.
void Text(float time, const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (first) {
      std::printf("[%8.2f] %s\n", static_cast<double>(time), line.c_str());
    } else {
      std::printf("           %s\n", line.c_str());
    }
    first = false;
  }
  (void)std::fflush(stdout);
}

}  // namespace

void Transcript::Step(float time, int line, const std::string& source) const {
  if (!json_) return Text(time, ">> " + source);
  JsonObject object = Head(time, "step");
  object["line"] = line;
  object["text"] = source;
  Emit(object);
}

void Transcript::Output(const Event& shown, const std::vector<int>& slots,
                        const std::vector<std::string>& names, bool everyone) const {
  if (!json_) return Text(shown.time, "   " + Describe(shown));
  JsonObject object = Head(shown.time, KindOf(shown.kind));
  if (const char* channel = Channel(shown.kind)) object["channel"] = channel;
  if (!names.empty()) {
    object["who"] = names;
    object["slots"] = slots;
  }
  if (everyone) object["everyone"] = true;
  object["text"] = WithoutLineEnd(shown.text);
  if (shown.team) object["team"] = *shown.team;
  Emit(object);
}

void Transcript::Note(float time, const std::string& text) const {
  if (!json_) return Text(time, "   -- " + text);
  JsonObject object = Head(time, "note");
  object["text"] = text;
  Emit(object);
}

void Transcript::ExpectFailed(float time, int line, bool wanted, const std::string& text) const {
  const char* what = wanted ? "no transcript line since the previous expects holds"
                            : "a transcript line since the previous expects holds";
  if (!json_) {
    std::printf("!! line %d: expectation failed: %s \"%s\"\n", line, what, text.c_str());
    (void)std::fflush(stdout);
    return;
  }
  JsonObject object = Head(time, "expect-failed");
  object["line"] = line;
  object["text"] = std::string(what) + " \"" + text + "\"";
  Emit(object);
}

void Transcript::Refused(float time, int line, const std::string& why) const {
  if (!json_) {
    std::printf("!! line %d: %s\n", line, why.c_str());
    (void)std::fflush(stdout);
    return;
  }
  JsonObject object = Head(time, "refused");
  object["line"] = line;
  object["text"] = why;
  Emit(object);
}

void Transcript::Summary(float time, std::size_t steps, int failed, std::size_t hostErrors,
                         std::size_t refused) const {
  if (!json_) {
    std::printf("== %zu steps, %d failed expectations, %zu host errors", steps, failed, hostErrors);
    if (refused > 0) std::printf(", %zu refused lines", refused);
    std::printf("\n");
    (void)std::fflush(stdout);
    return;
  }
  JsonObject object = Head(time, "summary");
  object["steps"] = steps;
  object["failed"] = failed;
  object["hostErrors"] = hostErrors;
  object["refused"] = refused;
  Emit(object);
}

}  // namespace kelsim
