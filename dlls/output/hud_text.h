// On-screen text messages to one player (the engine's TE_TEXTMESSAGE) and
// their encoding on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct edict_t;

struct HudTextParams {
  float x, y;  // fractions of the screen; -1 centres
  int32_t effect;
  uint8_t r1, g1, b1, a1;
  uint8_t r2, g2, b2, a2;
  float fadeinTime, fadeoutTime, holdTime, fxTime;
  int32_t channel;
};

// The two on-screen styles: short red answers and notices in the centre, and
// yellow reports and help near the top left.
extern const HudTextParams kHudAlertStyle;
extern const HudTextParams kHudInfoStyle;

// One on-screen text to one player; nothing when `player` is null or the
// game has not set him up.  The text is cut to kHudTextMaxChars.
void SendHudText(edict_t* player, const HudTextParams& params, const std::string& text);
void HudAlert(edict_t* player, const std::string& text);
void HudInfo(edict_t* player, const std::string& text);

// What SendHudText puts on the player's reliable channel for `text`, in
// bytes: the message type, the fields, the text as cut and its terminator.
std::size_t HudTextWireBytes(const HudTextParams& params, const std::string& text);

// ---- pure parts, exposed for tests --------------------------------------

// On-screen texts (an engine message, not a user message) keep 487.
inline constexpr std::size_t kHudTextMaxChars = 487;

// A screen position as sent: value * 8192, truncated toward zero, clamped
// to a signed short.  NaN gives 0.
int HudPosition(float value);
// A duration as sent: value * 256, truncated toward zero, clamped to an
// unsigned short.  NaN gives 0.
int HudDuration(float value);
