#include "render/Mesh.h"

#include "render/Shader.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <cstddef>
#include <cstdio>

namespace {

std::uint64_t drawCalls = 0;
std::uint64_t triangles = 0;
std::uint64_t labelSerial = 0;

// The registries die at process exit, after glfwTerminate: asking GLFW then must not print an error.
bool glContextIsCurrent()
{
    const GLFWerrorfun previous = glfwSetErrorCallback(nullptr);
    const bool current = glfwGetCurrentContext() != nullptr;
    glfwSetErrorCallback(previous);
    return current;
}

} // namespace

std::uint64_t meshDrawCalls()
{
    return drawCalls;
}

std::uint64_t meshTriangles()
{
    return triangles;
}

Mesh::Mesh(glm::mat4 parentTransform, glm::mat4 localTransform)
    : parentTransform(parentTransform)
    , localTransform(localTransform)
{
}

Mesh::~Mesh()
{
    if (vao == 0 || !glContextIsCurrent() || !glIsVertexArray(vao))
        return;
    char label[64] = {};
    GLsizei length = 0;
    glGetObjectLabel(GL_VERTEX_ARRAY, vao, sizeof label, &length, label);
    if (glLabel != std::string(label, static_cast<std::size_t>(length)))
        return;
    glDeleteBuffers(1, &vbo);
    glDeleteBuffers(1, &ebo);
    glDeleteVertexArrays(1, &vao);
}

void Mesh::createBuffers()
{
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glGenBuffers(1, &ebo);

    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(MeshVertex)), vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                 indices.data(), GL_STATIC_DRAW);

    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, position)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, normal)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<void*>(offsetof(MeshVertex, texCoords)));
    glBindVertexArray(0);

    glLabel = "quillfen mesh " + std::to_string(++labelSerial);
    glObjectLabel(GL_VERTEX_ARRAY, vao, -1, glLabel.c_str());
}

void Mesh::draw(Shader& shader, int instances, bool cullBackFaces)
{
    const glm::mat4 placement = parentTransform * localTransform;
    const bool cull = cullBackFaces && !twoSided && glm::determinant(glm::mat3(placement)) > 0.0f;
    shader.setMat4("modelMatrix", placement);
    shader.setMat4("normalMatrix", glm::transpose(glm::inverse(placement)));
    shader.setVec3("material.color", color);
    shader.setFloat("material.shininess", shininess);
    bindTextures(shader);

    glBindVertexArray(vao);
    if (cull) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    }
    glDrawElementsInstanced(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, nullptr, instances);
    if (cull)
        glDisable(GL_CULL_FACE);
    ++drawCalls;
    triangles += indices.size() / 3 * static_cast<std::uint64_t>(instances);
    glBindVertexArray(0);
}

void Mesh::bindTextures(Shader& shader)
{
    int diffuseNumber = 1;
    int specularNumber = 1;
    int diffuseMaps = 0;
    int specularMaps = 0;
    for (std::size_t i = 0; i < textures.size(); ++i) {
        const MaterialTexture& texture = textures[i];
        // Named in place: "texture_diffuse1" is past the short-string buffer and would allocate
        // for every mesh in every pass.
        char sampler[96];
        if (texture.type == "texture_diffuse") {
            std::snprintf(sampler, sizeof sampler, "%s%d", texture.type.c_str(), diffuseNumber++);
            diffuseMaps += texture.hasImage ? 1 : 0;
        } else if (texture.type == "texture_specular") {
            std::snprintf(sampler, sizeof sampler, "%s%d", texture.type.c_str(), specularNumber++);
            specularMaps += texture.hasImage ? 1 : 0;
        } else {
            std::snprintf(sampler, sizeof sampler, "%s", texture.type.c_str());
        }
        const int unit = static_cast<int>(i) + 1;
        shader.setInt(sampler, unit);
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glBindTexture(GL_TEXTURE_2D, texture.id);
    }
    shader.setInt("diffuseMaps", diffuseMaps);
    shader.setInt("specularMaps", specularMaps);
}
