#include "GltfWriter.h"
#include "RenderFixture.h"

#include "files/Files.h"
#include "render/Model.h"
#include "render/Shader.h"

#include <assimp/Exporter.hpp>
#include <assimp/scene.h>
#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

using rendertest::RenderTest;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr float matrixTolerance = 1e-5f;
constexpr float colourTolerance = 1e-5f;

void expectNear(const glm::mat4& actual, const glm::mat4& expected, const char* what)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(actual[c][r], expected[c][r], matrixTolerance) << what << " [" << c << "][" << r << "]";
}

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance, const std::string& what)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

class ModelTest : public RenderTest {
protected:
    std::shared_ptr<Model> import(const gltf::Document& document, const std::string& relative = "models/test/model.gltf")
    {
        document.write(sandbox, relative);
        return std::make_shared<Model>(assetPath(relative), getShader(SHADER_RAWCOLOR));
    }

    void writeImage(const std::string& relative, unsigned char shade)
    {
        rendertest::writePng(sandbox.assets() / relative, 2, 2, 3, std::vector<unsigned char>(12, shade));
    }
};

TEST_F(ModelTest, NodeTreeGivesPlacementsModelSpacePositionsAndDepthFirstOrder)
{
    gltf::Document document;
    document.meshes = {gltf::box("Alpha", glm::vec3(1.0f)), gltf::box("Beta", glm::vec3(0.5f)),
                       gltf::box("Gamma", glm::vec3(1.0f, 2.0f, 3.0f)), gltf::box("Delta", glm::vec3(0.25f))};
    const glm::mat4 root = glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)), glm::radians(90.0f),
                                       glm::vec3(0, 0, 1));
    const glm::mat4 middle = glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 5)), glm::vec3(2.0f));
    const glm::mat4 leaf = glm::translate(glm::mat4(1.0f), glm::vec3(1, 0, 0));
    document.nodes = {{"Root", 0, root, {1, 3}}, {"Middle", 1, middle, {2}}, {"Leaf", 2, leaf, {}}, {"Side", 3, {}, {}}};
    document.roots = {0};

    CaptureStdout();
    const auto model = import(document);
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_TRUE(model->loaded);
    ASSERT_EQ(model->meshes.size(), 4u);
    const char* order[] = {"Alpha", "Beta", "Gamma", "Delta"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(model->meshes[i]->name, order[i]) << "depth first, parents before children";

    const Mesh& gamma = *model->meshes[2];
    expectNear(gamma.parentTransform, root * middle, "parent transform");
    expectNear(gamma.localTransform, leaf, "local transform");
    expectNear(model->meshes[0]->parentTransform * model->meshes[0]->localTransform, root, "root placement");

    ASSERT_EQ(gamma.vertices.size(), 24u);
    ASSERT_EQ(gamma.positions.size(), gamma.vertices.size());
    EXPECT_EQ(gamma.indices.size(), 36u);
    const gltf::MeshData source = document.meshes[2];
    for (std::size_t i = 0; i < gamma.vertices.size(); ++i) {
        expectNear(gamma.vertices[i].position, source.positions[i], 1e-6f, "stored position");
        const glm::vec3 modelSpace = glm::vec3(root * middle * leaf * glm::vec4(source.positions[i], 1.0f));
        expectNear(gamma.positions[i], modelSpace, 1e-4f, "model-space position " + std::to_string(i));
    }
    for (const auto& mesh : model->meshes)
        EXPECT_TRUE(glIsVertexArray(mesh->vao));
}

TEST_F(ModelTest, MaterialGivesColourAndShininess)
{
    // The importer turns roughness r into shininess (1 - r)^2 x 1000.
    const auto model = import(gltf::scene({gltf::box("Box", glm::vec3(1.0f), 0)},
                                          {{"Paint", glm::vec4(0.2f, 0.4f, 0.6f, 1.0f), 0.8f, "", ""}}));
    ASSERT_EQ(model->meshes.size(), 1u);
    expectNear(model->meshes[0]->color, glm::vec3(0.2f, 0.4f, 0.6f), colourTolerance, "diffuse colour");
    EXPECT_NEAR(model->meshes[0]->shininess, 40.0f, 1e-3f);
    EXPECT_TRUE(model->meshes[0]->textures.empty());
}

