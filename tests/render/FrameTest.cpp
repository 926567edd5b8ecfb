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
#include "ui/HUD.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int frameWidth = 640;
constexpr int frameHeight = 480;
// The grey the window is cleared to, 0.2 in 8 bits.
constexpr int backgroundGrey = 51;
constexpr int greyTolerance = 2;
constexpr int outlineLevel = 12;
// Outlines are a few pixels wide at most.
constexpr int outlineWidth = 4;
constexpr int grassSize = 64;

struct Pixel {
    int r = 0, g = 0, b = 0;
    int sum() const { return r + g + b; }
    bool black() const { return std::max({r, g, b}) <= outlineLevel; }
    bool background() const
    {
        return std::abs(r - backgroundGrey) <= greyTolerance && std::abs(g - backgroundGrey) <= greyTolerance &&
               std::abs(b - backgroundGrey) <= greyTolerance;
    }
};

// The chequered grass, lit or shaded: green above red.
bool ground(const Pixel& p)
{
    return p.g > p.r + 10 && p.g > p.b;
}

std::ostream& operator<<(std::ostream& out, const Pixel& p)
{
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}

class FrameTest : public rendertest::RenderTest {
protected:
    FrameTest()
        : RenderTest(frameWidth, frameHeight, true)
    {
    }

