// Renders the game's ten models into one contact sheet (PNG), each in its own tile, framed by
// its own bounds and drawn by the game's renderer: toon-lit, shadowed and outlined. With
// --icon it renders the butterfly alone on a transparent square instead: the game's icon.
//
//   cd build/bin && xvfb-run -a ./preview ../../docs/models.png [TILE_PIXELS]
//   cd build/bin && xvfb-run -a ./preview --icon ../../dist/icons/quillfen-128.png 128

#include "app/Game.h"
#include "files/Config.h"
#include "render/Light.h"
#include "render/Model.h"
#include "render/PostProcessing.h"
#include "render/Shader.h"
#include "render/Shadows.h"
#include "text/TextRenderer.h"

#include <GLFW/glfw3.h>
#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// How each model is shown: the scale the world gives it, so it keeps its proportions, and the
// side the camera looks from (towards the light, so that the lit faces show).
struct Sitting {
    int key;
    glm::vec3 scale;
    glm::vec3 view;
};

const Sitting sittings[] = {
    {MODEL_BUTTERFLY, glm::vec3(0.02f), glm::vec3(-0.5f, -1.0f, 1.6f)},
    {MODEL_TREE, glm::vec3(15.0f, 15.0f, 30.0f), glm::vec3(-0.6f, -1.0f, 0.45f)},
    {MODEL_SHROOM, glm::vec3(10.0f / 3.0f, 10.0f / 3.0f, 10.5f), glm::vec3(-0.6f, -1.0f, 0.5f)},
    {MODEL_POLLEN, glm::vec3(1.0f), glm::vec3(-0.6f, -1.0f, 0.6f)},
    {MODEL_RAINDROP, glm::vec3(2.0f), glm::vec3(-0.6f, -1.0f, 0.4f)},
    {MODEL_FLOOR, glm::vec3(100.0f, 112.5f, 1.0f), glm::vec3(-0.6f, -1.0f, 1.2f)},
    {MODEL_WOODS, glm::vec3(50.0f, 37.5f, 37.5f), glm::vec3(-0.4f, -1.0f, 0.35f)},
    {MODEL_CHAR, glm::vec3(1.0f), glm::vec3(-0.6f, -1.0f, 0.4f)},
    {MODEL_CUBE, glm::vec3(1.0f), glm::vec3(-0.6f, -1.0f, 0.6f)},
    {MODEL_PROJECTILE, glm::vec3(1.0f), glm::vec3(-0.6f, -1.0f, 0.6f)},
};

constexpr int columns = 5;
constexpr int gap = 4;
constexpr unsigned char gapShade = 30;
// Every model is scaled to a bounding sphere of this radius, well inside the depth range the
// outline pass linearises (0.1 to 300), at about the distance the game camera keeps.
constexpr float sceneRadius = 10.0f;
constexpr float fieldOfView = glm::radians(35.0f);
constexpr float cameraNear = 0.1f;
constexpr float cameraFar = 300.0f;
// Where the model's picture may reach in the tile, in normalised device coordinates; the strip
// below is left to the label.
struct Frame {
    float left, right, bottom, top;
};
constexpr Frame sheetFrame{-0.9f, 0.9f, -0.8f, 0.9f};
// An icon fills its square, with a thin margin so the outline is not cut off.
constexpr Frame iconFrame{-0.94f, 0.94f, -0.94f, 0.94f};
// Icons are drawn at twice their size and shrunk, which smooths their edges.
constexpr int iconOversampling = 2;
constexpr float labelScale = 0.42f;
constexpr int labelMargin = 10;

struct Framing {
    glm::mat4 world;
    glm::vec3 eye;
    glm::mat4 viewProjection;
};

