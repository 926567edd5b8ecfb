#include "RenderFixture.h"

#include "app/Config.h"
#include "render/PostProcessing.h"
#include "render/Shader.h"
#include "render/Shadows.h"

#include <epoxy/gl.h>

#include <gtest/gtest.h>

namespace {

using rendertest::RenderTest;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr float projectionTolerance = 1e-7f;

glm::ivec2 textureSize(GLuint texture)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glm::ivec2 size(0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &size.x);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &size.y);
    return size;
}

using ShadowsTest = RenderTest;

TEST_F(ShadowsTest, TheMapFollowsTheWindowTimesTheFactorTruncated)
{
    window_width = 1000.0f;
    window_height = 750.0f;
    for (const auto& [factor, expected] : {std::pair{0.5f, glm::ivec2(500, 375)}, std::pair{1.3f, glm::ivec2(1300, 974)}}) {
        shadowmap_resolution_factor = factor;
        Shadows shadows;
        CaptureStdout();
        shadows.initialize();
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_EQ(textureSize(shadows.depthTexture), expected) << factor;
        EXPECT_EQ(glm::ivec2(shadows.width, shadows.height), expected);
        EXPECT_TRUE(rendertest::framebufferComplete(shadows.framebuffer));
    }
}

TEST_F(ShadowsTest, TheLightBoxReachesTheFarEndOfTheRing)
{
    Shadows shadows;
    shadows.initialize();
    const float d = 1273.774f;
    EXPECT_NEAR(shadows.lightProjection[0][0], 0.002f, projectionTolerance);
    EXPECT_NEAR(shadows.lightProjection[1][1], 0.002f, projectionTolerance);
    EXPECT_NEAR(shadows.lightProjection[2][2], -2.0f / (d - 0.1f), projectionTolerance);
    EXPECT_NEAR(shadows.lightProjection[3][2], -(d + 0.1f) / (d - 0.1f), 1e-5f);
    EXPECT_EQ(shadows.lightProjection[3][3], 1.0f);
}

TEST_F(ShadowsTest, ReinitialisingReleasesThePreviousTargets)
{
    Shadows shadows;
    PostProcessing postProcessing;
    shadows.initialize();
    postProcessing.initialize();
    const int textures = rendertest::liveTextures();
    const int framebuffers = rendertest::liveFramebuffers();
    const int buffers = rendertest::liveBuffers();
    const int arrays = rendertest::liveVertexArrays();

    for (int i = 0; i < 5; ++i) {
        window_width += 10.0f;
        shadows.initialize();
        postProcessing.initialize();
    }
    EXPECT_EQ(rendertest::liveTextures(), textures);
    EXPECT_EQ(rendertest::liveFramebuffers(), framebuffers);
    EXPECT_EQ(rendertest::liveBuffers(), buffers);
    EXPECT_EQ(rendertest::liveVertexArrays(), arrays);
    EXPECT_EQ(textureSize(postProcessing.colorTexture), glm::ivec2(370, 240));
    EXPECT_TRUE(rendertest::framebufferComplete(shadows.framebuffer));
    EXPECT_TRUE(rendertest::framebufferComplete(postProcessing.framebuffer));
}

TEST_F(ShadowsTest, TheOutlineTargetsMatchTheWindowAndTakeTheEdgeProgram)
{
    window_width = 1280.0f;
    window_height = 720.0f;
    PostProcessing postProcessing;
    CaptureStdout();
    postProcessing.initialize();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(textureSize(postProcessing.colorTexture), glm::ivec2(1280, 720));
    EXPECT_EQ(textureSize(postProcessing.depthTexture), glm::ivec2(1280, 720));
    EXPECT_TRUE(rendertest::framebufferComplete(postProcessing.framebuffer));
    EXPECT_EQ(postProcessing.edgeShader, getShader(SHADER_PP_EDGE));
}

TEST_F(ShadowsTest, IncompleteTargetsAreReported)
{
    window_width = 0.0f;
    Shadows shadows;
    PostProcessing postProcessing;
    CaptureStdout();
    shadows.initialize();
    postProcessing.initialize();
    EXPECT_EQ(GetCapturedStdout(), "Shadows::initialize: framebuffer is not complete\n"
                                   "PostProcessing::initialize: framebuffer is not complete\n");
}

} // namespace
