#include "render/RenderTarget.h"

#include <epoxy/gl.h>

std::uint32_t createFramebuffer()
{
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    return framebuffer;
}

std::uint32_t attachNewTexture(const TargetImage& image, int width, int height)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(image.internalFormat), width, height, 0, image.format, image.type,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(image.filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(image.filter));
    if (image.wrap != 0) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(image.wrap));
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(image.wrap));
    }
    glFramebufferTexture2D(GL_FRAMEBUFFER, image.attachment, GL_TEXTURE_2D, texture, 0);
    return texture;
}

bool framebufferComplete()
{
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void deleteFramebuffer(std::uint32_t& framebuffer)
{
    if (framebuffer != 0)
        glDeleteFramebuffers(1, &framebuffer);
    framebuffer = 0;
}

void deleteTexture(std::uint32_t& texture)
{
    if (texture != 0)
        glDeleteTextures(1, &texture);
    texture = 0;
}