TEST_F(ModelTest, MaterialWithoutColourOrShininessGetsTheDefaults)
{
    // glTF always reports both keys (its own defaults), so the file is written in Assimp's
    // binary format from a scene whose material holds nothing.
    aiScene scene;
    scene.mRootNode = new aiNode("root");
    scene.mRootNode->mNumMeshes = 1;
    scene.mRootNode->mMeshes = new unsigned[1]{0};
    scene.mNumMaterials = 1;
    scene.mMaterials = new aiMaterial*[1]{new aiMaterial()};
    aiMesh* mesh = new aiMesh();
    mesh->mName = "Bare";
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = 3;
    mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->mNormals = new aiVector3D[3]{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    mesh->mNumFaces = 1;
    mesh->mFaces = new aiFace[1];
    mesh->mFaces[0].mNumIndices = 3;
    mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    scene.mNumMeshes = 1;
    scene.mMeshes = new aiMesh*[1]{mesh};

    const std::string path = (sandbox.assets() / "bare.assbin").string();
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(&scene, "assbin", path), aiReturn_SUCCESS) << exporter.GetErrorString();

    const Model model(assetPath("bare.assbin"), getShader(SHADER_RAWCOLOR));
    ASSERT_EQ(model.meshes.size(), 1u);
    expectNear(model.meshes[0]->color, glm::vec3(0.0f), colourTolerance, "no diffuse colour");
    EXPECT_EQ(model.meshes[0]->shininess, 32.0f);
}

TEST_F(ModelTest, ATexturePathLoadsOnceAndCopiesKeepTheFirstType)
{
    writeImage("models/test/shared.png", 200);
    writeImage("models/test/other.png", 100);
    // The second material names the shared image as its specular map.
    gltf::Document document = gltf::scene(
        {gltf::box("First", glm::vec3(1.0f), 0), gltf::box("Second", glm::vec3(1.0f), 1)},
        {{"Bark", glm::vec4(1.0f), 0.8f, "shared.png", ""}, {"Moss", glm::vec4(1.0f), std::nullopt, "other.png", "shared.png"}});
    const int texturesBefore = rendertest::liveTextures();
    CaptureStdout();
    const auto model = import(document);
    EXPECT_EQ(GetCapturedStdout(), "");

    ASSERT_EQ(model->meshes.size(), 2u);
    ASSERT_EQ(model->textureCache.size(), 2u);
    EXPECT_EQ(rendertest::liveTextures() - texturesBefore, 2) << "one texture per path";
    EXPECT_EQ(model->textureCache[0].path, "shared.png");
    EXPECT_EQ(model->textureCache[1].path, "other.png");

    const auto& first = model->meshes[0]->textures;
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].type, "texture_diffuse");
    EXPECT_TRUE(first[0].hasImage);

    const auto& second = model->meshes[1]->textures;
    ASSERT_EQ(second.size(), 2u) << "diffuse first, then specular";
    EXPECT_EQ(second[0].path, "other.png");
    EXPECT_EQ(second[0].type, "texture_diffuse");
    EXPECT_EQ(second[1].path, "shared.png");
    EXPECT_EQ(second[1].id, first[0].id);
    EXPECT_EQ(second[1].type, "texture_diffuse") << "a cache hit is a copy of the first entry, type included";
}

TEST_F(ModelTest, AMissingTextureIsReportedAndStillGetsAName)
{
    CaptureStdout();
    const auto model = import(gltf::scene({gltf::box("Box", glm::vec3(1.0f), 0)},
                                          {{"Lost", glm::vec4(1.0f), 0.8f, "nowhere.png", ""}}));
    EXPECT_EQ(GetCapturedStdout(), "ERROR - failed to load texture: ../../assets/models/test/nowhere.png\n");
    ASSERT_EQ(model->meshes.size(), 1u);
    ASSERT_EQ(model->meshes[0]->textures.size(), 1u);
    EXPECT_TRUE(glIsTexture(model->meshes[0]->textures[0].id));
    EXPECT_FALSE(model->meshes[0]->textures[0].hasImage) << "bound, but not counted as a map";
    EXPECT_EQ(model->textureCache.size(), 1u) << "not tried again for the next mesh";
}

TEST_F(ModelTest, MeshesWithoutNormalsOrTextureCoordinatesGetUsableOnes)
{
    gltf::MeshData bare = gltf::plane("Bare", 1.0f);
    bare.normals.clear();
    bare.uvs.clear();
    const auto model = import(gltf::scene({bare}, {}));
    ASSERT_EQ(model->meshes.size(), 1u);
    for (const MeshVertex& vertex : model->meshes[0]->vertices) {
        expectNear(vertex.normal, glm::vec3(0.0f, 0.0f, 1.0f), 1e-5f, "computed normal");
        EXPECT_EQ(vertex.texCoords, glm::vec2(0.0f));
    }
}

