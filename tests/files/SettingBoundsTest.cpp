// Settings a player can write that the game cannot use as they are: each is bounded where it is
// used, so the game starts and draws. (The field of view and the flying speed are bounded in the
// camera's and the player's tests.)
#include "app/Game.h"
#include "app/WindowSettings.h"
#include "files/Config.h"
#include "support/TestSupport.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace {

class SettingBoundsTest : public ::testing::Test {
protected:
    // The game started on the real assets with this config.txt, and two frames drawn.
    void play(const std::string& config)
    {
        real.sandbox.write("config.txt", config);
        std::string out;
        ASSERT_TRUE(real.start(out)) << out;
        for (int i = 0; i < 2; ++i) {
            real.game.step(1.0f / 30.0f);
            real.game.render();
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    testkit::SandboxGame real;
};

// Ten billion pixels is more than an int holds: converting it was undefined behaviour, and on
// x86 gave a negative size and no window.
TEST_F(SettingBoundsTest, AWindowWiderThanAnyScreenIsMadeAsWideAsTheLargestAndItsRefreshRateIsBounded)
{
    play("window_width = 10000000000\nrefresh_rate = 10000000000\nshadowmap_resolution_factor = 0.5\n");
    EXPECT_EQ(real.game.windowedWidth, largestWindowSide);
    EXPECT_EQ(real.game.windowedHeight, 750);
    EXPECT_EQ(refreshRateHint(10000000000.0f), 1000);
    EXPECT_EQ(refreshRateHint(0.0f), GLFW_DONT_CARE) << "the display's own";
}

TEST_F(SettingBoundsTest, ATinyShadowFactorStillGivesAShadowMap)
{
    // 0.001 of a 1000 x 750 window was a map of 1 x 0 texels: an incomplete target every frame.
    play("shadowmap_resolution_factor = 0.001\n");
    EXPECT_EQ(real.game.shadows.width, 250);
    EXPECT_EQ(real.game.shadows.height, 187);
}

} // namespace
