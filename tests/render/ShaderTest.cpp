#include "RenderFixture.h"

#include "files/Files.h"
#include "render/Light.h"
#include "render/Shader.h"
#include "render/Shadows.h"

#include <epoxy/gl.h>
#include <glm/gtc/type_ptr.hpp>

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>

namespace {

using rendertest::RenderTest;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

const std::string goodVertex = "#version 430 core\n"
                               "layout(location = 0) in vec3 position;\n"
                               "uniform mat4 pvMatrix;\n"
                               "void main() { gl_Position = pvMatrix * vec4(position, 1.0); }\n";
const std::string goodFragment = "#version 430 core\n"
                                 "out vec4 fragColor;\n"
                                 "void main() { fragColor = vec4(1.0); }\n";
const std::string brokenVertex = "#version 430 core\nvoid main() { gl_Position = vec4(undeclaredThing); }\n";
const std::string brokenFragment = "#version 430 core\nout vec4 c;\nvoid main() { c = missingColour; }\n";

// The full info log of compiling source, as the driver gives it.
std::string fullCompileLog(GLenum type, const std::string& source)
{
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length), '\0');
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    glDeleteShader(shader);
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    return log;
}

bool linked(const Shader& shader)
{
    GLint status = 0;
    glGetProgramiv(shader.programId, GL_LINK_STATUS, &status);
    return status == GL_TRUE;
}

class ShaderTest : public RenderTest {
protected:
    std::shared_ptr<Shader> make(const std::string& vertex, const std::string& fragment)
    {
        sandbox.write("shaders/test/test.vert", vertex);
        sandbox.write("shaders/test/test.frag", fragment);
        return std::make_shared<Shader>(assetPath("shaders/test/test.vert"), assetPath("shaders/test/test.frag"));
    }
};

TEST_F(ShaderTest, TheShippedProgramsBuildSilentlyAndEveryPassFindsItsOwn)
{
    CaptureStdout();
    loadShaders();
    EXPECT_EQ(GetCapturedStdout(), "") << "the shipped shaders compile and link without a word";

    // Each pass of the frame asks for its program by key: every one is there and linked, and
    // each is built from sources of its own (a pass given another's program draws wrongly).
    std::set<std::pair<std::string, std::string>> distinct;
    for (const int key : {SHADER_DEFAULT, SHADER_RAWCOLOR, SHADER_PP_EDGE, SHADER_DEPTH, SHADER_HUD}) {
        SCOPED_TRACE(key);
        const auto shader = getShader(key);
        ASSERT_TRUE(shader);
        EXPECT_TRUE(linked(*shader));
        EXPECT_TRUE(shader->models.empty()) << "nothing to draw until models are loaded";
        distinct.emplace(shader->vertexPath, shader->fragmentPath);
    }
    EXPECT_EQ(distinct.size(), 5u);

    // Asking for a program that does not exist gives nothing and adds nothing to what is drawn.
    const std::size_t programs = shaderRegistry().size();
    EXPECT_FALSE(getShader(-1));
    EXPECT_FALSE(getShader(1000));
    EXPECT_EQ(shaderRegistry().size(), programs);
}

TEST_F(ShaderTest, CompileErrorsNameTheirStageAndTheLinkFailureFollows)
{
    const std::string vertexLog = fullCompileLog(GL_VERTEX_SHADER, brokenVertex);
    ASSERT_FALSE(vertexLog.empty());
    CaptureStdout();
    auto shader = make(brokenVertex, goodFragment);
    std::string out = GetCapturedStdout();
    const std::string compileMessage = "ERROR - Shader Compile Error in Vertex: \n" + vertexLog + "\n\n";
    EXPECT_EQ(out.rfind(compileMessage, 0), 0u) << out;
    EXPECT_EQ(out.substr(compileMessage.size()).rfind("ERROR - Shader Program Linking Error: \n", 0), 0u) << out;
    EXPECT_FALSE(linked(*shader));
    EXPECT_NE(shader->programId, 0xFFFFFFFFu) << "the failed program is kept";

    const std::string fragmentLog = fullCompileLog(GL_FRAGMENT_SHADER, brokenFragment);
    CaptureStdout();
    shader = make(goodVertex, brokenFragment);
    out = GetCapturedStdout();
    EXPECT_EQ(out.rfind("ERROR - Shader Compile Error in Fragment: \n" + fragmentLog + "\n\n", 0), 0u) << out;
}

TEST_F(ShaderTest, LinkErrorsCarryNoStageName)
{
    // Compiles, but a fragment stage without main cannot link.
    const std::string noMain = "#version 430 core\nout vec4 c;\nvoid shade() { c = vec4(1.0); }\n";
    CaptureStdout();
    auto shader = make(goodVertex, noMain);
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(out.rfind("ERROR - Shader Program Linking Error: \n", 0), 0u) << out;
    EXPECT_EQ(out.find("Compile Error"), std::string::npos) << out;
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out.substr(out.size() - 2), "\n\n") << "the log ends with its own line break and the message's";
}

TEST_F(ShaderTest, LongInfoLogsAreCutToTheBuffer)
{
    std::ostringstream source;
    source << "#version 430 core\nvoid main() {\n";
    for (int i = 0; i < 200; ++i)
        source << "  float value" << i << " = undeclaredName" << i << ";\n";
    source << "  gl_Position = vec4(0.0);\n}\n";
    const std::string fullLog = fullCompileLog(GL_VERTEX_SHADER, source.str());
    ASSERT_GT(fullLog.size(), 1023u) << "the driver must report enough errors for this test";

    CaptureStdout();
    auto shader = make(source.str(), goodFragment);
    const std::string out = GetCapturedStdout();
    const std::string prefix = "ERROR - Shader Compile Error in Vertex: \n";
    ASSERT_EQ(out.rfind(prefix, 0), 0u);
    const std::string expected = prefix + fullLog.substr(0, 1023) + "\n\n";
    EXPECT_EQ(out.substr(0, expected.size()), expected);
}

