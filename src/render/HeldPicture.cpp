#include "render/HeldPicture.h"

#include "render/RenderTarget.h"

#include <epoxy/gl.h>

namespace {

const TargetImage picture{GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_COLOR_ATTACHMENT0, GL_NEAREST, GL_CLAMP_TO_EDGE};

void copy(std::uint32_t from, std::uint32_t to, glm::ivec2 size)
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    glBlitFramebuffer(0, 0, size.x, size.y, 0, 0, size.x, size.y, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

} // namespace

void HeldPicture::release()
{
    deleteFramebuffer(framebuffer);
    deleteTexture(texture);
    held.reset();
    size = glm::ivec2(0);
}

bool HeldPicture::show(const Key& key)
{
    if (!held || !(*held == key))
        return false;
    copy(framebuffer, 0, size);
    return true;
}

void HeldPicture::hold(const Key& key)
{
    held.reset();
    if (key.window.x <= 0 || key.window.y <= 0)
        return;
    if (size != key.window) {
        release();
        framebuffer = createFramebuffer();
        texture = attachNewTexture(picture, key.window.x, key.window.y);
        const bool complete = framebufferComplete();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (!complete) {
            release();
            return;
        }
        size = key.window;
    }
    copy(0, framebuffer, size);
    held = key;
}
