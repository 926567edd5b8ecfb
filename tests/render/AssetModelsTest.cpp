#include "RenderFixture.h"

#include "physics/ConvexHull.h"
#include "render/Model.h"

#include <glm/gtc/matrix_transform.hpp>
#include <stb_image.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

// The game's own models, checked against the sizes and axes the world places them with.

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// Model units; the models are built from exact numbers, so only float rounding is allowed for.
constexpr float boundsTolerance = 1e-3f;
// How far a mesh point may stick out of its hull, relative to the mesh's diagonal. The hull
// builder counts points within a thousandth of the diagonal as on the hull; a hull cut short
// by its vertex limit misses corners by several hundredths.
constexpr float hullTolerance = 2e-3f;
constexpr float matrixTolerance = 1e-5f;
// The butterfly's units: a point that did not move stays put to float rounding.
constexpr float stillTolerance = 1e-3f;

struct Bounds {
    glm::vec3 min{FLT_MAX};
    glm::vec3 max{-FLT_MAX};

    void add(const glm::vec3& p)
    {
        min = glm::min(min, p);
        max = glm::max(max, p);
    }
    glm::vec3 size() const { return max - min; }
};

Bounds boundsOf(const std::vector<glm::vec3>& points)
{
    Bounds bounds;
    for (const glm::vec3& p : points)
        bounds.add(p);
    return bounds;
}

Bounds boundsOf(const Model& model)
{
    Bounds bounds;
    for (const auto& mesh : model.meshes)
        for (const glm::vec3& p : mesh->positions)
            bounds.add(p);
    return bounds;
}

void expectWithin(const Bounds& bounds, const glm::vec3& low, const glm::vec3& high, const std::string& what)
{
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_GE(bounds.min[axis], low[axis] - boundsTolerance) << what << " axis " << axis;
        EXPECT_LE(bounds.max[axis], high[axis] + boundsTolerance) << what << " axis " << axis;
    }
}

std::shared_ptr<Mesh> meshNamed(const Model& model, const std::string& name)
{
    for (const auto& mesh : model.meshes)
        if (mesh->name == name)
            return mesh;
    return nullptr;
}

// Vertex positions of every mesh as the renderer places them: parent * local * vertex.
std::vector<std::vector<glm::vec3>> placedVertices(const Model& model)
{
    std::vector<std::vector<glm::vec3>> placed;
    for (const auto& mesh : model.meshes) {
        const glm::mat4 placement = mesh->parentTransform * mesh->localTransform;
        std::vector<glm::vec3>& points = placed.emplace_back();
        for (const MeshVertex& v : mesh->vertices)
            points.push_back(glm::vec3(placement * glm::vec4(v.position, 1.0f)));
    }
    return placed;
}

float largestMove(const std::vector<glm::vec3>& before, const std::vector<glm::vec3>& after)
{
    float largest = 0.0f;
    for (std::size_t i = 0; i < before.size(); ++i)
        largest = std::max(largest, glm::distance(before[i], after[i]));
    return largest;
}

float smallestMove(const std::vector<glm::vec3>& before, const std::vector<glm::vec3>& after)
{
    float smallest = FLT_MAX;
    for (std::size_t i = 0; i < before.size(); ++i)
        smallest = std::min(smallest, glm::distance(before[i], after[i]));
    return smallest;
}

// How far the outermost point of a wing (along x) moved.
glm::vec3 tipMove(const std::vector<glm::vec3>& before, const std::vector<glm::vec3>& after)
{
    std::size_t tip = 0;
    for (std::size_t i = 1; i < before.size(); ++i)
        if (std::fabs(before[i].x) > std::fabs(before[tip].x))
            tip = i;
    return after[tip] - before[tip];
}

struct Plane {
    btVector3 normal; // outwards
    btScalar offset;
};

// The supporting planes of a point set through three of its points, facing outwards: every
// point lies on their inner side, and so does every point inside the hull.
std::vector<Plane> supportingPlanes(const btAlignedObjectArray<btVector3>& hull, btScalar tolerance)
{
    std::vector<Plane> faces;
    const int n = hull.size();
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b)
            for (int c = b + 1; c < n; ++c) {
                btVector3 normal = (hull[b] - hull[a]).cross(hull[c] - hull[a]);
                if (normal.length2() < 1e-12f)
                    continue;
                normal.normalize();
                int above = 0;
                int below = 0;
                for (int i = 0; i < n; ++i) {
                    const btScalar d = normal.dot(hull[i] - hull[a]);
                    above += d > tolerance ? 1 : 0;
                    below += d < -tolerance ? 1 : 0;
                }
                if (above > 0 && below > 0)
                    continue;
                if (above > 0)
                    normal = -normal;
                faces.push_back({normal, normal.dot(hull[a])});
            }
    return faces;
}