TEST_F(ShaderTest, MissingSourceIsReportedAndTheGameGoesOn)
{
    sandbox.write("shaders/test/test.frag", goodFragment);
    CaptureStdout();
    Shader shader(assetPath("shaders/test/missing.vert"), assetPath("shaders/test/test.frag"));
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(out.rfind("ERROR - failed to read file: ../../assets/shaders/test/missing.vert\n", 0), 0u) << out;
    EXPECT_NE(out.find("ERROR - Shader Compile Error in Vertex: \n"), std::string::npos) << out;
    EXPECT_FALSE(linked(shader));
}

TEST_F(ShaderTest, AReloadOfAFixedSourceRestoresTheProgramAndIsCounted)
{
    auto shader = make(goodVertex, goodFragment);
    ASSERT_TRUE(linked(*shader));
    EXPECT_EQ(shader->loadCount, 1u);

    // A uniform sent once before the reload, as the HUD sends its projection.
    glUseProgram(shader->programId);
    const glm::mat4 projection(2.0f);
    shader->setPvMatrix(projection);

    sandbox.write("shaders/test/test.vert", brokenVertex);
    CaptureStdout();
    shader->load();
    const std::string broken = GetCapturedStdout();
    EXPECT_NE(broken.find("ERROR - Shader Compile Error in Vertex"), std::string::npos);
    EXPECT_FALSE(linked(*shader));
    EXPECT_EQ(shader->loadCount, 2u);

    sandbox.write("shaders/test/test.vert", goodVertex);
    CaptureStdout();
    shader->load();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(linked(*shader));
    EXPECT_EQ(shader->loadCount, 3u) << "users of once-set uniforms see the new program";

    // The rebuilt program starts from zeroed uniforms: whoever set one must send it again.
    float value[16] = {};
    glGetUniformfv(shader->programId, glGetUniformLocation(shader->programId, "pvMatrix"), value);
    EXPECT_EQ(value[0], 0.0f);
}

TEST_F(ShaderTest, ReloadingTheRegistryRebuildsEveryProgramInKeyOrder)
{
    // Break the rawcolor and depth programs, each with a name of its own in the error.
    sandbox.write("shaders/rawcolor/rawcolor.vert", "#version 430 core\nvoid main() { gl_Position = rawcolorBroken; }\n");
    sandbox.write("shaders/depth/depth.vert", "#version 430 core\nvoid main() { gl_Position = depthBroken; }\n");
    CaptureStdout();
    reloadShaders();
    const std::string out = GetCapturedStdout();
    const auto rawcolor = out.find("rawcolorBroken");
    const auto depth = out.find("depthBroken");
    ASSERT_NE(rawcolor, std::string::npos) << out;
    ASSERT_NE(depth, std::string::npos) << out;
    EXPECT_LT(rawcolor, depth);
    for (const auto& [key, shader] : shaderRegistry())
        EXPECT_EQ(shader->loadCount, 2u) << key;
    EXPECT_TRUE(linked(*getShader(SHADER_DEFAULT)));
    EXPECT_FALSE(linked(*getShader(SHADER_RAWCOLOR)));
}

TEST_F(ShaderTest, AProgramWithoutModelsLeavesTheStateAlone)
{
    const auto shader = getShader(SHADER_RAWCOLOR);
    ASSERT_TRUE(shader->models.empty());
    glUseProgram(0);
    Shadows shadows;
    shader->render(glm::vec3(0.0f), Light{}, shadows, glm::mat4(1.0f));
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0) << "not even made current";
}

TEST_F(ShaderTest, UniformsReachTheirNamesAfterAReloadMovesThem)
{
    // Two uniforms, then the first dropped: the second's location changes with the reload, and
    // a location remembered from the old program would set nothing or the wrong uniform.
    const std::string twoUniforms = "#version 430 core\n"
                                    "out vec4 fragColor;\n"
                                    "uniform vec3 first;\n"
                                    "uniform float second;\n"
                                    "void main() { fragColor = vec4(first, second); }\n";
    const std::string secondOnly = "#version 430 core\n"
                                   "out vec4 fragColor;\n"
                                   "uniform float second;\n"
                                   "void main() { fragColor = vec4(second); }\n";
    auto shader = make(goodVertex, twoUniforms);
    glUseProgram(shader->programId);
    shader->setVec3("first", glm::vec3(0.25f));
    shader->setFloat("second", 0.5f);
    const GLint before = glGetUniformLocation(shader->programId, "second");
    GLfloat value = 0.0f;
    glGetUniformfv(shader->programId, before, &value);
    EXPECT_EQ(value, 0.5f);

    sandbox.write("shaders/test/test.frag", secondOnly);
    shader->load();
    const GLint after = glGetUniformLocation(shader->programId, "second");
    ASSERT_NE(after, before) << "the reload must move the uniform for this test to mean anything";
    glUseProgram(shader->programId);
    shader->setFloat("second", 0.75f);
    glGetUniformfv(shader->programId, after, &value);
    EXPECT_EQ(value, 0.75f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glUseProgram(0);
}

} // namespace
