// The on-screen text encoding (TE_TEXTMESSAGE) over arbitrary positions,
// times, colours, effects, channels and texts, with the chat and console
// paths for the same text.
//
// The messages go out through this program's own copy of the host layer,
// bound to the simulated server's engine and plugin-manager tables, so that
// SendHudText can be called with any parameters (the plugin itself only ever
// sends its two styles).  The simulated server decodes every message as a
// client would and reports a malformed one as a host error; the decoded
// fields must be what the parameters ask for.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "chat.h"
#include "fuzz_check.h"
#include "host_bind.h"
#include "hud_text.h"
#include "server_output.h"
#include "sim_server.h"
#include "sim_state.h"

namespace {

kelsim::SimServer* g_server = nullptr;
int g_slot = 0;

float ConsumeFloat(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {
      // Any bit pattern: NaNs, infinities, subnormals.
      const uint32_t bits = in.ConsumeIntegral<uint32_t>();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    case 1:
      return in.ConsumeFloatingPoint<float>();
    case 2:
      return static_cast<float>(in.ConsumeIntegralInRange(-40000, 70000)) / 256.0f;
    default:
      return in.ConsumeFloatingPointInRange(-1.5f, 1.5f);
  }
}

int32_t ConsumeSmallOrAny(FuzzedDataProvider& in, int32_t low, int32_t high) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange(low, high) : in.ConsumeIntegral<int32_t>();
}

// The encodings written from their definitions: the value times the scale,
// truncated toward zero, clamped to the field's range; NaN gives 0.
int Scaled(float value, long double scale, int low, int high) {
  if (std::isnan(value)) return 0;
  const long double scaled = std::trunc(static_cast<long double>(value) * scale);
  return static_cast<int>(std::clamp<long double>(scaled, low, high));
}

void CheckNoHostFault(std::size_t errorsBefore) {
  const std::vector<std::string>& errors = g_server->HostErrors();
  KEL_FUZZ_CHECK(errors.size() == errorsBefore, "host error: " + errors.back());
  KEL_FUZZ_CHECK(!g_server->Fatal(), "server stopped: " + g_server->FatalReason());
}

