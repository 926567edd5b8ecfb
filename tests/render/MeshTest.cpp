#include "RenderFixture.h"

#include "files/Files.h"
#include "render/Mesh.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <gtest/gtest.h>

namespace {

using rendertest::RenderTest;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

std::shared_ptr<Mesh> triangle()
{
    auto mesh = std::make_shared<Mesh>(glm::mat4(1.0f), glm::mat4(1.0f));
    mesh->vertices = {{{0, 0, 0}, {0, 0, 1}, {0, 0}}, {{1, 0, 0}, {0, 0, 1}, {1, 0}}, {{0, 1, 0}, {0, 0, 1}, {0, 1}}};
    mesh->positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->indices = {0, 1, 2};
    return mesh;
}

TEST(MeshWithoutGl, IsBuiltAndDestroyedWithoutAContext)
{
    // Physics builds meshes by hand and never uploads them.
    auto mesh = triangle();
    EXPECT_EQ(mesh->vao, 0u);
    EXPECT_EQ(mesh->shininess, 32.0f);
    EXPECT_EQ(mesh->color, glm::vec3(0.0f));
    mesh.reset();
}

using MeshTest = RenderTest;

TEST_F(MeshTest, BuffersHoldTheVerticesAndGoWithTheMesh)
{
    auto mesh = triangle();
    mesh->createBuffers();
    ASSERT_TRUE(glIsVertexArray(mesh->vao));
    glBindBuffer(GL_ARRAY_BUFFER, mesh->vbo);
    GLint bytes = 0;
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
    EXPECT_EQ(bytes, 3 * 32);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh->ebo);
    glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
    EXPECT_EQ(bytes, 3 * 4);

    const unsigned vao = mesh->vao;
    const unsigned vbo = mesh->vbo;
    mesh.reset();
    EXPECT_FALSE(glIsVertexArray(vao));
    EXPECT_FALSE(glIsBuffer(vbo));
}

TEST_F(MeshTest, AMeshOutlivingItsContextLeavesTheNextContextAlone)
{
    auto mesh = triangle();
    mesh->createBuffers();
    const unsigned vao = mesh->vao;

    // The registries outlive the window: a new context hands out the same names again.
    context.reset();
    context = std::make_unique<testkit::GlContext>(width, height);
    GLuint newcomer = 0;
    glGenVertexArrays(1, &newcomer);
    glBindVertexArray(newcomer);
    glBindVertexArray(0);
    ASSERT_EQ(newcomer, vao) << "the driver did not reuse the name; the test proves nothing";

    mesh.reset();
    EXPECT_TRUE(glIsVertexArray(newcomer)) << "another context's vertex array was deleted";
}

TEST_F(MeshTest, AMeshDestroyedAfterGlfwEndsIsQuiet)
{
    auto mesh = triangle();
    mesh->createBuffers();
    context.reset();
    glfwSetErrorCallback([](int, const char* description) { logMessage(description); });
    CaptureStdout();
    mesh.reset();
    EXPECT_EQ(GetCapturedStdout(), "");
    glfwSetErrorCallback(nullptr);
}

TEST_F(MeshTest, TexturesGoToUnitsFromOneWithNumberedSamplersPerType)
{
    sandbox.write("shaders/test/test.vert", "#version 430 core\nlayout(location = 0) in vec3 p;\n"
                                            "void main() { gl_Position = vec4(p, 1.0); }\n");
    sandbox.write("shaders/test/test.frag",
                  "#version 430 core\nuniform sampler2D texture_diffuse1;\nuniform sampler2D texture_diffuse2;\n"
                  "uniform sampler2D texture_specular1;\nuniform int diffuseMaps;\nuniform int specularMaps;\n"
                  "out vec4 c;\nvoid main() { c = texture(texture_diffuse1, vec2(0.0)) + texture(texture_diffuse2, "
                  "vec2(0.0)) + texture(texture_specular1, vec2(0.0)) + vec4(diffuseMaps + specularMaps); }\n");
    Shader shader(assetPath("shaders/test/test.vert"), assetPath("shaders/test/test.frag"));
    glUseProgram(shader.programId);

    GLuint names[3] = {};
    glGenTextures(3, names);
    auto mesh = triangle();
    mesh->textures = {{names[0], "texture_diffuse", "a.png", true},
                      {names[1], "texture_diffuse", "b.png", false},
                      {names[2], "texture_specular", "c.png", true}};
    mesh->bindTextures(shader);

    auto uniform = [&](const char* name) {
        GLint value = -1;
        glGetUniformiv(shader.programId, glGetUniformLocation(shader.programId, name), &value);
        return value;
    };
    EXPECT_EQ(uniform("texture_diffuse1"), 1);
    EXPECT_EQ(uniform("texture_diffuse2"), 2);
    EXPECT_EQ(uniform("texture_specular1"), 3);
    EXPECT_EQ(uniform("diffuseMaps"), 1) << "the second diffuse texture has no image";
    EXPECT_EQ(uniform("specularMaps"), 1);
    for (int unit = 1; unit <= 3; ++unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), names[unit - 1]) << "unit " << unit;
    }

    // A material without maps says so, whatever the samplers still point at.
    triangle()->bindTextures(shader);
    EXPECT_EQ(uniform("diffuseMaps"), 0);
    EXPECT_EQ(uniform("specularMaps"), 0);
}

} // namespace
