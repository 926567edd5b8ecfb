#include "app/Game.h"
#include "files/BestResults.h"
#include "files/Config.h"
#include "files/Files.h"
#include "files/Replay.h"
#include "files/Translation.h"
#include "input/GameInput.h"
#include "input/InputDevice.h"
#include "physics/Player.h"
#include "render/Mesh.h"
#include "render/Shader.h"
#include "support/TestSupport.h"
#include "ui/MenuScreens.h"
#include "ui/PlayScreens.h"
#include "ui/ReplayScreen.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A pixel counts as text of a colour when it is this close to it on every channel.
constexpr int kColourSlack = 40;

struct Region {
    int x0, y0, x1, y1; // window pixels, origin bottom-left, like the HUD's own coordinates
};

// Runs the real game in a sandbox copy of the assets and reads its finished frames back.
class HUDFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string out;
        ASSERT_TRUE(real.start(out)) << out;
    }

    // One frame at a fixed step, rendered, and the window's pixels read back.
    void frame()
    {
        game.step(1.0 / 30.0);
        game.render();
        glFinish();
        width = static_cast<int>(window_width);
        height = static_cast<int>(window_height);
        pixels.assign(static_cast<std::size_t>(width * height * 3), 0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    }

    int count(Region r, int red, int green, int blue) const
    {
        int n = 0;
        for (int y = std::max(0, r.y0); y < std::min(height, r.y1); ++y)
            for (int x = std::max(0, r.x0); x < std::min(width, r.x1); ++x) {
                const unsigned char* p = &pixels[static_cast<std::size_t>((y * width + x) * 3)];
                if (std::abs(p[0] - red) < kColourSlack && std::abs(p[1] - green) < kColourSlack &&
                    std::abs(p[2] - blue) < kColourSlack)
                    ++n;
            }
        return n;
    }

    int white(Region r) const { return count(r, 255, 255, 255); }

    // The smallest region holding every white pixel of r (empty when there is none).
    Region whiteBounds(Region r) const { return bounds(r, 255, 255, 255); }
    int red(Region r) const { return count(r, 255, 0, 0); }

    // The smallest region holding every pixel of r within the slack of that colour.
    Region bounds(Region r, int red, int green, int blue) const
    {
        Region found{r.x1, r.y1, r.x0, r.y0};
        for (int y = std::max(0, r.y0); y < std::min(height, r.y1); ++y)
            for (int x = std::max(0, r.x0); x < std::min(width, r.x1); ++x) {
                const unsigned char* p = &pixels[static_cast<std::size_t>((y * width + x) * 3)];
                if (std::abs(p[0] - red) < kColourSlack && std::abs(p[1] - green) < kColourSlack &&
                    std::abs(p[2] - blue) < kColourSlack)
                    found = {std::min(found.x0, x), std::min(found.y0, y), std::max(found.x1, x + 1),
                             std::max(found.y1, y + 1)};
            }
        return found;
    }

    testkit::SandboxGame real;
    Game& game = real.game;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
};

TEST_F(HUDFrameTest, HealthTimeAndLevelShowInWhiteAtTheirPlaces)
{
    frame();
    const int W = width;
    const int H = height;
    // Baselines: health and time at H - 25, level at 25; glyphs at half of 48 pixels.
    EXPECT_GT(white({25, H - 30, 200, H - 5}), 30) << "Health line";
    EXPECT_GT(white({W / 2 - 150, H - 30, W / 2 + 150, H - 5}), 30) << "Remaining time line";
    EXPECT_GT(white({25, 20, 160, 50}), 30) << "level line";
    EXPECT_EQ(white({W / 2 - 100, H / 2 - 100, W / 2 + 100, H / 2 + 100}), 0) << "nothing white mid-screen";
    EXPECT_EQ(red({W / 2 - 240, H / 2 - 20, W / 2 + 240, H / 2 + 100}), 0) << "no death message yet";

    game.world()->input->showHud = false;
    frame();
    EXPECT_LT(white({25, H - 30, 200, H - 5}), 5) << "F6 hides the HUD";
}

