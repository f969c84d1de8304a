// Chat notices to every player, through the game's "TextMsg" user message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The destination of every notice the plugin sends: the chat area
// (HUD_PRINTTALK in the game's interface).
inline constexpr int kChatArea = 3;

// Chat text to every eligible player (in use, not marked for removal, named,
// of class "player"), unless qvd_disable_notice is above 0.  A text too long
// for one user message is cut to kChatTextMaxBytes.
void NoticeAll(const std::string& text, int destination);

// A user message carries at most 192 bytes and a larger one stops the
// server; a TextMsg spends one on the destination and one on the terminator.
inline constexpr std::size_t kUserMessageMaxBytes = 192;
inline constexpr std::size_t kChatTextMaxBytes = kUserMessageMaxBytes - 2;

// The chat text as sent: `text` when it fits, otherwise cut to
// kChatTextMaxBytes, keeping a final line end if the text had one.
std::string ChatTextToSend(std::string_view text);
