// The on-screen text message as the client decodes it, for parameters the
// plugin's own two styles never use.  The test drives this program's copy of
// the host layer, bound to the simulated server's tables, so that
// SendHudText can be given any parameters; the simulated server decodes
// every message as a client would.
#include <gtest/gtest.h>

#include <climits>

#include "host_bind.h"
#include "hud_text.h"
#include "sim_fixture.h"
#include "sim_state.h"

namespace {

class HudWireTest : public kelsim_test::SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    viewer = Join("Viewer", "STEAM_0:0:1");
    kelsim::detail::SimState& state = *kelsim::detail::g_state;
    HostApi::BindEngine(&state.engine.prefix, &state.globals);
    HostApi::BindMetamodUtils(&state.utils, state.info);
  }
  edict_t* ViewerObject() { return server.Edict(viewer); }

  int viewer = 0;
};

// The effect is one byte on the wire; the effect time follows exactly when
// that byte is 2.  An int effect of 258 (byte 2) once went out without the
// time, so the client took the text's first bytes for it.
TEST_F(HudWireTest, EffectTimeFollowsTheEffectByte) {
  const struct {
    int32_t effect;
    int sentByte;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {258, 2}, {-254, 2}, {-1, 255}, {INT32_MIN, 0}};
  for (const auto& c : cases) {
    server.ClearObservations();
    HudTextParams params = kHudInfoStyle;
    params.effect = c.effect;
    params.fxTime = 1.5f;
    SendHudText(ViewerObject(), params, "Hello");
    ASSERT_EQ(server.Client(viewer).hud.size(), 1u) << "effect " << c.effect;
    const kelsim::HudMessage& got = server.Client(viewer).hud[0];
    EXPECT_EQ(got.effect, c.sentByte) << "effect " << c.effect;
    EXPECT_EQ(got.fxTime.has_value(), c.sentByte == 2) << "effect " << c.effect;
    if (got.fxTime) {
      EXPECT_EQ(*got.fxTime, 384) << "effect " << c.effect;
    }
    EXPECT_EQ(got.text, "Hello") << "effect " << c.effect;
  }
  EXPECT_TRUE(server.HostErrors().empty()) << server.HostErrors().front();
}

}  // namespace
