#include "messages.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "bounded_text.h"

namespace {

constexpr int kSvcTempEntity = 23;
constexpr int kTeTextMessage = 29;

// Both styles fade in within a tenth of a second, so reading starts at once
// instead of on a half-transparent text.  An alert holds 5 s and then fades
// out over 4 s: a short answer or notice of a line or two stays legible for
// six seconds or more, yet clears before a report (held 8 s) would.
constexpr float kFadeIn = 0.1f;
constexpr float kAlertHold = 5.0f;

void PrintLines(const std::string& text, void (*printLine)(const char*)) {
  // The manager appends its own line end to every call and cuts at about
  // 1 KB: print each line without its line end, long lines in pieces.
  char piece[kConsolePieceBytes + 1];
  ForEachConsolePiece(text, kConsolePieceBytes, [&](std::string_view part) {
    std::memcpy(piece, part.data(), part.size());
    piece[part.size()] = '\0';
    printLine(piece);
  });
}

bool IsIdChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':';
}

}  // namespace

const HudTextParams kHudAlertStyle = {
    .x = -1.0f,  // centred
    .y = -1.0f,
    .effect = 1,
    .r1 = 255,  // red, both colours
    .g1 = 0,
    .b1 = 0,
    .a1 = 255,
    .r2 = 255,
    .g2 = 0,
    .b2 = 0,
    .a2 = 255,
    .fadeinTime = kFadeIn,
    .fadeoutTime = 4.0f,
    .holdTime = kAlertHold,
    .fxTime = 4.0f,  // not sent: effect 1 does not use it
    .channel = 1,
};

const HudTextParams kHudInfoStyle = {
    .x = 0.4f,
    .y = 0.1f,
    .effect = 0,
    .r1 = 255,  // yellow, both colours
    .g1 = 255,
    .b1 = 0,
    .a1 = 255,
    .r2 = 255,
    .g2 = 255,
    .b2 = 0,
    .a2 = 255,
    .fadeinTime = kFadeIn,
    .fadeoutTime = 2.0f,
    .holdTime = 8.0f,
    .fxTime = 2.0f,  // not sent: effect 0 does not use it
    .channel = 2,
};

// printf style on purpose, checked by the format attribute in the header.
// NOLINTNEXTLINE(cert-dcl50-cpp)
void LogToServer(const char* format, ...) {
  static char buffer[1024];
  if (!format) return;
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  if (written < 0) buffer[0] = '\0';
  buffer[sizeof(buffer) - 1] = '\0';
  HostApi::LogToServerRaw(buffer);  // through "%s"
}

void ConsoleReply(const std::string& text) { PrintLines(text, HostApi::LogConsoleLine); }

void ErrorLog(const std::string& text) { PrintLines(text, HostApi::LogErrorLine); }

std::string ChatTextToSend(std::string_view text) {
  if (text.size() <= kChatTextMaxBytes) return std::string(text);
  if (text.back() == '\n') {
    std::string cut(CutToBytes(text, kChatTextMaxBytes - 1));
    cut += '\n';
    return cut;
  }
  return std::string(CutToBytes(text, kChatTextMaxBytes));
}

void NoticeAll(const std::string& text, int destination) {
  if (HostApi::CvarFloat("qvd_disable_notice") > 0.0f) return;
  const std::string toSend = ChatTextToSend(text);
  int messageType = 0;  // looked up at the first recipient
  const int maxClients = HostApi::MaxClients();
  for (int slot = 1; slot <= maxClients; ++slot) {
    edict_t* entity = HostApi::EntityOfIndex(slot);
    if (HostApi::IsFree(entity)) continue;  // absent or free
    entvars_t* vars = HostApi::EdictVars(entity);
    if (HostApi::IsMarkedForRemoval(vars)) continue;
    if (HostApi::NetName(vars)[0] == '\0') continue;
    if (std::strcmp(HostApi::ClassName(vars), "player") != 0) continue;
    if (messageType == 0) {
      // Registering an existing name gives the number it already has.
      messageType = HostApi::RegisterUserMessage("TextMsg", -1);
      // No such message: type 0 would reach the client as a bad message.
      if (messageType <= 0) return;
    }
    HostApi::BeginMessageToOne(messageType, entity);
    HostApi::WriteByte(destination);
    HostApi::WriteString(toSend.c_str());
    HostApi::EndMessage();
  }
}

