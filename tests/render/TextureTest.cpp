#include "GltfWriter.h"
#include "RenderFixture.h"

#include "files/Files.h"
#include "render/Model.h"
#include "render/Shader.h"
#include "render/Texture.h"

#include <epoxy/gl.h>

#include <gtest/gtest.h>

namespace {

using rendertest::RenderTest;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// An odd width makes every row of a 1-, 2- or 3-channel image a size that is not a multiple of 4.
constexpr int imageWidth = 5;
constexpr int imageHeight = 3;

std::vector<unsigned char> pattern(int channels)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(imageWidth * imageHeight * channels));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(17 + 13 * i);
    return pixels;
}

// The image as OpenGL holds it: rows bottom to top.
std::vector<unsigned char> flipped(const std::vector<unsigned char>& pixels, int channels)
{
    const std::size_t row = static_cast<std::size_t>(imageWidth * channels);
    std::vector<unsigned char> out;
    for (int y = imageHeight - 1; y >= 0; --y)
        out.insert(out.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y * row),
                   pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
    return out;
}

std::vector<unsigned char> readBack(GLuint texture, GLenum format, int channels)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(imageWidth * imageHeight * channels), 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return pixels;
}

class TextureTest : public RenderTest {
protected:
    GLuint load(int channels, const std::vector<unsigned char>& pixels)
    {
        const auto path = sandbox.assets() / ("image" + std::to_string(channels) + ".png");
        rendertest::writePng(path, imageWidth, imageHeight, channels, pixels);
        CaptureStdout();
        const GLuint texture = loadTexture(path.string());
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return texture;
    }
};

TEST_F(TextureTest, EveryChannelCountUploadsFlippedWithOddRows)
{
    for (const auto& [channels, format] : {std::pair{1, GL_RED}, std::pair{2, GL_RG}, std::pair{3, GL_RGB}}) {
        const auto pixels = pattern(channels);
        const GLuint texture = load(channels, pixels);
        EXPECT_EQ(readBack(texture, format, channels), flipped(pixels, channels)) << channels << " channels";
    }
}

TEST_F(TextureTest, FourChannelImagesKeepTheirColourAndDropAlpha)
{
    const auto pixels = pattern(4);
    const GLuint texture = load(4, pixels);
    const auto expected = flipped(pixels, 4);
    const auto rgba = readBack(texture, GL_RGBA, 4);
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        EXPECT_EQ(rgba[i], expected[i]);
        EXPECT_EQ(rgba[i + 1], expected[i + 1]);
        EXPECT_EQ(rgba[i + 2], expected[i + 2]);
        EXPECT_EQ(rgba[i + 3], 255) << "materials are opaque";
    }
}

TEST_F(TextureTest, GreyImagesReadAsGreyAndEveryTextureIsMipmapped)
{
    const GLuint texture = load(1, pattern(1));
    GLint swizzle[4] = {};
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
    EXPECT_EQ(swizzle[0], GL_RED);
    EXPECT_EQ(swizzle[1], GL_RED);
    EXPECT_EQ(swizzle[2], GL_RED);
    EXPECT_EQ(swizzle[3], GL_ONE);

    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    EXPECT_EQ(static_cast<GLuint>(boundTexture), texture) << "left bound";
    GLint levelOneWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &levelOneWidth);
    EXPECT_EQ(levelOneWidth, imageWidth / 2);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the unpack alignment is put back";
}

TEST_F(TextureTest, AMissingImageIsReportedAndStillNamed)
{
    CaptureStdout();
    const GLuint texture = loadTexture("../../assets/models/nothing.png");
    EXPECT_EQ(GetCapturedStdout(), "ERROR - failed to load texture: ../../assets/models/nothing.png\n");
    EXPECT_TRUE(glIsTexture(texture));
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 0) << "no image";
}

// A model names its textures; a name that climbs out of the model's folder could read any image
// on the machine, and is refused with the message of an image that does not load.
TEST_F(TextureTest, AModelsTextureNamesStayInTheModelsFolder)
{
    const std::vector<unsigned char> grey(12, 200);
    rendertest::writePng(sandbox.assets() / "models" / "outside.png", 2, 2, 3, grey);
    rendertest::writePng(sandbox.assets() / "models" / "test" / "inside.png", 2, 2, 3, grey);
    std::filesystem::create_directories(sandbox.assets() / "models" / "test" / "maps");
    const std::string absolute = (sandbox.assets() / "models" / "outside.png").string();
    const std::vector<std::string> names = {"../outside.png", "maps/../../outside.png", absolute, "inside.png"};
    std::vector<gltf::MeshData> meshes;
    std::vector<gltf::Material> materials;
    for (std::size_t i = 0; i < names.size(); ++i) {
        meshes.push_back(gltf::box("Box" + std::to_string(i), glm::vec3(1.0f), static_cast<int>(i)));
        materials.push_back({"Material" + std::to_string(i), glm::vec4(1.0f), 0.8f, names[i], ""});
    }
    gltf::scene(meshes, materials).write(sandbox, "models/test/model.gltf");

    CaptureStdout();
    const Model model(assetPath("models/test/model.gltf"), getShader(SHADER_RAWCOLOR));
    const std::string out = GetCapturedStdout();
    for (std::size_t i = 0; i + 1 < names.size(); ++i)
        EXPECT_NE(out.find("ERROR - failed to load texture: ../../assets/models/test/" + names[i] + "\n"),
                  std::string::npos)
            << names[i] << " was not refused: " << out;
    EXPECT_EQ(out.find("inside.png"), std::string::npos) << out;
    ASSERT_EQ(model.meshes.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(model.meshes[i]->textures.size(), 1u) << names[i];
        EXPECT_EQ(model.meshes[i]->textures[0].hasImage, names[i] == "inside.png") << names[i];
    }
}

} // namespace
