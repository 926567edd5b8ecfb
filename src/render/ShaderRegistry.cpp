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
    // Without a depth-only twin for every program that draws, the frame is drawn in one pass.
    bool depthFirst = true;
    for (const auto& [key, shader] : registry())
        if (!shader->models.empty() && !shader->depthOnlyProgram())
            depthFirst = false;

    if (depthFirst) {
        // The stencil marks the pixels a fragment reached: one at the far plane itself never does.
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 1, 0xFF);
        glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        for (const auto& [key, shader] : registry())
            shader->renderDepthOnly(pvMatrix);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        // Of the fragments at a marked pixel's nearest depth only the first drawn passes, the one
        // a single pass with a less-than test keeps; it moves the stencil past the mark.
        glDepthFunc(GL_EQUAL);
        glDepthMask(GL_FALSE);
        glStencilFunc(GL_EQUAL, 1, 0xFF);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    }

    for (const auto& [key, shader] : registry())
        shader->render(eyePos, light, shadows, pvMatrix);

    if (depthFirst) {
        glDisable(GL_STENCIL_TEST);
        glDepthMask(GL_TRUE);
        glDepthFunc(GL_LESS);
    }
}
