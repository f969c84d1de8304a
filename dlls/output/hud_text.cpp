#include "hud_text.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "bounded_text.h"
#include "host_api.h"

namespace {

constexpr int kSvcTempEntity = 23;
constexpr int kTeTextMessage = 29;

// Both styles fade in within a tenth of a second, so reading starts at once
// instead of on a half-transparent text.  An alert holds 5 s and then fades
// out over 4 s: a short answer or notice of a line or two stays legible for
// six seconds or more, yet clears before a report (held 8 s) would.
constexpr float kFadeIn = 0.1f;
constexpr float kAlertHold = 5.0f;

// WriteString stops at the first NUL, so the cut works on the C string.
std::string_view ShownText(const std::string& text) {
  return CutToBytes(std::string_view(text.c_str()), kHudTextMaxChars);
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

std::size_t HudTextWireBytes(const HudTextParams& params, const std::string& text) {
  // The message type, the temp entity type, the channel, x and y, the
  // effect, eight colour bytes, three durations (a fourth with effect 2),
  // then the text and its terminator.
  constexpr std::size_t kFieldBytes = 1 + 1 + 1 + 2 + 2 + 1 + 8 + 3 * 2;
  const std::size_t effectTime = (params.effect & 0xFF) == 2 ? 2 : 0;
  return kFieldBytes + effectTime + ShownText(text).size() + 1;
}

void SendHudText(edict_t* player, const HudTextParams& params, const std::string& text) {
  // A client whose player the game has not set up yet gets nothing.
  if (!HostApi::HasGameObject(player)) return;
  char shown[kHudTextMaxChars + 1];
  const std::string_view cut = ShownText(text);
  std::memcpy(shown, cut.data(), cut.size());
  shown[cut.size()] = '\0';

  HostApi::BeginMessageToOne(kSvcTempEntity, player);
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

void HudAlert(edict_t* player, const std::string& text) {
  SendHudText(player, kHudAlertStyle, text);
}

void HudInfo(edict_t* player, const std::string& text) { SendHudText(player, kHudInfoStyle, text); }