// A chat text that fits is sent whole; a longer one is cut to the limit (its
// line end kept), stepping back at most three bytes so that no UTF-8
// character is split.
bool ChatCutFits(const std::string& text, const std::string& got) {
  // What reaches the client stops at the first NUL.
  if (text.size() <= kChatTextMaxBytes) return got == text.c_str();
  const bool lineEnd = text.back() == '\n';
  const std::size_t room = lineEnd ? kChatTextMaxBytes - 1 : kChatTextMaxBytes;
  for (std::size_t cut = room - 3; cut <= room; ++cut) {
    const std::string candidate = text.substr(0, cut) + (lineEnd ? "\n" : "");
    if (got == candidate.c_str()) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* path = std::getenv("KEL_PLUGIN_PATH");
  g_server = new kelsim::SimServer(4);
  if (!g_server->Load(path && *path ? path : KEL_PLUGIN_PATH)) {
    std::fprintf(stderr, "cannot load the plugin: %s\n", g_server->LoadError().c_str());
    std::abort();
  }
  g_server->ChangeMap();
  g_slot = g_server->Connect("Viewer", "STEAM_0:0:1");
  kelsim::detail::SimState& state = *kelsim::detail::g_state;
  HostApi::BindEngine(&state.engine.prefix, &state.globals);
  HostApi::BindMetamodUtils(&state.utils, state.info);
  std::atexit([] { delete g_server; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  HudTextParams params{};
  params.x = ConsumeFloat(in);
  params.y = ConsumeFloat(in);
  params.effect = ConsumeSmallOrAny(in, -1, 3);
  params.r1 = in.ConsumeIntegral<uint8_t>();
  params.g1 = in.ConsumeIntegral<uint8_t>();
  params.b1 = in.ConsumeIntegral<uint8_t>();
  params.a1 = in.ConsumeIntegral<uint8_t>();
  params.r2 = in.ConsumeIntegral<uint8_t>();
  params.g2 = in.ConsumeIntegral<uint8_t>();
  params.b2 = in.ConsumeIntegral<uint8_t>();
  params.a2 = in.ConsumeIntegral<uint8_t>();
  params.fadeinTime = ConsumeFloat(in);
  params.fadeoutTime = ConsumeFloat(in);
  params.holdTime = ConsumeFloat(in);
  params.fxTime = ConsumeFloat(in);
  params.channel = ConsumeSmallOrAny(in, 0, 5);
  const int paths = in.ConsumeIntegral<uint8_t>();
  const std::string text = in.ConsumeRemainingBytesAsString();

  g_server->ClearObservations();
  const std::size_t errorsBefore = g_server->HostErrors().size();
  edict_t* viewer = g_server->Edict(g_slot);

  // Nobody to show it to: nothing is sent.
  SendHudText(nullptr, params, text);
  SendHudText(viewer, params, text);
  CheckNoHostFault(errorsBefore);
  const std::vector<kelsim::HudMessage>& hud = g_server->Client(g_slot).hud;
  KEL_FUZZ_CHECK(hud.size() == 1, "messages received: " + std::to_string(hud.size()));
  const kelsim::HudMessage& got = hud[0];
  const int effect = params.effect & 0xFF;
  KEL_FUZZ_CHECK(got.channel == (params.channel & 0xFF), "channel");
  KEL_FUZZ_CHECK(got.x == Scaled(params.x, 8192, -32768, 32767), "x");
  KEL_FUZZ_CHECK(got.y == Scaled(params.y, 8192, -32768, 32767), "y");
  KEL_FUZZ_CHECK(got.effect == effect, "effect " + std::to_string(got.effect));
  KEL_FUZZ_CHECK(got.r1 == params.r1 && got.g1 == params.g1 && got.b1 == params.b1 &&
                     got.a1 == params.a1 && got.r2 == params.r2 && got.g2 == params.g2 &&
                     got.b2 == params.b2 && got.a2 == params.a2,
                 "colours");
  KEL_FUZZ_CHECK(got.fadein == Scaled(params.fadeinTime, 256, 0, 65535), "fade-in time");
  KEL_FUZZ_CHECK(got.fadeout == Scaled(params.fadeoutTime, 256, 0, 65535), "fade-out time");
  KEL_FUZZ_CHECK(got.hold == Scaled(params.holdTime, 256, 0, 65535), "hold time");
  KEL_FUZZ_CHECK(got.fxTime.has_value() == (effect == 2), "effect time present");
  if (got.fxTime) {
    KEL_FUZZ_CHECK(*got.fxTime == Scaled(params.fxTime, 256, 0, 65535), "effect time");
  }
  // The text stops at its first NUL and keeps at most 487 bytes; a cut that
  // would split a UTF-8 character steps back to its start (at most three
  // bytes), and a cut before anything but a continuation byte splits none.
  const std::string full(text.c_str());
  if (full.size() <= kHudTextMaxChars) {
    KEL_FUZZ_CHECK(got.text == full, "text " + kel_fuzz::Shown(got.text));
  } else {
    const bool prefix = full.compare(0, got.text.size(), got.text) == 0;
    KEL_FUZZ_CHECK(
        prefix && got.text.size() <= kHudTextMaxChars && got.text.size() + 3 >= kHudTextMaxChars,
        "cut text " + kel_fuzz::Shown(got.text));
    const auto next = static_cast<unsigned char>(full[kHudTextMaxChars]);
    if ((next & 0xC0) != 0x80) {
      KEL_FUZZ_CHECK(got.text.size() == kHudTextMaxChars, "cut splitting nothing");
    }
  }

  if (paths & 1) {
    // The same text as a chat notice: one user message within 192 bytes.
    NoticeAll(text, paths >> 4);
    CheckNoHostFault(errorsBefore);
    const std::vector<kelsim::ChatMessage>& chat = g_server->Client(g_slot).chat;
    KEL_FUZZ_CHECK(chat.size() == 1, "chat messages received: " + std::to_string(chat.size()));
    KEL_FUZZ_CHECK(chat[0].destination == ((paths >> 4) & 0xFF), "chat destination");
    KEL_FUZZ_CHECK(ChatCutFits(text, chat[0].text), "chat text " + kel_fuzz::Shown(chat[0].text));
  }
  if (paths & 2) {
    // The same text on the console: every line whole, in pieces that fit
    // the manager's buffer.
    const std::string clean = text.c_str();
    ConsoleReply(clean);
    CheckNoHostFault(errorsBefore);
    std::string joined;
    for (const std::string& line : g_server->ConsoleLines()) {
      KEL_FUZZ_CHECK(line.size() <= kConsolePieceBytes,
                     "console line of " + std::to_string(line.size()));
      joined += line;
    }
    std::string expected = clean;
    expected.erase(std::remove(expected.begin(), expected.end(), '\n'), expected.end());
    KEL_FUZZ_CHECK(joined == expected, "console text " + kel_fuzz::Shown(joined));
  }
  return 0;
}
