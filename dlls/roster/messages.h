// Every way the plugin puts text in front of people, and the operator test.
//
// Texts are finished texts: nothing here reads a text (a player's name, an
// id, a chat line) as a format, and every path has a fixed upper size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host_api.h"

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

// Formats into the 1024-byte log buffer (cut at 1023, always terminated) and
// hands the result to the server log through "%s".
void LogToServer(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The server console: `text` shown exactly, one console line per line of the
// text (see ForEachConsolePiece); a line too long for the manager's buffer
// is printed in pieces of at most kConsolePieceBytes.
void ConsoleReply(const std::string& text);
// The plugin manager's error log: `text` shown exactly, as ConsoleReply.
void ErrorLog(const std::string& text);
// Chat text to every eligible player (in use, not marked for removal, named,
// of class "player"), unless qvd_disable_notice is above 0.  A text too long
// for one user message is cut to kChatTextMaxBytes.
void NoticeAll(const std::string& text, int destination);
// One on-screen text to one player; nothing when `player` is null.  The text
// is cut to kHudTextMaxChars.
void SendHudText(GameObject* player, const HudTextParams& params, const std::string& text);
void HudAlert(GameObject* player, const std::string& text);
void HudInfo(GameObject* player, const std::string& text);
// True when the player's authentication id stands whole in mp_serverops (see
// ServerOpsListHoldsId).  A player without an id is never an operator.
bool IsServerOperator(edict_t* entity);
// HudAlert to every connected operator.
void NotifyOperators(const std::string& text);

// ---- pure parts, exposed for tests --------------------------------------

// The manager formats each console or error line into 1024 bytes, its own
// line end and terminator included; pieces of this size always fit whole.
inline constexpr std::size_t kConsolePieceBytes = 1000;
// A user message carries at most 192 bytes and a larger one stops the
// server; a TextMsg spends one on the destination and one on the terminator.
inline constexpr std::size_t kUserMessageMaxBytes = 192;
inline constexpr std::size_t kChatTextMaxBytes = kUserMessageMaxBytes - 2;
// On-screen texts (an engine message, not a user message) keep 487.
inline constexpr std::size_t kHudTextMaxChars = 487;

// The chat text as sent: `text` when it fits, otherwise cut to
// kChatTextMaxBytes, keeping a final line end if the text had one.
std::string ChatTextToSend(std::string_view text);
// A screen position as sent: value * 8192, truncated toward zero, clamped
// to a signed short.  NaN gives 0.
int HudPosition(float value);
// A duration as sent: value * 256, truncated toward zero, clamped to an
// unsigned short.  NaN gives 0.
int HudDuration(float value);
// True when `id` occurs in `list` with neither neighbour a character that can
// belong to an id (ASCII letter, digit, '_' or ':'): "STEAM_0:1:12" is not in
// "STEAM_0:1:123456", but is in "STEAM_0:0:7, STEAM_0:1:12;x".  An empty id
// is never held.
bool ServerOpsListHoldsId(std::string_view list, std::string_view id);