// Centres the model at the origin, scaled as the world scales it and then to sceneRadius.
Framing frame(const Model& model, const Sitting& sitting, const Frame& window)
{
    glm::vec3 low(1e30f);
    glm::vec3 high(-1e30f);
    for (const auto& mesh : model.meshes)
        for (const glm::vec3& p : mesh->positions) {
            low = glm::min(low, p * sitting.scale);
            high = glm::max(high, p * sitting.scale);
        }
    const glm::vec3 centre = (low + high) * 0.5f;
    float radius = 0.0f;
    for (const auto& mesh : model.meshes)
        for (const glm::vec3& p : mesh->positions)
            radius = std::max(radius, glm::distance(p * sitting.scale, centre));
    radius = std::max(radius, 1e-6f);

    Framing framing;
    framing.world = glm::scale(glm::mat4(1.0f), glm::vec3(sceneRadius / radius)) *
                    glm::translate(glm::mat4(1.0f), -centre) * glm::scale(glm::mat4(1.0f), sitting.scale);
    // Far enough for the bounding sphere to fit the view cone: every side of the model is in view.
    const float distance = sceneRadius / std::sin(fieldOfView * 0.5f);
    framing.eye = glm::normalize(sitting.view) * distance;
    const glm::mat4 viewProjection = glm::perspective(fieldOfView, 1.0f, cameraNear, cameraFar) *
                                     glm::lookAt(framing.eye, glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, 1.0f));

    // Then zoom the image onto what the model covers of it, as a lens would: x and y of the clip
    // space only, so depth, and with it the outline pass, stay as they were.
    glm::vec2 shownLow(1e30f);
    glm::vec2 shownHigh(-1e30f);
    for (const auto& mesh : model.meshes)
        for (const glm::vec3& p : mesh->positions) {
            const glm::vec4 clip = viewProjection * framing.world * glm::vec4(p, 1.0f);
            const glm::vec2 ndc = glm::vec2(clip) / clip.w;
            shownLow = glm::min(shownLow, ndc);
            shownHigh = glm::max(shownHigh, ndc);
        }
    const glm::vec2 wanted(window.right - window.left, window.top - window.bottom);
    const glm::vec2 shown = glm::max(shownHigh - shownLow, glm::vec2(1e-6f));
    const float zoom = std::min(wanted.x / shown.x, wanted.y / shown.y);
    const glm::vec2 shift = glm::vec2(window.left + window.right, window.bottom + window.top) * 0.5f -
                            (shownLow + shownHigh) * 0.5f * zoom;
    const glm::mat4 lens = glm::translate(glm::mat4(1.0f), glm::vec3(shift, 0.0f)) *
                           glm::scale(glm::mat4(1.0f), glm::vec3(zoom, zoom, 1.0f));
    framing.viewProjection = lens * viewProjection;
    return framing;
}

// The light's box tightened around the tile's scene, so the shadow map spends its texels there.
void fitShadowsToScene(Shadows& shadows)
{
    const float reach = sceneRadius * 1.2f;
    const float lightDistance = glm::length(lightPosition);
    shadows.lightProjection =
        glm::ortho(-reach, reach, -reach, reach, lightDistance - 2.0f * reach, lightDistance + 2.0f * reach);
}

void drawLabel(TextRenderer& writer, const std::string& text)
{
    writer.begin();
    writer.draw(text, static_cast<float>(labelMargin), static_cast<float>(labelMargin), labelScale, glm::vec3(1.0f));
    writer.end();
}

// The file name without folder and extension: "models/world/tree.gltf" -> "tree".
std::string modelName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find_last_of('.'));
}

// What the renderer drew for one model: the image, top row first, RGB.
struct Renderer {
    Shadows shadows;
    PostProcessing postProcessing;
    TextRenderer text;
    Light light{glm::vec3(0.8f), lightPosition, brightness};
    int tile = 0;

    explicit Renderer(int tilePixels) : tile(tilePixels)
    {
        loadShaders();
        loadModels();
        shadows.initialize(configuredRenderSettings());
        fitShadowsToScene(shadows);
        postProcessing.initialize(configuredRenderSettings());
        text.initialize(static_cast<int>(window_width), static_cast<int>(window_height));
    }

    std::vector<unsigned char> draw(Model& model, const Sitting& sitting, const Frame& window, const std::string& label)
    {
        const Framing framing = frame(model, sitting, window);
        model.modelMatrices.push_back(framing.world);
        model.normalMatrices.push_back(glm::transpose(glm::inverse(framing.world)));

        shadows.drawDepthPass(light.position);
        postProcessing.bindTarget(false);
        renderShaders(framing.eye, light, shadows, framing.viewProjection);
        postProcessing.draw();
        if (!label.empty())
            drawLabel(text, label);

        std::vector<unsigned char> bottomUp(static_cast<std::size_t>(tile) * tile * 3);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, tile, tile, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
        // OpenGL's rows run bottom-up, the image's top-down.
        std::vector<unsigned char> image(bottomUp.size());
        for (int y = 0; y < tile; ++y)
            std::copy_n(&bottomUp[static_cast<std::size_t>(tile - 1 - y) * tile * 3], tile * 3,
                        &image[static_cast<std::size_t>(y) * tile * 3]);
        return image;
    }
};

// The clear colour of the main pass (0.2 grey) marks the background; it becomes transparent,
// and each icon pixel averages a block of drawn pixels, weighted by their coverage.
std::vector<unsigned char> shrinkToIcon(const std::vector<unsigned char>& image, int tile, int size)
{
    const int block = tile / size;
    std::vector<unsigned char> icon(static_cast<std::size_t>(size) * size * 4, 0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int covered = 0;
            int sum[3] = {0, 0, 0};
            for (int by = 0; by < block; ++by)
                for (int bx = 0; bx < block; ++bx) {
                    const unsigned char* p =
                        &image[(static_cast<std::size_t>(y * block + by) * tile + x * block + bx) * 3];
                    const bool background = std::abs(p[0] - 51) <= 1 && std::abs(p[1] - 51) <= 1 && std::abs(p[2] - 51) <= 1;
                    if (background)
                        continue;
                    ++covered;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += p[c];
                }
            unsigned char* out = &icon[(static_cast<std::size_t>(y) * size + x) * 4];
            if (covered == 0)
                continue;
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<unsigned char>(sum[c] / covered);
            out[3] = static_cast<unsigned char>(255 * covered / (block * block));
        }
    return icon;
}