// The passes of a frame share one upload; an instance queued after a pass has drawn must still
// reach the buffers, and the next frame's instances replace the last frame's.
TEST_F(ModelTest, InstanceBuffersFollowTheQueuedInstances)
{
    const auto model = import(gltf::scene({gltf::plane("Plane", 1.0f)}, {}));
    ASSERT_TRUE(model->loaded);
    const auto shader = getShader(SHADER_RAWCOLOR);
    glUseProgram(shader->programId);
    const auto uploaded = [&] {
        GLint bytes = 0;
        glBindBuffer(GL_ARRAY_BUFFER, model->modelMatrixBuffer);
        glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
        std::vector<glm::mat4> matrices(static_cast<std::size_t>(bytes) / sizeof(glm::mat4));
        glGetBufferSubData(GL_ARRAY_BUFFER, 0, bytes, matrices.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        return matrices;
    };
    const glm::mat4 a = glm::translate(glm::mat4(1.0f), glm::vec3(1.0f, 2.0f, 3.0f));
    const glm::mat4 b = glm::translate(glm::mat4(1.0f), glm::vec3(-4.0f, 5.0f, 0.0f));

    model->addInstance(a);
    model->draw(*shader, false);
    EXPECT_EQ(uploaded(), std::vector<glm::mat4>{a});
    model->addInstance(b);
    model->draw(*shader, true);
    EXPECT_EQ(uploaded(), (std::vector<glm::mat4>{a, b})) << "queued after the first pass drew";

    model->addInstance(b);
    model->draw(*shader, true);
    EXPECT_EQ(uploaded(), std::vector<glm::mat4>{b}) << "the next frame replaces the last";
    glUseProgram(0);
}

TEST_F(ModelTest, AMissingFileGivesAnEmptyRegisteredModelThatDropsItsInstances)
{
    const auto shader = getShader(SHADER_RAWCOLOR);
    CaptureStdout();
    auto model = std::make_shared<Model>(assetPath("models/test/absent.gltf"), shader);
    EXPECT_EQ(GetCapturedStdout(), "ERROR - ASSIMP: Unable to open file \"../../assets/models/test/absent.gltf\".\n");
    EXPECT_FALSE(model->loaded);
    EXPECT_TRUE(model->meshes.empty());
    EXPECT_EQ(model->directory, "../../assets/models/test");
    ASSERT_EQ(shader->models.size(), 1u);
    EXPECT_EQ(shader->models[0], model.get());

    model->modelMatrices.assign(3, glm::mat4(1.0f));
    model->normalMatrices.assign(3, glm::mat4(1.0f));
    model->draw(*shader, false);
    EXPECT_EQ(model->modelMatrices.size(), 3u) << "the depth pass leaves the lists alone";
    model->draw(*shader, true);
    EXPECT_TRUE(model->modelMatrices.empty()) << "the main pass drops what can never be drawn";
    EXPECT_TRUE(model->normalMatrices.empty());

    model.reset();
    EXPECT_TRUE(shader->models.empty()) << "a destroyed model leaves its program's list";
}

TEST_F(ModelTest, APathWithoutSlashIsItsOwnDirectory)
{
    CaptureStdout();
    const Model model("model.gltf", getShader(SHADER_RAWCOLOR));
    GetCapturedStdout();
    EXPECT_EQ(model.directory, "model.gltf");
}

TEST_F(ModelTest, EveryModelTheWorldAsksForIsThereAndAMissingFileBlanksOnlyItsOwn)
{
    // The world looks its models up by key and queues whatever it gets. A model file a player
    // deleted must still give a model (one that draws nothing), be named in one message, and
    // leave every other model whole.
    const std::filesystem::path tree = sandbox.assets() / "models/world/tree.gltf";
    ASSERT_TRUE(std::filesystem::remove(tree));
    CaptureStdout();
    loadModels();
    EXPECT_EQ(GetCapturedStdout(), "ERROR - ASSIMP: Unable to open file \"../../assets/models/world/tree.gltf\".\n")
        << "the shipped models and their textures load without a word";

    for (const int key : {MODEL_CHAR, MODEL_CUBE, MODEL_FLOOR, MODEL_POLLEN, MODEL_PROJECTILE, MODEL_RAINDROP,
                          MODEL_TREE, MODEL_SHROOM, MODEL_WOODS, MODEL_BUTTERFLY}) {
        SCOPED_TRACE(key);
        const auto model = getModel(key);
        ASSERT_TRUE(model) << "a key the world uses always gives a model";
        EXPECT_EQ(model->loaded, key != MODEL_TREE) << model->path;
        EXPECT_EQ(model->meshes.empty(), key == MODEL_TREE) << model->path;
        // Only the registry's programs are drawn each frame (and rebuilt by F5): a model held by
        // any other program would never be seen.
        ASSERT_TRUE(model->shader);
        bool registered = false;
        for (const auto& [shaderKey, shader] : shaderRegistry())
            registered = registered || shader == model->shader;
        EXPECT_TRUE(registered);
        const auto& drawn = model->shader->models;
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), model.get()), 1) << "drawn once a frame by its program";
    }
    EXPECT_FALSE(getModel(-1)) << "a key never loaded gives nothing";
}

} // namespace
