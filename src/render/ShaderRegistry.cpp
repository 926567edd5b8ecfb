#include "files/Files.h"
#include "render/Shader.h"

#include <epoxy/gl.h>

namespace {

struct ShaderSources {
    int key;
    const char* vertex;
    const char* fragment;
};

constexpr ShaderSources shaderTable[] = {
    {SHADER_DEFAULT, "shaders/default/default.vert", "shaders/default/default.frag"},
    {SHADER_RAWCOLOR, "shaders/rawcolor/rawcolor.vert", "shaders/rawcolor/rawcolor.frag"},
    {SHADER_PP_EDGE, "shaders/pp/pp_edge.vert", "shaders/pp/pp_edge.frag"},
    {SHADER_DEPTH, "shaders/depth/depth.vert", "shaders/depth/depth.frag"},
    {SHADER_HUD, "shaders/hud/hud.vert", "shaders/hud/hud.frag"},
};

ShaderRegistry& registry()
{
    static ShaderRegistry shaders;
    return shaders;
}

} // namespace

void loadShaders()
{
    for (const ShaderSources& row : shaderTable)
        registry()[row.key] = std::make_shared<Shader>(assetPath(row.vertex), assetPath(row.fragment));
}

std::shared_ptr<Shader> getShader(int key)
{
    const auto it = registry().find(key);
    return it == registry().end() ? nullptr : it->second;
}

const ShaderRegistry& shaderRegistry()
{
    return registry();
}

void reloadShaders()
{
    for (const auto& [key, shader] : registry())
        shader->load();
}

void renderShaders(glm::vec3 eyePos, const Light& light, const Shadows& shadows, const glm::mat4& pvMatrix)
{
    // One lit pass with a less-than depth test. Laying the depths down first measured slower at
    // every scale here: without a graphics card the vertex work runs on the thread that issues
    // the draws, and doubling it kept the rasteriser's threads waiting.
    for (const auto& [key, shader] : registry())
        shader->render(eyePos, light, shadows, pvMatrix);
}
