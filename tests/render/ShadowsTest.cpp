#include "RenderFixture.h"

#include "app/Game.h"
#include "files/Config.h"
#include "render/PostProcessing.h"
#include "render/Shader.h"
#include "render/Shadows.h"

#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

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
        shadows.initialize(settings());
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_EQ(textureSize(shadows.depthTexture), expected) << factor;
        EXPECT_EQ(glm::ivec2(shadows.width, shadows.height), expected);
        EXPECT_TRUE(rendertest::framebufferComplete(shadows.framebuffer));
    }
}

TEST_F(ShadowsTest, AFactorThatGivesNoUsableMapIsReplacedWithOneMessage)
{
    window_width = 1000.0f;
    window_height = 750.0f;
    for (const float factor : {0.0f, -1.0f, std::nanf("")}) {
        shadowmap_resolution_factor = factor;
        Shadows shadows;
        CaptureStdout();
        shadows.initialize(settings());
        const std::string out = GetCapturedStdout();
        EXPECT_EQ(out.rfind("ERROR - shadowmap_resolution_factor ", 0), 0u) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        EXPECT_EQ(glm::ivec2(shadows.width, shadows.height), glm::ivec2(2000, 1500)) << "the default factor, 2";
        EXPECT_EQ(textureSize(shadows.depthTexture), glm::ivec2(2000, 1500));
        EXPECT_TRUE(rendertest::framebufferComplete(shadows.framebuffer));
    }

    // Larger than the card's textures: shrunk to fit with the window's shape.
    CaptureStdout();
    EXPECT_EQ(shadowMapSize(1000.0f, 750.0f, 10.0f, 2.0f, 4096), glm::ivec2(4096, 3072));
    EXPECT_EQ(shadowMapSize(750.0f, 1000.0f, 1e30f, 2.0f, 4096), glm::ivec2(3072, 4096));
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
    CaptureStdout();
    EXPECT_EQ(shadowMapSize(1000.0f, 750.0f, 4.096f, 2.0f, 4096), glm::ivec2(4096, 3072)) << "exactly the largest is fine";
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST_F(ShadowsTest, TheLightBoxReachesTheFarEndOfTheRing)
{
    Shadows shadows;
    shadows.initialize(settings());
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
    shadows.initialize(settings());
    postProcessing.initialize(settings());
    const int textures = rendertest::liveTextures();
    const int framebuffers = rendertest::liveFramebuffers();
    const int buffers = rendertest::liveBuffers();
    const int arrays = rendertest::liveVertexArrays();

    // Now and then below a scale of 1, with the marked image's target besides the scene's.
    for (int i = 0; i < 5; ++i) {
        window_width += 10.0f;
        RenderSettings scaled = settings();
        scaled.renderScale = i % 2 == 0 ? 0.5f : 1.0f;
        shadows.initialize(scaled);
        postProcessing.initialize(scaled);
    }
    EXPECT_EQ(textureSize(postProcessing.colorTexture), glm::ivec2(185, 120));
    EXPECT_EQ(textureSize(postProcessing.markedTexture), glm::ivec2(185, 120));
    EXPECT_EQ(glm::ivec2(shadows.width, shadows.height), glm::ivec2(740, 480)) << "the map keeps the window's size";
    EXPECT_TRUE(rendertest::framebufferComplete(postProcessing.markedFramebuffer));
    EXPECT_EQ(rendertest::liveTextures(), textures + 1);
    EXPECT_EQ(rendertest::liveFramebuffers(), framebuffers + 1);
    postProcessing.initialize(settings());
    EXPECT_EQ(postProcessing.markedFramebuffer, 0u);
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
    postProcessing.initialize(settings());
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
    shadows.initialize(settings());
    postProcessing.initialize(settings());
    EXPECT_EQ(GetCapturedStdout(), "Shadows::initialize: framebuffer is not complete\n"
                                   "PostProcessing::initialize: framebuffer is not complete\n");
}

TEST_F(ShadowsTest, TheReadableAreaHoldsEveryPointInViewAndNotTheWholeMap)
{
    window_width = 1000.0f;
    window_height = 750.0f;
    shadowmap_resolution_factor = 2.0f;
    Shadows shadows;
    shadows.initialize(settings());
    // Along the tunnel from its start, as the game's camera looks.
    const glm::mat4 camera = glm::perspective(glm::radians(60.0f), 4.0f / 3.0f, 0.1f, 300.0f) *
                             glm::lookAt(glm::vec3(0.0f, 0.0f, 20.0f), glm::vec3(100.0f, 0.0f, 15.0f), glm::vec3(0, 0, 1));
    shadows.drawDepthPass(lightPosition, camera);
    const glm::ivec4 area = shadows.readableArea(camera);
    EXPECT_LT(area.z * area.w, shadows.width * shadows.height / 2) << "the view reads less than half the map";

    // Points all through the view, down to its corners, fall inside with room for the filter.
    const glm::mat4 toWorld = glm::inverse(camera);
    constexpr int steps = 8;
    for (int i = 0; i <= steps; ++i)
        for (int j = 0; j <= steps; ++j)
            for (int k = 0; k <= steps; ++k) {
                const glm::vec3 ndc = glm::vec3(i, j, k) * (2.0f / steps) - 1.0f;
                const glm::vec4 world = toWorld * glm::vec4(ndc, 1.0f);
                const glm::vec4 light = shadows.lightPvMatrix * (world / world.w);
                const glm::vec2 texel = (glm::vec2(light) / light.w * 0.5f + 0.5f) * glm::vec2(shadows.width, shadows.height);
                EXPECT_GE(texel.x, area.x + 2.0f) << i << j << k;
                EXPECT_GE(texel.y, area.y + 2.0f) << i << j << k;
                EXPECT_LE(texel.x, area.x + area.z - 2.0f) << i << j << k;
                EXPECT_LE(texel.y, area.y + area.w - 2.0f) << i << j << k;
            }
}

TEST_F(ShadowsTest, AViewThatCannotBeInvertedReadsTheWholeMap)
{
    Shadows shadows;
    shadows.initialize(settings());
    shadows.drawDepthPass(lightPosition);
    EXPECT_EQ(shadows.readableArea(glm::mat4(0.0f)), glm::ivec4(0, 0, shadows.width, shadows.height));
}

} // namespace