bool inside(const std::vector<Plane>& faces, const glm::vec3& p, btScalar tolerance)
{
    const btVector3 q(p.x, p.y, p.z);
    return std::all_of(faces.begin(), faces.end(),
                       [&](const Plane& face) { return face.normal.dot(q) - face.offset <= tolerance; });
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class AssetModelsTest : public rendertest::RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        CaptureStdout();
        loadModels();
        importMessages = GetCapturedStdout();
    }

    const Model& model(int key)
    {
        const auto found = getModel(key);
        EXPECT_TRUE(found && found->loaded) << "model " << key;
        static const Model empty;
        return found ? *found : empty;
    }

    std::string importMessages;
};

TEST_F(AssetModelsTest, FloorTreeShroomAndWoodsFitTheBoxesTheWorldScalesThemFrom)
{
    EXPECT_EQ(importMessages, "");

    // The floor's top face is the ground at z = 0; the slab below gives its hull a volume.
    const Bounds floor = boundsOf(model(MODEL_FLOOR));
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(floor.min[axis], -1.0f, boundsTolerance) << "floor axis " << axis;
        EXPECT_NEAR(floor.max[axis], axis == 2 ? 0.0f : 1.0f, boundsTolerance) << "floor axis " << axis;
    }

    // Trees and mushrooms are centred above the floor: their model's z = -1 stands on it.
    const Bounds tree = boundsOf(model(MODEL_TREE));
    expectWithin(tree, glm::vec3(-1.0f), glm::vec3(1.0f), "tree");
    EXPECT_NEAR(tree.min.z, -1.0f, boundsTolerance);
    EXPECT_NEAR(tree.max.z, 1.0f, boundsTolerance);

    const Bounds shroom = boundsOf(model(MODEL_SHROOM));
    expectWithin(shroom, glm::vec3(-1.0f), glm::vec3(1.0f), "shroom");
    EXPECT_NEAR(shroom.min.z, -1.0f, boundsTolerance);
    EXPECT_GT(shroom.max.z, 0.9f) << "the cap reaches the top of the box";

    const Bounds woods = boundsOf(model(MODEL_WOODS));
    expectWithin(woods, glm::vec3(-1.0f), glm::vec3(1.0f), "woods");
    EXPECT_NEAR(woods.min.z, -1.0f, boundsTolerance) << "the forest grows from the floor";
}

TEST_F(AssetModelsTest, TreeCrownLeavesRoomToFlyUnderneath)
{
    // Trunk and crown are separate meshes with separate hulls; the upper one starts well above
    // the ground (the tree is scaled 30 along z, so 0.5 model units are 15 world units).
    const Model& tree = model(MODEL_TREE);
    ASSERT_GE(tree.meshes.size(), 2u);
    const Mesh* top = nullptr;
    for (const auto& mesh : tree.meshes)
        if (!top || boundsOf(mesh->positions).max.z > boundsOf(top->positions).max.z)
            top = mesh.get();
    EXPECT_GT(boundsOf(top->positions).min.z, -0.5f) << top->name;
}

TEST_F(AssetModelsTest, PollenAndRaindropAreModelledAtWorldSize)
{
    const Bounds pollen = boundsOf(model(MODEL_POLLEN));
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_GE(pollen.size()[axis], 1.0f) << "pollen axis " << axis;
        EXPECT_LE(pollen.size()[axis], 2.0f) << "pollen axis " << axis;
    }

    // A round drop about the origin with its point upwards, on the z axis.
    const Model& raindrop = model(MODEL_RAINDROP);
    const Bounds drop = boundsOf(raindrop);
    for (int axis = 0; axis < 2; ++axis) {
        EXPECT_GE(drop.size()[axis] / 2.0f, 0.2f) << "drop radius, axis " << axis;
        EXPECT_LE(drop.size()[axis] / 2.0f, 0.3f) << "drop radius, axis " << axis;
    }
    const float radius = drop.size().x / 2.0f;
    EXPECT_NEAR(drop.min.z, -radius, boundsTolerance) << "round bottom";
    EXPECT_GT(drop.max.z, 1.3f * radius) << "pointed top";
    for (const auto& mesh : raindrop.meshes)
        for (const glm::vec3& p : mesh->positions)
            if (p.z > drop.max.z - boundsTolerance) {
                EXPECT_LT(glm::length(glm::vec2(p)), boundsTolerance) << "the point sits on the z axis";
            }
}