int HudPosition(float value) {
  const double scaled = std::trunc(static_cast<double>(value) * 8192.0);
  if (std::isnan(scaled)) return 0;
  if (scaled < -32768.0) return -32768;
  if (scaled > 32767.0) return 32767;
  return static_cast<int>(scaled);
}

int HudDuration(float value) {
  const double scaled = std::trunc(static_cast<double>(value) * 256.0);
  if (std::isnan(scaled)) return 0;
  if (scaled < 0.0) return 0;
  if (scaled > 65535.0) return 65535;
  return static_cast<int>(scaled);
}

void SendHudText(GameObject* player, const HudTextParams& params, const std::string& text) {
  if (!player) return;
  edict_t* recipient = HostApi::ContainingEntity(HostApi::GameObjectVars(player));
  if (!recipient) return;
  // WriteString stops at the first NUL, so the cut works on the C string.
  char shown[kHudTextMaxChars + 1];
  const std::string_view whole(text.c_str());
  const std::string_view cut = CutToBytes(whole, kHudTextMaxChars);
  std::memcpy(shown, cut.data(), cut.size());
  shown[cut.size()] = '\0';

  HostApi::BeginMessageToOne(kSvcTempEntity, recipient);
  HostApi::WriteByte(kTeTextMessage);
  HostApi::WriteByte(params.channel & 0xFF);
  HostApi::WriteShort(HudPosition(params.x));
  HostApi::WriteShort(HudPosition(params.y));
  // The effect travels as one byte, and the client reads the effect time
  // after it whenever that byte is 2: decide on the byte, not on the whole
  // int, or an effect of 258 would leave the client reading the text as the
  // missing time.
  const int effect = params.effect & 0xFF;
  HostApi::WriteByte(effect);
  HostApi::WriteByte(params.r1);
  HostApi::WriteByte(params.g1);
  HostApi::WriteByte(params.b1);
  HostApi::WriteByte(params.a1);
  HostApi::WriteByte(params.r2);
  HostApi::WriteByte(params.g2);
  HostApi::WriteByte(params.b2);
  HostApi::WriteByte(params.a2);
  HostApi::WriteShort(HudDuration(params.fadeinTime));
  HostApi::WriteShort(HudDuration(params.fadeoutTime));
  HostApi::WriteShort(HudDuration(params.holdTime));
  if (effect == 2) HostApi::WriteShort(HudDuration(params.fxTime));
  HostApi::WriteString(shown);
  HostApi::EndMessage();
}

void HudAlert(GameObject* player, const std::string& text) {
  SendHudText(player, kHudAlertStyle, text);
}

void HudInfo(GameObject* player, const std::string& text) {
  SendHudText(player, kHudInfoStyle, text);
}

bool ServerOpsListHoldsId(std::string_view list, std::string_view id) {
  if (id.empty()) return false;
  for (std::size_t at = list.find(id); at != std::string_view::npos; at = list.find(id, at + 1)) {
    const std::size_t end = at + id.size();
    const bool wholeBefore = at == 0 || !IsIdChar(list[at - 1]);
    const bool wholeAfter = end == list.size() || !IsIdChar(list[end]);
    if (wholeBefore && wholeAfter) return true;
  }
  return false;
}

bool IsServerOperator(edict_t* entity) {
  if (!entity) return false;
  const std::string id = HostApi::PlayerAuthId(entity);
  // Read afresh at every test: a change of the list counts at once.
  return ServerOpsListHoldsId(HostApi::CvarString("mp_serverops"), id);
}

void NotifyOperators(const std::string& text) {
  const int maxClients = HostApi::MaxClients();
  for (int slot = 1; slot <= maxClients; ++slot) {
    edict_t* entity = HostApi::EntityOfIndex(slot);
    if (HostApi::IsFree(entity)) continue;  // absent or free
    if (IsServerOperator(entity)) HudAlert(HostApi::GameObjectOf(entity), text);
  }
}
