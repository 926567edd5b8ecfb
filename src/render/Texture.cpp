#include "render/Texture.h"

#include "files/Files.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <filesystem>

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace {

// One- and two-channel images are grey (and grey + alpha); the swizzle makes them read as
// grey in every colour channel, like the three-channel images they stand in for.
void uploadImage(const unsigned char* pixels, int width, int height, int channels)
{
    GLint previousAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    // Rows of odd byte length (1, 2 or 3 channels at odd widths) are packed without padding.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    switch (channels) {
    case 1:
    case 2: {
        const GLenum format = channels == 1 ? GL_RED : GL_RG;
        const GLint internal = channels == 1 ? GL_R8 : GL_RG8;
        glTexImage2D(GL_TEXTURE_2D, 0, internal, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
        // Alpha is dropped as for colour images: the materials are opaque.
        const GLint swizzle[4] = {GL_RED, GL_RED, GL_RED, GL_ONE};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        break;
    }
    default:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
                     pixels);
        break;
    }
    glGenerateMipmap(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
}

GLuint newTexture()
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    // Tiled floors seen at a grazing angle shimmer without the mipmaps.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return texture;
}

bool staysInFolder(const std::string& name)
{
    const std::filesystem::path path(name);
    return !path.is_absolute() &&
           std::none_of(path.begin(), path.end(), [](const std::filesystem::path& part) { return part == ".."; });
}

} // namespace

std::uint32_t loadTexture(std::string path)
{
    const GLuint texture = newTexture();

    stbi_set_flip_vertically_on_load(1);
    int width = 0;
    int height = 0;
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 0);
    if (pixels && channels >= 1 && channels <= 4)
        uploadImage(pixels, width, height, channels);
    else
        logMessage("ERROR - failed to load texture: " + path);
    stbi_image_free(pixels);
    return texture;
}

std::uint32_t loadModelTexture(const std::string& folder, const std::string& name)
{
    const std::string path = folder + "/" + name;
    if (staysInFolder(name))
        return loadTexture(path);
    const GLuint texture = newTexture();
    logMessage("ERROR - failed to load texture: " + path);
    return texture;
}