GLFWwindow* openWindow(int tile)
{
    // Built-in settings, so the picture does not depend on anyone's config.txt; the targets are tile sized.
    resetSettings();
    window_width = static_cast<float>(tile);
    window_height = static_cast<float>(tile);

    if (!glfwInit()) {
        std::fprintf(stderr, "could not start GLFW (no display? run it under xvfb-run -a)\n");
        return nullptr;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(tile, tile, "Quillfen model preview", nullptr, nullptr);
    if (!window) {
        std::fprintf(stderr, "could not create an OpenGL 4.3 core window\n");
        glfwTerminate();
        return nullptr;
    }
    glfwMakeContextCurrent(window);
    return window;
}

void closeWindow(GLFWwindow* window)
{
    glfwDestroyWindow(window);
    glfwTerminate();
}

int writeIcon(const std::string& output, int size)
{
    const int tile = size * iconOversampling;
    GLFWwindow* window = openWindow(tile);
    if (!window)
        return 1;
    std::vector<unsigned char> icon;
    {
        Renderer renderer(tile);
        const auto model = getModel(sittings[0].key);
        if (model && model->loaded)
            icon = shrinkToIcon(renderer.draw(*model, sittings[0], iconFrame, ""), tile, size);
    }
    closeWindow(window);
    if (icon.empty()) {
        std::fprintf(stderr, "the butterfly did not load\n");
        return 1;
    }
    if (stbi_write_png(output.c_str(), size, size, 4, icon.data(), size * 4) == 0) {
        std::fprintf(stderr, "could not write %s\n", output.c_str());
        return 1;
    }
    std::printf("%s: %d x %d pixels\n", output.c_str(), size, size);
    return 0;
}

int writeSheet(const std::string& output, int tile)
{
    GLFWwindow* window = openWindow(tile);
    if (!window)
        return 1;
    const int count = static_cast<int>(std::size(sittings));
    const int rows = (count + columns - 1) / columns;
    const int sheetWidth = columns * tile + (columns + 1) * gap;
    const int sheetHeight = rows * tile + (rows + 1) * gap;
    std::vector<unsigned char> sheet(static_cast<std::size_t>(sheetWidth) * sheetHeight * 3, gapShade);
    int missing = 0;
    {
        Renderer renderer(tile);
        for (int i = 0; i < count; ++i) {
            const Sitting& sitting = sittings[i];
            const auto model = getModel(sitting.key);
            if (!model || !model->loaded) {
                std::fprintf(stderr, "model %d did not load\n", sitting.key);
                ++missing;
                continue;
            }
            const auto image = renderer.draw(*model, sitting, sheetFrame, modelName(model->path));
            const int left = gap + (i % columns) * (tile + gap);
            const int top = gap + (i / columns) * (tile + gap);
            for (int y = 0; y < tile; ++y)
                std::copy_n(&image[static_cast<std::size_t>(y) * tile * 3], tile * 3,
                            &sheet[(static_cast<std::size_t>(top + y) * sheetWidth + left) * 3]);
        }
    }
    closeWindow(window);
    if (stbi_write_png(output.c_str(), sheetWidth, sheetHeight, 3, sheet.data(), sheetWidth * 3) == 0) {
        std::fprintf(stderr, "could not write %s\n", output.c_str());
        return 1;
    }
    std::printf("%s: %d models, %d x %d pixels\n", output.c_str(), count - missing, sheetWidth, sheetHeight);
    return missing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool icon = argc >= 2 && std::string(argv[1]) == "--icon";
    const int first = icon ? 2 : 1;
    if (argc < first + 1 || argc > first + 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [TILE_PIXELS]\n       %s --icon OUTPUT.png [ICON_PIXELS]\n",
                     argv[0], argv[0]);
        return 2;
    }
    const std::string output = argv[first];
    const int pixels = argc == first + 2 ? std::atoi(argv[first + 1]) : (icon ? 256 : 400);
    if (icon ? (pixels < 16 || pixels > 1024) : (pixels < 64 || pixels > 2048)) {
        std::fprintf(stderr, icon ? "icon size must be 16 to 1024 pixels\n" : "tile size must be 64 to 2048 pixels\n");
        return 2;
    }
    return icon ? writeIcon(output, pixels) : writeSheet(output, pixels);
}