    void SetUp() override
    {
        RenderTest::SetUp();
        light.ambient = brightness;
        // A softly chequered ground (two close greens, so the texture shows without drawing lines).
        std::vector<unsigned char> checker;
        for (int y = 0; y < grassSize; ++y)
            for (int x = 0; x < grassSize; ++x) {
                const bool dark = ((x / 8) + (y / 8)) % 2 == 1;
                checker.insert(checker.end(), {static_cast<unsigned char>(dark ? 150 : 170),
                                               static_cast<unsigned char>(dark ? 190 : 205),
                                               static_cast<unsigned char>(dark ? 120 : 135)});
            }
        rendertest::writePng(sandbox.assets() / "models/test/grass.png", grassSize, grassSize, 3, checker);
        gltf::scene({gltf::plane("Ground", 60.0f, 8.0f, 0)}, {{"Grass", glm::vec4(1.0f), 0.9f, "grass.png", ""}})
            .write(sandbox, "models/test/floor.gltf");
        gltf::scene({gltf::box("Box", glm::vec3(2.0f), 0)}, {{"Paint", glm::vec4(0.95f, 0.45f, 0.15f, 1.0f), 0.75f, "", ""}})
            .write(sandbox, "models/test/box.gltf");

        // A tree: a trunk and a round crown above it, two materials.
        gltf::Document treeFile;
        treeFile.meshes = {gltf::box("Trunk", glm::vec3(0.6f, 0.6f, 3.0f), 0), gltf::sphere("Crown", 3.2f, 12, 18, 1)};
        treeFile.materials = {{"Bark", glm::vec4(0.45f, 0.28f, 0.15f, 1.0f), 0.85f, "", ""},
                              {"Leaves", glm::vec4(0.25f, 0.6f, 0.25f, 1.0f), 0.7f, "", ""}};
        treeFile.nodes = {{"Trunk", 0, glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 3)), {1}},
                          {"Crown", 1, glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 4.5f)), {}}};
        treeFile.roots = {0};
        treeFile.write(sandbox, "models/test/tree.gltf");

        floor = std::make_shared<Model>(assetPath("models/test/floor.gltf"), getShader(SHADER_DEFAULT));
        tree = std::make_shared<Model>(assetPath("models/test/tree.gltf"), getShader(SHADER_RAWCOLOR));
        box = std::make_shared<Model>(assetPath("models/test/box.gltf"), getShader(SHADER_RAWCOLOR));
        ASSERT_TRUE(floor->loaded && box->loaded && tree->loaded);

        auto ground = std::make_shared<Drawable>(floor);
        root.addChild(ground);
        for (const glm::vec3& at : boxes) {
            auto object = std::make_shared<Drawable>(box);
            object->setPosition(at);
            object->setRotation(glm::vec3(0.0f, 0.0f, 0.5f));
            root.addChild(object);
        }
        auto standing = std::make_shared<Drawable>(tree);
        standing->setPosition(treeAt);
        root.addChild(standing);
        shadows.initialize(settings());
        postProcessing.initialize(settings());
    }

    void TearDown() override
    {
        root.children.clear();
        floor.reset();
        box.reset();
        tree.reset();
        RenderTest::TearDown();
    }

    // The frame as the game draws it, read back from the window.
    void renderFrame()
    {
        root.draw();
        shadows.drawDepthPass(light.position);
        postProcessing.bindTarget(false);
        renderShaders(eye, light, shadows, viewProjection());
        postProcessing.draw();
        readWindow();
    }

    void readWindow()
    {
        pixels.assign(static_cast<std::size_t>(frameWidth * frameHeight * 3), 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    }

    glm::mat4 viewProjection() const
    {
        return glm::perspective(glm::radians(60.0f), float(frameWidth) / float(frameHeight), 0.1f, 300.0f) *
               glm::lookAt(eye, target, glm::vec3(0, 0, 1));
    }

    glm::ivec2 toPixel(glm::vec3 world) const
    {
        const glm::vec4 clip = viewProjection() * glm::vec4(world, 1.0f);
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        return glm::ivec2((ndc * 0.5f + 0.5f) * glm::vec2(frameWidth, frameHeight));
    }

    Pixel at(glm::ivec2 p) const
    {
        const std::size_t i = static_cast<std::size_t>((p.y * frameWidth + p.x) * 3);
        return {pixels[i], pixels[i + 1], pixels[i + 2]};
    }

    // Where the light's ray through a point meets the ground.
    glm::vec3 shadowOnGround(glm::vec3 point) const
    {
        const glm::vec3 direction = point - light.position;
        return point + direction * (-point.z / direction.z);
    }

    void saveIfAsked() const
    {
        const char* path = std::getenv("QUILLFEN_FRAME_PNG");
        if (!path)
            return;
        // Rows were read bottom to top.
        std::vector<unsigned char> topDown;
        for (int y = frameHeight - 1; y >= 0; --y)
            topDown.insert(topDown.end(), pixels.begin() + y * frameWidth * 3, pixels.begin() + (y + 1) * frameWidth * 3);
        rendertest::writePng(path, frameWidth, frameHeight, 3, topDown);
    }

    // From the side, so the shadows the light throws towards +x fall in view.
    const glm::vec3 eye{-8.0f, -28.0f, 13.0f};
    const glm::vec3 target{6.0f, 2.0f, 0.0f};
    Light light{glm::vec3(0.8f), lightPosition};
    const std::vector<glm::vec3> boxes{{0.0f, -4.0f, 3.5f}, {10.0f, 8.0f, 3.0f}, {22.0f, -12.0f, 4.0f}};
    GameObject root;
    std::shared_ptr<Model> floor;
    std::shared_ptr<Model> box;
    std::shared_ptr<Model> tree;
    const glm::vec3 treeAt{-6.0f, 10.0f, 0.0f};
    Shadows shadows;
    PostProcessing postProcessing;
    std::vector<unsigned char> pixels;
};

