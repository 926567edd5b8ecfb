#include "RenderFixture.h"

#include "app/Game.h"
#include "files/Config.h"
#include "render/Light.h"
#include "render/Model.h"
#include "render/PostProcessing.h"
#include "render/Shader.h"
#include "render/Shadows.h"
#include "scene/GameObject.h"

#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

using GameModelsTest = rendertest::RenderTest;

TEST_F(GameModelsTest, TheRepositorysModelsImportSilentlyAndDraw)
{
    CaptureStdout();
    loadModels();
    EXPECT_EQ(GetCapturedStdout(), "") << "every model and texture of the game loads";
    for (const auto& [key, model] : modelRegistry()) {
        EXPECT_TRUE(model->loaded) << model->path;
        EXPECT_FALSE(model->meshes.empty()) << model->path;
    }

    const auto floor = getModel(MODEL_FLOOR);
    const bool mapped = std::any_of(floor->meshes.begin(), floor->meshes.end(), [](const auto& mesh) {
        return std::any_of(mesh->textures.begin(), mesh->textures.end(),
                           [](const MaterialTexture& t) { return t.type == "texture_diffuse" && t.hasImage; });
    });
    EXPECT_TRUE(mapped) << "the floor is drawn with its moss texture";

    std::vector<std::string> names;
    for (const auto& mesh : getModel(MODEL_BUTTERFLY)->meshes)
        names.push_back(mesh->name);
    for (const char* part : {"LeftJoin", "RightJoin", "Left Wing", "Right Wing"})
        EXPECT_NE(std::find(names.begin(), names.end(), part), names.end()) << part;

    // One instance of each, as the world places them; the frame must raise no OpenGL error.
    GameObject root;
    for (const auto& [key, model] : modelRegistry()) {
        auto object = std::make_shared<Drawable>(model);
        object->setPosition(glm::vec3(20.0f * static_cast<float>(key), 0.0f, 10.0f));
        root.addChild(object);
    }
    Shadows shadows;
    PostProcessing postProcessing;
    shadows.initialize(settings());
    postProcessing.initialize(settings());
    root.draw();
    const std::uint64_t before = meshDrawCalls();
    shadows.drawDepthPass(lightPosition);
    postProcessing.bindTarget(false);
    const glm::vec3 eye(-30.0f, -60.0f, 40.0f);
    renderShaders(eye, Light{glm::vec3(0.8f), lightPosition, brightness}, shadows,
                  glm::perspective(1.0f, 4.0f / 3.0f, 0.1f, 300.0f) *
                      glm::lookAt(eye, glm::vec3(90.0f, 0.0f, 0.0f), glm::vec3(0, 0, 1)));
    postProcessing.draw();
    std::size_t meshes = 0;
    for (const auto& [key, model] : modelRegistry())
        meshes += model->meshes.size();
    EXPECT_EQ(meshDrawCalls() - before, 2 * meshes) << "shadow depths, lit";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    root.children.clear();
}

} // namespace
