#include "render/Shader.h"

#include "files/Files.h"
#include "render/Light.h"
#include "render/Model.h"
#include "render/Shadows.h"

#include <epoxy/gl.h>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>

namespace {

constexpr std::uint32_t noProgram = 0xFFFFFFFFu;
constexpr GLsizei infoLogSize = 1024;

GLuint compileStage(GLenum type, const std::string& source)
{
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

} // namespace

Shader::Shader(std::string vertexPath, std::string fragmentPath)
    : vertexPath(std::move(vertexPath))
    , fragmentPath(std::move(fragmentPath))
{
    load();
}

void Shader::load()
{
    const std::string vertexSource = readFile(vertexPath);
    const std::string fragmentSource = readFile(fragmentPath);

    if (programId != noProgram)
        glDeleteProgram(programId);
    locations.clear();

    const GLuint vertex = compileStage(GL_VERTEX_SHADER, vertexSource);
    reportErrors(vertex, 0);
    const GLuint fragment = compileStage(GL_FRAGMENT_SHADER, fragmentSource);
    reportErrors(fragment, 1);

    // A failed stage still goes on to the link, which then fails and is reported too.
    programId = glCreateProgram();
    glAttachShader(programId, vertex);
    glAttachShader(programId, fragment);
    glLinkProgram(programId);
    reportErrors(programId, 2);
    GLint status = 0;
    glGetProgramiv(programId, GL_LINK_STATUS, &status);
    linked = status != 0;

    glDeleteShader(vertex);
    glDeleteShader(fragment);
    ++loadCount;
}

void Shader::reportErrors(std::uint32_t object, int stage)
{
    GLint success = 0;
    char infoLog[infoLogSize] = {};
    if (stage == 2) {
        glGetProgramiv(object, GL_LINK_STATUS, &success);
        if (!success) {
            glGetProgramInfoLog(object, infoLogSize, nullptr, infoLog);
            logMessage(std::string("ERROR - Shader Program Linking Error: \n") + infoLog + "\n");
        }
        return;
    }
    glGetShaderiv(object, GL_COMPILE_STATUS, &success);
    if (!success) {
        glGetShaderInfoLog(object, infoLogSize, nullptr, infoLog);
        logMessage(std::string("ERROR - Shader Compile Error in ") + (stage == 0 ? "Vertex" : "Fragment") + ": \n" +
                   infoLog + "\n");
    }
}

void Shader::setPvMatrix(const glm::mat4& pvMatrix)
{
    setMat4("pvMatrix", pvMatrix);
}

void Shader::addModel(Model* model)
{
    models.push_back(model);
}

void Shader::removeModel(Model* model)
{
    models.erase(std::remove(models.begin(), models.end(), model), models.end());
}

void Shader::render(glm::vec3 eyePos, const Light& light, const Shadows& shadows, const glm::mat4& pvMatrix)
{
    if (models.empty())
        return;

    glUseProgram(programId);
    setPvMatrix(pvMatrix);

    setFloat("brightness", light.ambient);
    setFloat("shades", 3.0f);
    setFloat("specular_intensity", 0.1f);

    setVec3("eyePos", eyePos);
    setVec3("light.color", light.color);
    setVec3("light.position", light.position);

    setInt("shadowMap", 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, shadows.depthTexture);
    setMat4("shadowPvMatrix", shadows.lightPvMatrix);
    // The same for every fragment: the world size of one shadow texel (the light's box across the
    // map's width) and the map's depth per world unit along the light.
    const glm::mat4& lightPv = shadows.lightPvMatrix;
    const float unitsPerNdc = 1.0f / glm::length(glm::vec3(lightPv[0][0], lightPv[1][0], lightPv[2][0]));
    setFloat("shadowTexelWorld", 2.0f * unitsPerNdc / static_cast<float>(std::max(shadows.width, 1)));
    setFloat("shadowDepthPerUnit", 0.5f * glm::length(glm::vec3(lightPv[0][2], lightPv[1][2], lightPv[2][2])));

    for (Model* model : models)
        model->draw(*this, true, true);
}

void Shader::renderDepth(const glm::mat4& lightPvMatrix, Casters casters)
{
    const std::shared_ptr<Shader> depth = getShader(SHADER_DEPTH);
    if (!depth)
        return;
    glUseProgram(depth->programId);
    depth->setPvMatrix(lightPvMatrix);

    for (const auto& [key, shader] : shaderRegistry()) {
        for (Model* model : shader->models) {
            if (casters == Casters::All || model->inShadowCache == (casters == Casters::Cached))
                model->draw(*depth, false);
        }
    }
}

int Shader::location(const char* name) const
{
    for (const auto& [known, found] : locations)
        if (known == name)
            return found;
    const GLint found = glGetUniformLocation(programId, name);
    locations.emplace_back(name, found);
    return found;
}

void Shader::setFloat(const char* name, float value) const
{
    glUniform1f(location(name), value);
}

void Shader::setInt(const char* name, int value) const
{
    glUniform1i(location(name), value);
}

void Shader::setVec3(const char* name, const glm::vec3& value) const
{
    glUniform3fv(location(name), 1, glm::value_ptr(value));
}

void Shader::setMat4(const char* name, const glm::mat4& value) const
{
    glUniformMatrix4fv(location(name), 1, GL_FALSE, glm::value_ptr(value));
}