TEST_F(FrameTest, LitBoxesCastShadowsAndCarryOutlinesOverTheGrey)
{
    renderFrame();
    saveIfAsked();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // Nothing drawn above the horizon: the clear grey.
    EXPECT_TRUE(at({5, frameHeight - 5}).background()) << at({5, frameHeight - 5});
    EXPECT_TRUE(at({frameWidth / 2, frameHeight - 3}).background());

    // Every instance shows: orange, clearly not ground, grey or outline.
    for (const glm::vec3& centre : boxes) {
        const Pixel p = at(toPixel(centre));
        EXPECT_GT(p.r, p.b + 60) << "box at " << centre.x << ": " << p;
        EXPECT_GT(p.r, p.g) << p;
        EXPECT_FALSE(p.black());
    }

    // The first box's shadow on the ground is clearly darker than open ground beside it.
    const glm::vec3 shadow = shadowOnGround(boxes[0] - glm::vec3(0.0f, 0.0f, 0.0f));
    const Pixel shaded = at(toPixel(shadow));
    const Pixel open = at(toPixel(shadow + glm::vec3(0.0f, -4.0f, 0.0f)));
    EXPECT_GT(open.g, 100) << "lit ground " << open;
    EXPECT_LT(shaded.sum() * 10, open.sum() * 7) << "shadow " << shaded << " vs ground " << open;
    EXPECT_FALSE(shaded.black()) << "shadows keep some colour";

    // Walking out of the first box in any direction, a thin black line comes just before the ground.
    const glm::ivec2 centre = toPixel(boxes[0]);
    for (const glm::ivec2 step : {glm::ivec2(-1, 0), glm::ivec2(1, 0), glm::ivec2(0, -1)}) {
        glm::ivec2 p = centre;
        while (p.x > 0 && p.x < frameWidth - 1 && p.y > 0 && !ground(at(p)))
            p += step;
        ASSERT_TRUE(ground(at(p))) << "no ground reached from the box at " << p.x << ", " << p.y;
        int blackBefore = 0;
        for (int back = 1; back <= outlineWidth; ++back)
            blackBefore += at(p - back * step).black() ? 1 : 0;
        EXPECT_GT(blackBefore, 0) << "no outline before the ground at " << p.x << ", " << p.y;
    }
}

TEST_F(FrameTest, AMaterialWithoutMapsShowsItsColourAfterATexturedOne)
{
    rendertest::writePng(sandbox.assets() / "models/test/red.png", 2, 2, 3,
                         {230, 20, 20, 230, 20, 20, 230, 20, 20, 230, 20, 20});
    gltf::scene({gltf::box("Painted", glm::vec3(2.0f), 0)}, {{"Red", glm::vec4(1.0f), 0.8f, "red.png", ""}})
        .write(sandbox, "models/test/painted.gltf");
    gltf::scene({gltf::box("Plain", glm::vec3(2.0f), 0)}, {{"Blue", glm::vec4(0.1f, 0.3f, 0.9f, 1.0f), 0.8f, "", ""}})
        .write(sandbox, "models/test/plain.gltf");
    // Both on the textured program, the plain one drawn right after the painted one.
    auto painted = std::make_shared<Model>(assetPath("models/test/painted.gltf"), getShader(SHADER_DEFAULT));
    auto plain = std::make_shared<Model>(assetPath("models/test/plain.gltf"), getShader(SHADER_DEFAULT));
    root.children.clear();
    root.addChild(std::make_shared<Drawable>(floor));
    const glm::vec3 paintedAt(0.0f, -4.0f, 3.0f);
    const glm::vec3 plainAt(10.0f, 8.0f, 3.0f);
    auto first = std::make_shared<Drawable>(painted);
    first->setPosition(paintedAt);
    root.addChild(first);
    auto second = std::make_shared<Drawable>(plain);
    second->setPosition(plainAt);
    root.addChild(second);

    renderFrame();
    const Pixel red = at(toPixel(paintedAt));
    const Pixel blue = at(toPixel(plainAt));
    EXPECT_GT(red.r, red.b + 80) << red;
    EXPECT_GT(blue.b, blue.r + 80) << "the plain box must not borrow the red map: " << blue;
    root.children.clear();
}

