#include "RenderFixture.h"

#include "render/Shader.h"

#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

namespace {

using ProgramsTest = rendertest::RenderTest;

constexpr int colourTolerance = 2;

TEST_F(ProgramsTest, TheHudProgramTurnsGlyphCoverageTimesOpacityIntoAlphaOfTheCornersColour)
{
    // A four-pixel target, dark blue, and a glyph that covers its left half fully.
    GLuint target = 0;
    GLuint framebuffer = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    glViewport(0, 0, 4, 1);
    glClearColor(0.0f, 0.0f, 0.4f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    GLuint glyph = 0;
    const unsigned char coverage[4] = {255, 255, 0, 0};
    glGenTextures(1, &glyph);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, glyph);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, 4, 1, 0, GL_RED, GL_UNSIGNED_BYTE, coverage);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

    const auto hud = getShader(SHADER_HUD);
    glUseProgram(hud->programId);
    hud->setMat4("projection", glm::ortho(0.0f, 4.0f, 0.0f, 1.0f, -1.0f, 1.0f));
    hud->setInt("text", 0);

    // Yellow corners at 0.8 opacity: (x, y, u, v) and the colour as four bytes.
    struct Corner {
        float x, y, u, v;
        unsigned char rgba[4];
    };
    const Corner quad[6] = {{0, 1, 0, 0, {255, 255, 0, 204}}, {0, 0, 0, 1, {255, 255, 0, 204}},
                            {4, 0, 1, 1, {255, 255, 0, 204}}, {0, 1, 0, 0, {255, 255, 0, 204}},
                            {4, 0, 1, 1, {255, 255, 0, 204}}, {4, 1, 1, 0, {255, 255, 0, 204}}};
    GLuint vao = 0;
    GLuint vbo = 0;
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Corner), nullptr);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Corner), reinterpret_cast<void*>(16));
    glEnableVertexAttribArray(1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glDisable(GL_BLEND);

    unsigned char pixels[16] = {};
    glReadPixels(0, 0, 4, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    for (int x = 0; x < 2; ++x) {
        // 0.8 of yellow over 0.2 of the dark blue (102).
        EXPECT_NEAR(pixels[x * 4 + 0], 204, colourTolerance) << "covered pixel " << x << " shows the text colour";
        EXPECT_NEAR(pixels[x * 4 + 1], 204, colourTolerance);
        EXPECT_NEAR(pixels[x * 4 + 2], 20, colourTolerance);
    }
    for (int x = 2; x < 4; ++x) {
        EXPECT_NEAR(pixels[x * 4 + 0], 0, colourTolerance) << "uncovered pixel " << x << " keeps the frame";
        EXPECT_NEAR(pixels[x * 4 + 2], 102, colourTolerance);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