TEST_F(HUDFrameTest, AfterAResizeTheTextGrowsWithTheWindowAndKeepsItsCorner)
{
    frame();
    const Region before = whiteBounds({0, height - 60, 320, height});
    ASSERT_GT(before.x1 - before.x0, 50) << "the health line";
    const int oldHeight = height;
    const int oldWidth = width;

    // Wider and taller: a projection kept from the old size would stretch the glyphs.
    glfwSetWindowSize(game.window, 1400, 1100);
    for (int i = 0; i < 100 && static_cast<int>(window_height) == oldHeight; ++i)
        glfwWaitEventsTimeout(0.02);
    // The window's buffers take the new size when a frame is shown.
    frame();
    glfwSwapBuffers(game.window);
    frame();
    ASSERT_EQ(width, 1400);
    ASSERT_EQ(height, 1100);
    // Sizes and places scale with the smaller of the window's ratios to 1000 x 750.
    const double grown = std::min(1400.0 / 1000.0, 1100.0 / 750.0) / std::min(oldWidth / 1000.0, oldHeight / 750.0);
    const Region after = whiteBounds({0, height - 100, 480, height});
    EXPECT_NEAR(after.x1 - after.x0, (before.x1 - before.x0) * grown, 4) << "the width grows";
    EXPECT_NEAR(after.y1 - after.y0, (before.y1 - before.y0) * grown, 3) << "the height grows";
    EXPECT_NEAR(after.x0, before.x0 * grown, 3) << "the distance from the left edge";
    EXPECT_NEAR(height - after.y1, (oldHeight - before.y1) * grown, 3) << "the distance from the top";
}

TEST_F(HUDFrameTest, TheFrameRateLineNamesTheRenderScaleBelowFullAndStaysInTheWindow)
{
    game.world()->input->showFps = true;
    // The full picture chosen (an automatic scale may start lower on a slow machine).
    render_scale = 1.0f;
    frame();
    frame();
    ASSERT_EQ(game.hud.renderScalePercent, 100);
    const Region corner{width - 320, height - 40, width, height};
    const Region full = whiteBounds(corner);
    ASSERT_GT(full.x1 - full.x0, 30) << "the frame rate line";
    EXPECT_GE(full.x0, width - 100) << "at 100 % where it always was";

    render_scale = 0.75f;
    frame();
    frame();
    ASSERT_EQ(game.hud.renderScalePercent, 75);
    const Region scaled = whiteBounds(corner);
    EXPECT_GT(scaled.x1 - scaled.x0, full.x1 - full.x0 + 30) << "\"(75 %)\" follows the rate";
    EXPECT_LE(scaled.x1, width - 20) << "and the line ends inside the window";
}

TEST_F(HUDFrameTest, YouDiedShowsInRedAfterDeathWithTheBestGameAndThisRunUnderIt)
{
    game.records = std::make_unique<BestResults>(real.sandbox.root / "best.txt");
    game.world()->player->health = -1.0f;
    frame();
    frame();
    EXPECT_TRUE(game.hud.died);
    const int W = width;
    const int H = height;
    EXPECT_GT(red({W / 2 - 240, H / 2 - 20, W / 2 + 240, H / 2 + 100}), 500) << "YOU DIED";
    EXPECT_GT(white({25, H - 30, 200, H - 5}), 30) << "the health line stays";
    EXPECT_GT(white({W / 2 - 250, H / 2 - 140, W / 2 + 250, H / 2 - 110}), 100) << "BEST: LEVEL 0, 0.0 S";
    EXPECT_GT(white({W / 2 - 300, H / 2 - 180, W / 2 + 300, H / 2 - 150}), 100) << "THIS RUN: LEVEL 0, 0.0 S, 1ST";
    EXPECT_GT(count({W / 2 - 150, H / 2 - 240, W / 2 + 150, H / 2 - 210}, 255, 217, 25), 100) << "NEW BEST!";
}

TEST_F(HUDFrameTest, HudTextStandsOnADarkShadowSoItReadsOverBrightLeaves)
{
    frame();
    // Below and right of the health line's white strokes lies its dark copy, whatever the world is there.
    const Region health{0, height - 60, 320, height};
    int strokes = 0;
    int shadowed = 0;
    for (int y = health.y0 + 3; y < health.y1; ++y)
        for (int x = health.x0; x < health.x1 - 3; ++x) {
            const unsigned char* p = &pixels[static_cast<std::size_t>((y * width + x) * 3)];
            if (p[0] < 250 || p[1] < 250 || p[2] < 250)
                continue;
            // The bottom-right end of a stroke: the next pixel down and right is not white.
            const unsigned char* next = &pixels[static_cast<std::size_t>(((y - 1) * width + x + 1) * 3)];
            if (next[0] > 200 && next[1] > 200 && next[2] > 200)
                continue;
            ++strokes;
            const unsigned char* shadow = &pixels[static_cast<std::size_t>(((y - 2) * width + x + 2) * 3)];
            if (shadow[0] < 40 && shadow[1] < 40 && shadow[2] < 40)
                ++shadowed;
        }
    ASSERT_GT(strokes, 30) << "the health line";
    EXPECT_GT(shadowed, strokes * 3 / 4) << "the edges of the strokes fall on their shadow";
}

