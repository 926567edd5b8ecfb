#include "GltfWriter.h"

#include "app/Game.h"
#include "files/Config.h"
#include "input/GameInput.h"
#include "render/Model.h"
#include "render/Shader.h"
#include "support/TestSupport.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class GameRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sandbox.write("config.txt", "window_width = 320\nwindow_height = 240\n");
        // A known one-mesh cube and no tree, whatever the game's own models are.
        std::filesystem::remove_all(sandbox.assets() / "models");
        gltf::scene({gltf::box("Cube", glm::vec3(1.0f), 0)}, {{"Paint", glm::vec4(0.9f, 0.5f, 0.2f, 1.0f), 0.8f, "", ""}})
            .write(sandbox, "models/dummy/cube.gltf");
    }

    testkit::SandboxGame real;
    testkit::AssetSandbox& sandbox = real.sandbox;
    Game& game = real.game;
};

TEST_F(GameRenderTest, AFrameDrawsEveryQueuedMeshOncePerPassAndF5ReloadsEveryProgram)
{
    // A busy Xvfb now and then refuses a connection: the start-up is tried again then.
    bool started = false;
    std::string startup;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        CaptureStdout();
        started = testkit::initializeGame(game, "Quillfen render test");
        startup = GetCapturedStdout();
    }
    ASSERT_TRUE(started) << startup;
    EXPECT_EQ(startup.find("Shader"), std::string::npos) << startup;
    ASSERT_EQ(shaderRegistry().size(), 5u);
    ASSERT_TRUE(getModel(MODEL_CUBE) && getModel(MODEL_CUBE)->loaded);
    EXPECT_FALSE(getModel(MODEL_TREE)->loaded) << "no tree file in this sandbox";

    auto device = std::make_unique<testkit::FakeInputDevice>();
    testkit::FakeInputDevice* keys = device.get();
    game.world()->input = std::make_shared<GameInput>(std::move(device));

    game.world()->root.addChild(std::make_shared<Drawable>(getModel(MODEL_CUBE)));
    game.world()->root.addChild(std::make_shared<Drawable>(getModel(MODEL_CUBE)));
    game.world()->root.addChild(std::make_shared<Drawable>(getModel(MODEL_TREE)));
    const std::uint64_t before = meshDrawCalls();
    game.render();
    EXPECT_EQ(meshDrawCalls() - before, 2u) << "one cube mesh: shadow depths, lit";
    EXPECT_TRUE(getModel(MODEL_CUBE)->modelMatrices.empty());
    EXPECT_TRUE(getModel(MODEL_TREE)->modelMatrices.empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    keys->pressed[GLFW_KEY_F5] = true;
    game.update();
    keys->pressed[GLFW_KEY_F5] = false;
    game.update();
    for (const auto& [key, shader] : shaderRegistry())
        EXPECT_EQ(shader->loadCount, 2u) << "program " << key;

    game.render();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GameRenderTest, TheSceneTargetsFollowTheRenderScaleAndTheWindowTogether)
{
    sandbox.write("config.txt", "window_width = 320\nwindow_height = 240\nrender_scale = 0.5\n");
    ASSERT_TRUE(testkit::initializeGame(game, "Quillfen render test"));
    game.world()->input = std::make_shared<GameInput>(std::make_unique<testkit::FakeInputDevice>());
    auto sizes = [&] {
        return std::tuple{glm::ivec2(game.postProcessing.width, game.postProcessing.height),
                          glm::ivec2(game.postProcessing.windowWidth, game.postProcessing.windowHeight),
                          glm::ivec2(game.shadows.width, game.shadows.height)};
    };
    using Sizes = std::tuple<glm::ivec2, glm::ivec2, glm::ivec2>;
    // The first frame is already drawn at the configured scale; the shadow map keeps the window's.
    EXPECT_EQ(sizes(), (Sizes{{160, 120}, {320, 240}, {640, 480}}));
    game.render();
    EXPECT_EQ(sizes(), (Sizes{{160, 120}, {320, 240}, {640, 480}}));
    EXPECT_NE(game.postProcessing.markedFramebuffer, 0u);

    // A new scale (F4 after an edit): the scene's targets follow at the end of the frame.
    render_scale = 0.75f;
    game.render();
    EXPECT_EQ(sizes(), (Sizes{{240, 180}, {320, 240}, {640, 480}}));

    // The window's new size: every target follows, the scene's at the scale.
    Game::onFramebufferSize(game.window, 400, 300);
    game.render();
    EXPECT_EQ(sizes(), (Sizes{{300, 225}, {400, 300}, {800, 600}}));

    // Back to the full picture: one outline pass straight into the window, as ever.
    render_scale = 1.0f;
    game.render();
    EXPECT_EQ(sizes(), (Sizes{{400, 300}, {400, 300}, {800, 600}}));
    EXPECT_EQ(game.postProcessing.markedFramebuffer, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
