#include "RenderFixture.h"

#include "app/Game.h"
#include "files/Config.h"
#include "render/Shader.h"

#include <epoxy/gl.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace rendertest {

namespace {

constexpr GLuint namesScanned = 4096;

template <typename Predicate>
int countLive(Predicate isLive)
{
    int live = 0;
    for (GLuint name = 1; name < namesScanned; ++name)
        live += isLive(name) ? 1 : 0;
    return live;
}

} // namespace

RenderTest::RenderTest(int width, int height, bool visible)
    : width(width)
    , height(height)
    , visible(visible)
{
}

void RenderTest::SetUp()
{
    resetSettings();
    window_width = static_cast<float>(width);
    window_height = static_cast<float>(height);
    sandbox.copyRealAssets();
    context = std::make_unique<testkit::GlContext>(width, height, visible);
    loadShaders();
}

RenderSettings RenderTest::settings()
{
    return configuredRenderSettings();
}

void RenderTest::TearDown()
{
    context.reset();
    resetSettings();
}

void writePng(const std::filesystem::path& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels)
{
    std::filesystem::create_directories(path.parent_path());
    ASSERT_NE(stbi_write_png(path.string().c_str(), width, height, channels, pixels.data(), width * channels), 0)
        << path;
}

int liveTextures()
{
    return countLive([](GLuint name) { return glIsTexture(name) == GL_TRUE; });
}

int liveFramebuffers()
{
    return countLive([](GLuint name) { return glIsFramebuffer(name) == GL_TRUE; });
}

int liveBuffers()
{
    return countLive([](GLuint name) { return glIsBuffer(name) == GL_TRUE; });
}

int liveVertexArrays()
{
    return countLive([](GLuint name) { return glIsVertexArray(name) == GL_TRUE; });
}

bool framebufferComplete(unsigned framebuffer)
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return complete;
}

} // namespace rendertest