TEST_F(FrameTest, FacesTurnedAwayAreSkippedOnlyForOneSidedMaterialsAndStillCastShadows)
{
    // Two sheets hanging face down, so the camera above sees their backs: a one-sided material
    // (a closed mesh's, whose backs are never seen) and a two-sided one (an open surface's).
    gltf::scene({gltf::plane("Sheet", 2.5f, 1.0f, 0)}, {{"Blue", glm::vec4(0.1f, 0.3f, 0.9f, 1.0f), 0.8f, "", ""}})
        .write(sandbox, "models/test/oneside.gltf");
    gltf::scene({gltf::plane("Cloth", 2.5f, 1.0f, 0)},
                {{"Blue", glm::vec4(0.1f, 0.3f, 0.9f, 1.0f), 0.8f, "", "", true}})
        .write(sandbox, "models/test/twoside.gltf");
    auto oneSided = std::make_shared<Model>(assetPath("models/test/oneside.gltf"), getShader(SHADER_DEFAULT));
    auto twoSided = std::make_shared<Model>(assetPath("models/test/twoside.gltf"), getShader(SHADER_DEFAULT));
    root.children.clear();
    root.addChild(std::make_shared<Drawable>(floor));
    const glm::vec3 oneAt(0.0f, -4.0f, 4.0f);
    const glm::vec3 twoAt(10.0f, 8.0f, 4.0f);
    for (const auto& [model, place] : {std::pair{oneSided, oneAt}, std::pair{twoSided, twoAt}}) {
        auto sheet = std::make_shared<Drawable>(model);
        sheet->setPosition(place);
        sheet->setRotation(glm::vec3(180.0f, 0.0f, 0.0f));
        root.addChild(sheet);
    }

    renderFrame();
    const Pixel hidden = at(toPixel(oneAt));
    const Pixel shown = at(toPixel(twoAt));
    EXPECT_GT(shown.b, shown.r + 80) << "the two-sided sheet's back is drawn: " << shown;
    EXPECT_GT(hidden.g, hidden.b + 20) << "the one-sided sheet's back is skipped, the grass shows: " << hidden;
    // The light's pass draws every face: both sheets shade the grass below them.
    const Pixel open = at(toPixel(glm::vec3(4.0f, -14.0f, 0.0f)));
    for (const glm::vec3& sheet : {oneAt, twoAt}) {
        const Pixel shade = at(toPixel(shadowOnGround(sheet)));
        EXPECT_LT(shade.g + 30, open.g) << "no shadow under the sheet at x " << sheet.x << ": " << shade << " vs " << open;
    }
    root.children.clear();
}

TEST_F(FrameTest, ShadowsDrawnOnlyWhereTheViewReadsGiveTheSameImage)
{
    renderFrame();
    const std::vector<unsigned char> whole = pixels;

    // Depth 0 everywhere: a texel the view reads but the pass leaves alone would shadow its pixel.
    glBindFramebuffer(GL_FRAMEBUFFER, shadows.framebuffer);
    glClearDepth(0.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    root.draw();
    shadows.drawDepthPass(light.position, viewProjection());
    const glm::ivec4 area = shadows.readableArea(viewProjection());
    EXPECT_LT(area.z * area.w, shadows.width * shadows.height) << "part of the map is left alone";
    postProcessing.bindTarget(false);
    renderShaders(eye, light, shadows, viewProjection());
    postProcessing.draw();
    glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

    int differs = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i)
        differs += pixels[i] != whole[i] ? 1 : 0;
    EXPECT_EQ(differs, 0);
}

