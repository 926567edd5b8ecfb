#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Model;
class Shadows;
struct Light;

// One GLSL program built from a vertex and a fragment source file, and the models drawn with it.
class Shader {
public:
    Shader(std::string vertexPath, std::string fragmentPath);

    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // Builds the program from the files again (also the F5 reload); errors are printed, never thrown.
    void load();
    // Prints the info log of a failed compile (stage 0 vertex, 1 fragment) or link (stage 2).
    void reportErrors(std::uint32_t object, int stage);
    // Expects the program to be current already.
    void setPvMatrix(const glm::mat4& pvMatrix);
    void addModel(Model* model);
    // A model going away leaves the list, so no pass ever reaches a dead model.
    void removeModel(Model* model);

    // Lit main pass: lighting and shadow uniforms, then every model draws and empties its instances.
    void render(glm::vec3 eyePos, const Light& light, const Shadows& shadows, const glm::mat4& pvMatrix);
    // Which models a depth pass draws: all, only those in the shadow cache, or only the others.
    enum class Casters { All, Cached, Uncached };
    // Shadow depth pass over the models of every program; the instance lists are kept for the main pass.
    static void renderDepth(const glm::mat4& lightPvMatrix, Casters casters = Casters::All);

    // Uniforms by name on this program (which must be current); unknown names are ignored by OpenGL.
    void setFloat(const char* name, float value) const;
    void setInt(const char* name, int value) const;
    void setVec3(const char* name, const glm::vec3& value) const;
    void setMat4(const char* name, const glm::mat4& value) const;

    // All bits set until the first load.
    std::uint32_t programId = 0xFFFFFFFFu;
    std::string vertexPath;
    std::string fragmentPath;
    std::vector<Model*> models;
    // Rises with every load. A reload gives a new program without the uniforms users set once
    // (the HUD's projection and sampler): they compare this with the value they last saw.
    std::uint32_t loadCount = 0;
    // Whether the last load linked.
    bool linked = false;

private:
    // The uniform's location in the current program, asked of the driver once per name and load.
    int location(const char* name) const;

    // Every mesh of every pass sets the same few uniforms: their locations, by name.
    mutable std::vector<std::pair<std::string, int>> locations;
};

constexpr int SHADER_DEFAULT = 0;
constexpr int SHADER_RAWCOLOR = 1;
constexpr int SHADER_PP_EDGE = 2;
constexpr int SHADER_DEPTH = 3;
constexpr int SHADER_HUD = 4;

using ShaderRegistry = std::map<int, std::shared_ptr<Shader>>;

// Creates the five programs under their keys (compiling each at once, in key order).
void loadShaders();
// The program stored under key, or an empty pointer; never inserts.
std::shared_ptr<Shader> getShader(int key);
// Every program in ascending key order.
const ShaderRegistry& shaderRegistry();
// Rebuilds every program from its files, in key order (the F5 key).
void reloadShaders();
// The main pass of every program in key order; programs without models do nothing.
void renderShaders(glm::vec3 eyePos, const Light& light, const Shadows& shadows, const glm::mat4& pvMatrix);