TEST_F(HUDFrameTest, AScreenOpenedFromTheGameOverMenuHidesItAndTheHud)
{
    game.world()->player->health = -1.0f;
    frame();
    frame();
    ASSERT_TRUE(game.hud.died);
    const Region all{0, 0, width, height};
    ASSERT_GT(red(all), 500) << "YOU DIED";
    ASSERT_GT(white({0, height - 60, 320, height}), 30) << "the health line";

    openMenuScreen(game, MenuScreenKind::BestRuns);
    frame();
    frame();
    ASSERT_NE(dynamic_cast<BestRunsScreen*>(game.screens.top()), nullptr);
    EXPECT_EQ(red(all), 0) << "the end of the run is not shown under best runs";
    EXPECT_EQ(count(all, 255, 255, 255) > 0, true) << "best runs' own texts";
    // Nor the HUD's lines, not even dimmed: nothing light in the health line's corner.
    int light = 0;
    for (int y = height - 60; y < height; ++y)
        for (int x = 0; x < 200; ++x) {
            const unsigned char* p = &pixels[static_cast<std::size_t>((y * width + x) * 3)];
            light += p[0] > 100 && p[1] > 100 && p[2] > 100 ? 1 : 0;
        }
    EXPECT_EQ(light, 0) << "the health line is not drawn under best runs";
    // The prompt's light band is gone too: nothing of the world is lighter than the dimmed sky.
    EXPECT_EQ(count({0, height / 2 - 100, width / 6, height / 2 + 100}, 220, 220, 220), 0);

    game.screens.pop();
    frame();
    frame();
    EXPECT_GT(red(all), 500) << "back at the game over";
}

TEST_F(HUDFrameTest, ThePausedScreenShowsOverTheFrozenGameDrawnOnceWhileNothingChanges)
{
    frame();
    const Region middle{width / 2 - 200, height / 2 - 160, width / 2 + 200, height / 2 + 100};
    ASSERT_EQ(white(middle), 0);
    game.openPauseMenu();
    frame();
    EXPECT_GT(white(middle), 1000) << "PAUSED and its items";

    // The still world's picture is kept: the next frame draws no mesh and shows the same.
    const std::vector<unsigned char> paused = pixels;
    std::uint64_t meshes = meshDrawCalls();
    frame();
    EXPECT_EQ(meshDrawCalls(), meshes);
    EXPECT_TRUE(pixels == paused);
    // What the picture shows changes (the wireframe key works over the menus): drawn again.
    game.world()->input->wireframe = true;
    frame();
    EXPECT_GT(meshDrawCalls(), meshes);
    EXPECT_FALSE(pixels == paused);
    game.world()->input->wireframe = false;
    meshes = meshDrawCalls();
    frame();
    EXPECT_GT(meshDrawCalls(), meshes) << "and again when it changes back";
    EXPECT_TRUE(pixels == paused);
    game.screens.pop();
    frame();
    EXPECT_EQ(white(middle), 0);
}

TEST_F(HUDFrameTest, ARecordingAtItsEndStandsStillAndIsDrawnOnce)
{
    game.recordWith(makeGlfwInputDevice(game.window));
    for (int i = 0; i < 10; ++i)
        frame();
    std::string error;
    auto replay = parseReplay(game.world()->recorder->fileContent(), error);
    ASSERT_TRUE(replay) << error;
    game.screens.push(std::make_unique<ReplayScreen>(std::move(*replay), false));
    for (int i = 0; i < 60 && !(dynamic_cast<ReplayScreen*>(game.screens.top()) &&
                                dynamic_cast<ReplayScreen*>(game.screens.top())->ended());
         ++i)
        frame();
    auto* watching = dynamic_cast<ReplayScreen*>(game.screens.top());
    ASSERT_TRUE(watching && watching->ended());

    // Its end stays on screen a while: the world drawn once more, then its picture kept.
    frame();
    const std::vector<unsigned char> still = pixels;
    const std::uint64_t meshes = meshDrawCalls();
    frame();
    EXPECT_EQ(meshDrawCalls(), meshes);
    EXPECT_TRUE(pixels == still);
}