TEST_F(FrameTest, CachedStillCastersShadowAsDrawnAndFollowWhenTheyMove)
{
    // Frames as the game draws them: the map only where the view reads, still casters from the cache.
    auto cachedFrame = [&] {
        root.draw();
        shadows.drawDepthPass(light.position, viewProjection());
        postProcessing.bindTarget(false);
        renderShaders(eye, light, shadows, viewProjection());
        postProcessing.draw();
        glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    auto differing = [](const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
        int count = 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            count += a[i] != b[i] ? 1 : 0;
        return count;
    };

    renderFrame();
    for (int i = 0; i < 3; ++i)
        cachedFrame();
    EXPECT_TRUE(shadows.cacheValid);
    const std::uint64_t redraws = shadows.cacheRedraws;
    const std::vector<unsigned char> fromCache = cachedFrame();
    EXPECT_EQ(shadows.cacheRedraws, redraws) << "nothing moved, nothing redrawn";
    renderFrame();
    EXPECT_EQ(differing(fromCache, pixels), 0);

    // A box that was still moves (as a refill of the ring moves everything): its shadow moves with it.
    root.children[1]->setPosition(boxes[0] + glm::vec3(3.0f, 6.0f, 0.0f));
    const std::vector<unsigned char> moved = cachedFrame();
    renderFrame();
    EXPECT_GT(differing(moved, fromCache), 0);
    EXPECT_EQ(differing(moved, pixels), 0) << "the frame the box moved";
    const std::vector<unsigned char> settled = cachedFrame();
    EXPECT_GT(shadows.cacheRedraws, redraws);
    EXPECT_EQ(differing(settled, pixels), 0) << "once it stands still again";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameTest, AtHalfScaleTheOutlinesStayHardLinesAndTheHudIsDrawnAsAtFullScale)
{
    HUD hud;
    hud.initialize();
    hud.resize(frameWidth, frameHeight);
    auto frameAt = [&](float scale) {
        RenderSettings scaled = settings();
        scaled.renderScale = scale;
        postProcessing.initialize(scaled);
        root.draw();
        shadows.drawDepthPass(light.position);
        postProcessing.bindTarget(false);
        renderShaders(eye, light, shadows, viewProjection());
        postProcessing.draw();
        hud.render();
        readWindow();
        return pixels;
    };
    const std::vector<unsigned char> full = frameAt(1.0f);
    const std::vector<unsigned char> half = frameAt(0.5f);
    saveIfAsked();
    EXPECT_EQ(postProcessing.width, frameWidth / 2);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The HUD's top line lies over the clear grey at either scale: the same pixels, text and all.
    int differs = 0;
    int text = 0;
    for (int y = frameHeight - 45; y < frameHeight; ++y)
        for (int x = 0; x < frameWidth; ++x) {
            const std::size_t i = static_cast<std::size_t>((y * frameWidth + x) * 3);
            differs += std::equal(&half[i], &half[i] + 3, &full[i]) ? 0 : 1;
            text += at({x, y}).background() ? 0 : 1;
        }
    EXPECT_GT(text, 200) << "the HUD's text is there";
    EXPECT_EQ(differs, 0);

    // Out of the first box in any direction: a black line of a few pixels, and right beside it
    // on either side the full colour of the box and of the ground, not a grey blur.
    const glm::ivec2 centre = toPixel(boxes[0]);
    for (const glm::ivec2 step : {glm::ivec2(-1, 0), glm::ivec2(1, 0), glm::ivec2(0, -1)}) {
        glm::ivec2 p = centre;
        while (p.x > 8 && p.x < frameWidth - 9 && p.y > 8 && !at(p).black())
            p += step;
        ASSERT_TRUE(at(p).black()) << "no outline out of the box towards " << step.x << ", " << step.y;
        const glm::ivec2 lineStart = p;
        while (at(p).black())
            p += step;
        const int width = std::abs(p.x - lineStart.x) + std::abs(p.y - lineStart.y);
        EXPECT_LE(width, outlineWidth) << "towards " << step.x << ", " << step.y;
        const Pixel inside = at(lineStart - step);
        const Pixel box = at(lineStart - 3 * step);
        const Pixel outside = at(p);
        const Pixel grass = at(p + 2 * step);
        EXPECT_GE(inside.sum() * 10, box.sum() * 8) << inside << " beside the line, box " << box;
        EXPECT_GE(outside.sum() * 10, grass.sum() * 8) << outside << " beside the line, ground " << grass;
    }
}

} // namespace