TEST_F(AssetModelsTest, ButterflyFacesAlongYWithWingsAlongX)
{
    const Model& butterfly = model(MODEL_BUTTERFLY);
    const Bounds whole = boundsOf(butterfly);
    EXPECT_NEAR(whole.min.x, -whole.max.x, boundsTolerance) << "left and right are mirror images";
    EXPECT_GT(whole.max.x, 40.0f);
    EXPECT_LT(whole.max.x, 60.0f);
    for (int axis = 1; axis < 3; ++axis) {
        EXPECT_GT(whole.min[axis], -60.0f) << "axis " << axis;
        EXPECT_LT(whole.max[axis], 60.0f) << "axis " << axis;
    }

    // The body lies along y, head and antennae ahead (+y) and raised (+z).
    const auto body = meshNamed(butterfly, "Body");
    ASSERT_TRUE(body);
    const Bounds trunk = boundsOf(body->positions);
    EXPECT_GT(trunk.size().y, 2.0f * trunk.size().x);
    EXPECT_GT(trunk.max.y, -trunk.min.y) << "antennae reach ahead of the body";
    const auto highest = std::max_element(body->positions.begin(), body->positions.end(),
                                          [](const glm::vec3& a, const glm::vec3& b) { return a.z < b.z; });
    EXPECT_GT(highest->y, 0.0f) << "the highest point (antenna tip) is ahead";

    // Facing +y with +z up, the creature's right is +x.
    const auto left = meshNamed(butterfly, "Left Wing");
    const auto right = meshNamed(butterfly, "Right Wing");
    ASSERT_TRUE(left && right);
    EXPECT_LT(boundsOf(left->positions).max.x, 0.0f);
    EXPECT_GT(boundsOf(right->positions).min.x, 0.0f);
    EXPECT_NEAR(boundsOf(left->positions).min.x, whole.min.x, boundsTolerance) << "the wings span the creature";
}

TEST_F(AssetModelsTest, EveryCollisionMeshGivesASmallHullThatHoldsTheWholeMesh)
{
    for (int key : {MODEL_FLOOR, MODEL_TREE, MODEL_SHROOM, MODEL_POLLEN, MODEL_RAINDROP}) {
        for (const auto& mesh : model(key).meshes) {
            const std::string what = model(key).path + " / " + mesh->name;
            const auto hull = getConvexMesh(*mesh);
            ASSERT_TRUE(hull) << what;
            EXPECT_GE(hull->points.size(), 4) << what;
            EXPECT_LE(hull->points.size(), maxHullVertices) << what;
            // A hull cut down to its vertex limit would lose corners: the collision shape would
            // then be smaller than the mesh the player sees.
            const float tolerance = hullTolerance * glm::length(boundsOf(mesh->positions).size());
            const std::vector<Plane> faces = supportingPlanes(hull->points, tolerance);
            ASSERT_GE(faces.size(), 4u) << what;
            int outside = 0;
            for (const glm::vec3& p : mesh->positions)
                outside += inside(faces, p, tolerance) ? 0 : 1;
            EXPECT_EQ(outside, 0) << what << ": mesh points outside the hull";
        }
    }
}

TEST_F(AssetModelsTest, ButterflyHasOneOfEachFlappingPartAndEachWingHangsOnItsJoint)
{
    const Model& butterfly = model(MODEL_BUTTERFLY);
    for (const char* part : {"LeftJoin", "RightJoin", "Left Wing", "Right Wing"})
        EXPECT_EQ(std::count_if(butterfly.meshes.begin(), butterfly.meshes.end(),
                                [&](const auto& mesh) { return mesh->name == part; }),
                  1)
            << part;

    for (const auto& [joint, wing] : {std::pair{"LeftJoin", "Left Wing"}, std::pair{"RightJoin", "Right Wing"}}) {
        const auto j = meshNamed(butterfly, joint);
        const auto w = meshNamed(butterfly, wing);
        ASSERT_TRUE(j && w) << joint;
        const glm::mat4 expected = j->parentTransform * j->localTransform;
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                EXPECT_NEAR(w->parentTransform[c][r], expected[c][r], matrixTolerance) << wing << " [" << c << "][" << r << "]";
    }
}

