#include "GltfWriter.h"
#include "RenderFixture.h"

#include "app/Game.h"
#include "files/Config.h"
#include "files/Files.h"
#include "render/Light.h"
#include "render/Model.h"
#include "render/PostProcessing.h"
#include "render/Shader.h"
#include "render/Shadows.h"
#include "scene/GameObject.h"

#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

namespace {

using rendertest::RenderTest;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class InstancingTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        // Two meshes, the second on a child node.
        gltf::Document twoParts;
        twoParts.meshes = {gltf::box("Trunk", glm::vec3(0.5f, 0.5f, 2.0f)), gltf::box("Crown", glm::vec3(2.0f))};
        twoParts.nodes = {{"Trunk", 0, glm::mat4(1.0f), {1}},
                          {"Crown", 1, glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 3)), {}}};
        twoParts.roots = {0};
        twoParts.write(sandbox, "models/test/tree.gltf");
        gltf::scene({gltf::plane("Ground", 50.0f)}, {}).write(sandbox, "models/test/floor.gltf");

        CaptureStdout();
        tree = std::make_shared<Model>(assetPath("models/test/tree.gltf"), getShader(SHADER_RAWCOLOR));
        floor = std::make_shared<Model>(assetPath("models/test/floor.gltf"), getShader(SHADER_DEFAULT));
        broken = std::make_shared<Model>(assetPath("models/test/gone.gltf"), getShader(SHADER_RAWCOLOR));
        GetCapturedStdout();
        ASSERT_EQ(tree->meshes.size(), 2u);

        shadows.initialize(settings());
        postProcessing.initialize(settings());
    }

    void TearDown() override
    {
        root.children.clear();
        tree.reset();
        floor.reset();
        broken.reset();
        RenderTest::TearDown();
    }

    void addObjects(const std::shared_ptr<Model>& model, int count)
    {
        for (int i = 0; i < count; ++i) {
            auto object = std::make_shared<Drawable>(model);
            object->setPosition(glm::vec3(static_cast<float>(i % 25) * 6.0f, static_cast<float>(i / 25) * 6.0f, 0.0f));
            root.addChild(object);
        }
    }

    std::uint64_t depthPass()
    {
        const std::uint64_t before = meshDrawCalls();
        shadows.drawDepthPass(lightPosition);
        return meshDrawCalls() - before;
    }

    std::uint64_t mainPass()
    {
        const std::uint64_t before = meshDrawCalls();
        postProcessing.bindTarget(false);
        const glm::mat4 camera = glm::perspective(1.0f, 1.0f, 0.1f, 300.0f) *
                                 glm::lookAt(glm::vec3(-20, 0, 20), glm::vec3(0.0f), glm::vec3(0, 0, 1));
        renderShaders(glm::vec3(-20, 0, 20), Light{glm::vec3(0.8f), lightPosition, brightness}, shadows, camera);
        return meshDrawCalls() - before;
    }

    GameObject root;
    std::shared_ptr<Model> tree;
    std::shared_ptr<Model> floor;
    std::shared_ptr<Model> broken;
    Shadows shadows;
    PostProcessing postProcessing;
};

TEST_F(InstancingTest, OneDrawPerQueuedMeshAndPassWhateverTheNumberOfObjects)
{
    for (int objects : {1, 500}) {
        root.children.clear();
        addObjects(tree, objects);
        addObjects(broken, 3);
        root.draw();
        ASSERT_EQ(tree->modelMatrices.size(), static_cast<std::size_t>(objects));

        EXPECT_EQ(depthPass(), 2u) << objects << " objects: the tree's two meshes; the floor has nothing queued";
        EXPECT_EQ(tree->modelMatrices.size(), static_cast<std::size_t>(objects)) << "kept for the main pass";
        EXPECT_EQ(tree->normalMatrices.size(), static_cast<std::size_t>(objects));

        EXPECT_EQ(mainPass(), 2u) << objects << " objects: the tree's two meshes, lit";
        EXPECT_TRUE(tree->modelMatrices.empty());
        EXPECT_TRUE(tree->normalMatrices.empty());
        EXPECT_TRUE(broken->modelMatrices.empty()) << "a model that never loaded does not pile up instances";

        EXPECT_EQ(depthPass() + mainPass(), 0u) << "nothing queued, nothing drawn";
    }
}

TEST_F(InstancingTest, EveryModelWithInstancesDrawsInEveryPass)
{
    addObjects(tree, 2);
    addObjects(floor, 1);
    root.draw();
    EXPECT_EQ(depthPass(), 3u);
    EXPECT_EQ(mainPass(), 3u) << "each of the three meshes";
    EXPECT_TRUE(floor->modelMatrices.empty());
}

} // namespace
