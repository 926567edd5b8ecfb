#include "app/Game.h"

#include "app/WindowSettings.h"
#include "files/Config.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "render/Shader.h"
#include "scene/Camera.h"
#include "world/SegmentManager.h"

#include <epoxy/gl.h>

#include <chrono>
#include <functional>

// The game's drawing: the world's passes, the world held under a menu, the HUD, the render
// scale and the targets sized by the window, and the pictures drawn before the first frame.

void Game::warmUpDrawing()
{
    // The driver makes its code for each program and state the first time they draw: here,
    // before the first frame, rather than as a stall in it (or in the first pause). A second picture, timed, tells an
    // automatic render scale where to start, so a slow machine's first frames are not drawn
    // at the full picture.
    const auto picture = [this] {
        renderWorld();
        hudPass();
        glFinish();
    };
    picture();
    // The copies that keep the world under a menu, made once too: the first pause is no stall.
    HeldPicture::Key window;
    window.window = glm::ivec2(hud.width, hud.height);
    heldWorld.hold(window);
    heldWorld.show(window);
    heldWorld.forget();
    const auto start = std::chrono::steady_clock::now();
    picture();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (renderScale.startFrom(seconds))
        postProcessing.initialize(renderSettings());
}

void Game::rebuildSizedTargets()
{
    // A minimised window reports 0 x 0: keep the previous projection and targets until it is back.
    if (windowPixels(window_width) <= 0 || windowPixels(window_height) <= 0)
        return;
    if (Run* run = world())
        run->player->camera->rebuildProjection();
    const RenderSettings settings = renderSettings();
    shadows.initialize(settings);
    postProcessing.initialize(settings);
    hud.resize(settings.width, settings.height);
    framebufferResized = false;
}

RenderSettings configuredRenderSettings()
{
    RenderSettings settings;
    settings.width = windowPixels(window_width);
    settings.height = windowPixels(window_height);
    settings.shadowFactor = shadowmap_resolution_factor;
    settings.fallbackShadowFactor = findSetting("shadowmap_resolution_factor")->defaultValue;
    settings.cameraNear = cameraNear;
    settings.cameraFar = cameraFar;
    settings.lightPosition = lightPosition;
    settings.worldLength = worldLength;
    return settings;
}

RenderSettings Game::renderSettings() const
{
    RenderSettings settings = configuredRenderSettings();
    settings.renderScale = renderScale.scale();
    if (const Run* run = world()) {
        settings.cameraNear = run->player->camera->nearPlane;
        settings.cameraFar = run->player->camera->farPlane;
    }
    return settings;
}

void Game::render()
{
    if (framebufferResized)
        rebuildSizedTargets();
    if (screens.empty())
        renderWorld();
    else
        screens.draw(*this);
    if (screenshotRequested) {
        screenshotRequested = false;
        saveScreenshot();
    }
    followRenderScale();
}

void Game::renderWorld()
{
    queueInstances();
    shadowPass();
    mainPass();
    postPass();
}

std::optional<HeldPicture::Key> Game::heldWorldKey() const
{
    const Run* run = world();
    if (!run)
        return std::nullopt;
    HeldPicture::Key key;
    key.world = run;
    key.viewProjection = run->player->camera->getViewProjection();
    key.eye = run->player->camera->getPosition();
    key.lightColor = light.color;
    key.lightPosition = light.position;
    key.ambient = light.ambient;
    key.window = glm::ivec2(hud.width, hud.height);
    key.shadowMap = glm::ivec2(shadows.width, shadows.height);
    key.renderScale = renderScale.scale();
    key.wireframe = run->input->wireframe;
    for (const auto& [name, program] : shaderRegistry())
        key.programLoads += program->loadCount;
    return key;
}

void Game::drawStillWorld(const std::function<void()>& draw)
{
    const std::optional<HeldPicture::Key> key = heldWorldKey();
    if (key && heldWorld.show(*key))
        return;
    draw();
    if (key)
        heldWorld.hold(*key);
}

void Game::queueInstances()
{
    if (Run* run = world()) {
        run->player->draw();
        run->root.draw();
    }
}

void Game::shadowPass()
{
    // The depth pass keeps the queued instances for the main pass, which empties them. Only the
    // part of the map the camera's view can read is drawn.
    if (Run* run = world())
        shadows.drawDepthPass(light.position, run->player->camera->getViewProjection());
    else
        shadows.drawDepthPass(light.position);
}

void Game::mainPass()
{
    Run* run = world();
    if (!run)
        return;
    postProcessing.bindTarget(run->input->wireframe);
    const glm::mat4 viewProjection = run->player->camera->getViewProjection();
    const glm::vec3 eye = run->player->camera->getPosition();
    renderShaders(eye, light, shadows, viewProjection);
}

void Game::postPass()
{
    postProcessing.draw();
}

void Game::hudPass()
{
    if (const Run* run = world(); run && run->input->showHud)
        hud.render();
}

void Game::followRenderScale()
{
    // A frozen world stays still under a menu: its frames (a menu's work, not play's) move no
    // automatic scale, though a setting chosen on the settings screen applies at once. Only
    // the scene's targets change size; a minimised window rebuilds them once it is back.
    const double work = frameTimer.end();
    if (renderScale.update(render_scale, paused ? -1.0 : work) && !framebufferResized)
        postProcessing.initialize(renderSettings());
}