TEST_F(AssetModelsTest, TurningAJointFlapsOnlyItsWingAboutTheWingsRoot)
{
    const Model& butterfly = model(MODEL_BUTTERFLY);
    const auto leftJoin = meshNamed(butterfly, "LeftJoin");
    const auto rightJoin = meshNamed(butterfly, "RightJoin");
    const auto leftWing = meshNamed(butterfly, "Left Wing");
    const auto rightWing = meshNamed(butterfly, "Right Wing");
    ASSERT_TRUE(leftJoin && rightJoin && leftWing && rightWing);
    auto indexOf = [&](const std::shared_ptr<Mesh>& mesh) {
        return static_cast<std::size_t>(std::find(butterfly.meshes.begin(), butterfly.meshes.end(), mesh) -
                                        butterfly.meshes.begin());
    };
    // As the player flaps: the left joint turns one way and the right joint the other.
    const float angle = glm::radians(30.0f);
    auto flap = [](Mesh& joint, Mesh& wing, float by) {
        joint.localTransform = glm::rotate(joint.localTransform, by, glm::vec3(0.0f, 1.0f, 0.0f));
        wing.parentTransform = joint.parentTransform * joint.localTransform;
    };

    const auto rest = placedVertices(butterfly);
    flap(*leftJoin, *leftWing, angle);
    const auto leftUp = placedVertices(butterfly);
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const Mesh& mesh = *butterfly.meshes[i];
        if (&mesh == leftJoin.get() || &mesh == leftWing.get())
            continue;
        EXPECT_LT(largestMove(rest[i], leftUp[i]), stillTolerance) << mesh.name << " stays put";
    }
    const std::size_t left = indexOf(leftWing);
    // The joint sits at the wing's root: the root barely moves while the tip swings far.
    EXPECT_LT(smallestMove(rest[left], leftUp[left]), 1.0f);
    const glm::vec3 leftTip = tipMove(rest[left], leftUp[left]);
    EXPECT_GT(leftTip.z, 15.0f) << "a positive turn lifts the left wing";

    flap(*rightJoin, *rightWing, -angle);
    const auto bothUp = placedVertices(butterfly);
    const std::size_t right = indexOf(rightWing);
    EXPECT_LT(largestMove(leftUp[left], bothUp[left]), stillTolerance) << "the left wing ignores the right joint";
    EXPECT_LT(smallestMove(leftUp[right], bothUp[right]), 1.0f);
    const glm::vec3 rightTip = tipMove(leftUp[right], bothUp[right]);
    EXPECT_NEAR(rightTip.z, leftTip.z, stillTolerance) << "both wings rise together, mirrored";
    EXPECT_NEAR(rightTip.x, -leftTip.x, stillTolerance);
}

TEST_F(AssetModelsTest, EveryFileAModelNamesLiesBesideItAndEveryImageDecodes)
{
    const std::regex uri("\"uri\"\\s*:\\s*\"([^\"]+)\"");
    for (const auto& [key, entry] : modelRegistry()) {
        const Model& m = *entry;
        // Read from the file itself, so images the importer does not report are checked too.
        std::set<std::string> named;
        const std::string text = readText(m.path);
        ASSERT_FALSE(text.empty()) << m.path;
        for (std::sregex_iterator it(text.begin(), text.end(), uri), end; it != end; ++it)
            named.insert((*it)[1].str());
        for (const MaterialTexture& texture : m.textureCache) {
            EXPECT_TRUE(texture.hasImage) << m.path << ": " << texture.path;
            named.insert(texture.path);
        }
        for (const auto& mesh : m.meshes)
            for (const MaterialTexture& texture : mesh->textures)
                EXPECT_TRUE(std::any_of(m.textureCache.begin(), m.textureCache.end(),
                                        [&](const MaterialTexture& t) { return t.path == texture.path; }))
                    << mesh->name << ": " << texture.path;

        for (const std::string& file : named) {
            EXPECT_EQ(file.find('/'), std::string::npos) << m.path << " names a file outside its folder: " << file;
            const std::filesystem::path beside = std::filesystem::path(m.directory) / file;
            ASSERT_TRUE(std::filesystem::exists(beside)) << beside;
            if (beside.extension() == ".bin")
                continue;
            int width = 0;
            int height = 0;
            int channels = 0;
            unsigned char* pixels = stbi_load(beside.string().c_str(), &width, &height, &channels, 0);
            EXPECT_TRUE(pixels) << beside << ": " << stbi_failure_reason();
            EXPECT_GT(width, 0) << beside;
            EXPECT_GT(height, 0) << beside;
            stbi_image_free(pixels);
        }
    }

    // The floor is the one textured model: moss for its colour and a map for its shine.
    const Model& floor = model(MODEL_FLOOR);
    for (const char* type : {"texture_diffuse", "texture_specular"})
        EXPECT_TRUE(std::any_of(floor.textureCache.begin(), floor.textureCache.end(),
                                [&](const MaterialTexture& t) { return t.type == type; }))
            << type;
}

} // namespace