TEST_F(HUDFrameTest, ShaderReloadKeepsTheTextVisible)
{
    frame();
    const int before = white({25, height - 30, 200, height - 5});
    // F5 was down at the last sample; this frame's sample finds it let go and reloads.
    game.world()->input->keyStates[GLFW_KEY_F5] = KEY_HELD;
    const auto loads = getShader(SHADER_HUD)->loadCount;
    ::testing::internal::CaptureStdout();
    frame();
    ::testing::internal::GetCapturedStdout();
    ASSERT_GT(getShader(SHADER_HUD)->loadCount, loads);
    frame();
    EXPECT_GT(white({25, height - 30, 200, height - 5}), before / 2);
}

// The game in German in the smallest window: the game-over and pause screens show the
// translations, centred by their measure and shrunk to stay inside the window, where the
// English prompt, laid out for wider windows, would run off both sides.
class GermanSmallWindowTest : public HUDFrameTest {
protected:
    void SetUp() override
    {
        language.set("LANGUAGE", std::getenv("LANGUAGE"));
        startTranslations(thisBuild().locale, [](const char* name) { return std::string(name) == "LANGUAGE" ? "de" : nullptr; });
        // The game's own config.txt, its window size lines set to the smallest window.
        std::ifstream in(real.sandbox.assets() / "config.txt");
        std::string small;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("window_width"))
                line = "window_width = 640";
            else if (line.starts_with("window_height"))
                line = "window_height = 480";
            small += line + "\n";
        }
        real.sandbox.write("config.txt", small);
        HUDFrameTest::SetUp();
    }
    void TearDown() override { startTranslations(thisBuild().locale, [](const char*) -> const char* { return nullptr; }); }

    // Centred on the window's middle, and clear of both edges.
    void expectCentredInside(Region found, const char* what) const
    {
        ASSERT_LT(found.x0, found.x1) << what << " is drawn";
        EXPECT_GE(found.x0, 4) << what;
        EXPECT_LE(found.x1, width - 4) << what;
        EXPECT_NEAR((found.x0 + found.x1) / 2.0, width / 2.0, 6.0) << what;
    }

    testkit::ScopedEnv language;
};

TEST_F(GermanSmallWindowTest, GameOverAndPauseShowTheGermanTextsCentredInside640By480)
{
    frame();
    ASSERT_EQ(width, 640);
    ASSERT_EQ(height, 480);
    ASSERT_STRNE(_("YOU DIED"), "YOU DIED") << "the build's German catalogue";

    game.world()->player->health = -1.0f;
    frame();
    frame();
    ASSERT_TRUE(game.hud.died);
    const auto* play = dynamic_cast<PlayScreen*>(game.screens.top());
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->gameOverMenu.items[PlayScreen::Restart].label, _("RESTART"));
    const int H = height;
    expectCentredInside(bounds({0, H / 2 - 20, width, H / 2 + 100}, 255, 0, 0), "the red end of the run");
    // The prompt is black on the light band under it, wherever the column under the end of the
    // run has put it: the band is the run of rows light across most of the window (the forest's
    // outlines beside it are black too, so only what lies on the band counts).
    Region band{width, H, 0, 0};
    for (int y = 0; y < H; ++y) {
        int light = 0;
        int first = width;
        int last = 0;
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &pixels[static_cast<std::size_t>((y * width + x) * 3)];
            if (p[0] > 150 && p[1] > 150 && p[2] > 150) {
                ++light;
                first = std::min(first, x);
                last = x + 1;
            }
        }
        if (light > width / 2)
            band = {std::min(band.x0, first), std::min(band.y0, y), std::max(band.x1, last), y + 1};
    }
    ASSERT_LT(band.y0, band.y1) << "the light band";
    EXPECT_GT(band.y1 - band.y0, 10) << "one band, as tall as a line";
    const Region prompt = bounds(band, 0, 0, 0);
    expectCentredInside(prompt, "the black prompt");
    EXPECT_GT(prompt.x0, band.x0 + 2) << "the prompt begins on its band, not cut at the band's end";
    EXPECT_LT(prompt.x1, band.x1 - 2) << "the prompt ends on its band";

    // Back to a run still on, with its game-over menu gone, for the pause menu over it.
    game.world()->runOver = false;
    dynamic_cast<PlayScreen*>(game.screens.top())->gameOverShown = false;
    game.openPauseMenu();
    frame();
    const auto* pause = dynamic_cast<PauseScreen*>(game.screens.top());
    ASSERT_NE(pause, nullptr);
    EXPECT_EQ(pause->menu.title, _("PAUSED"));
    expectCentredInside(whiteBounds({0, 0, width, height}), "the pause menu's texts");
}

} // namespace
