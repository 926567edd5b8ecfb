// Cost of the real game loop: the game starts with its own assets and settings, the world is
// built as the game builds it, and a fixed number of frames run with scripted keys and mouse
// and a fixed frame time of 1/60 s, so every run simulates and draws the same frames. Wall
// time and GPU time are measured per step of the frame.
//
//   bench_frame [--frames N] [--warmup N] [--finish] [--png DIR] [--set KEY=VALUE]...
//               [--pause [--menu settings|controls|best|help] | --watch FILE]
//
// --finish waits for the GPU after every step, so each step's CPU time includes the drawing
// it caused (the software rasteriser otherwise finishes a pass while the next one is queued).
// --png writes the window, as it is about to be shown, every 100 frames and at the last frame, as
// DIR/frame-NNNN.png: two builds that draw the same must write the same files.
// --set overrides a setting of config.txt for the run (after the player's own config.txt), for
// example --set render_scale=1 or --set window_width=1920 --set window_height=1080.
// --pause opens the pause menu at the first measured frame: the measured frames are the frozen
// world under the menu, the opening one included. --menu opens that screen of the pause menu in
// the same frame, over the same frozen world.
// --watch starts watching the recording FILE at the first measured frame, as the menus' WATCH
// does: the measured frames (one second unless --frames says otherwise) are its first ones.
// Under a menu or a recording the game's own render runs, timed as one step.
#include "Allocations.h"

#include "app/Game.h"
#include "audio/AudioDevice.h"
#include "audio/GameSound.h"
#include "files/Config.h"
#include "files/Replay.h"
#include "files/UserFolders.h"
#include "input/GameInput.h"
#include "physics/PhysicsEngine.h"
#include "physics/Player.h"
#include "render/Mesh.h"
#include "ui/HUD.h"
#include "ui/MenuScreens.h"
#include "ui/Screen.h"
#include "world/ParticleSystem.h"
#include "world/SegmentManager.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>
#include <time.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr float frameTime = 1.0f / 60.0f;
constexpr double pi = 3.14159265358979;

// The keys and mouse of one scripted player: flies on, speeds up now and then, weaves left and
// right, climbs and dives, and looks around with the mouse.
class ScriptedInput : public InputDevice {
public:
    bool isPressed(int code) override
    {
        const int f = frame;
        switch (code) {
        case GLFW_KEY_W:
            return (f / 90) % 2 == 1;
        case GLFW_KEY_A:
            return f % 240 >= 40 && f % 240 < 70;
        case GLFW_KEY_D:
            return f % 240 >= 160 && f % 240 < 190;
        case GLFW_KEY_SPACE:
            return f % 300 >= 100 && f % 300 < 120;
        case GLFW_KEY_LEFT_SHIFT:
            return f % 300 >= 220 && f % 300 < 240;
        default:
            return false;
        }
    }
    void getWindowSize(int& width, int& height) override
    {
        width = static_cast<int>(window_width);
        height = static_cast<int>(window_height);
    }
    void getCursorPos(double& x, double& y) override
    {
        // A slow sway of the view, a few pixels per frame away from the centre.
        x = std::floor(window_width / 2.0) + std::round(6.0 * std::sin(frame * 2.0 * pi / 240.0));
        y = std::floor(window_height / 2.0) + std::round(3.0 * std::sin(frame * 2.0 * pi / 180.0));
    }
    void setCursorPos(double, double) override {}
    void hideCursor() override {}

    int frame = 0;
};

enum Step { PRESENT, UPDATE, AUDIO, QUEUE, SHADOW, MAIN, POST, HUD_STEP, RENDER, STEPS };
const char* const stepNames[STEPS] = {
    "swap + events", "update", "audio update", "queue instances", "shadow pass",
    "main pass", "post-processing", "HUD", "render (screens)",
};
// The steps that draw, timed on the GPU too.
constexpr int firstGpuStep = SHADOW;
constexpr int gpuSteps = STEPS - firstGpuStep;
// A frame longer than this is a hitch the player sees.
constexpr double hitchMs = 50.0;
// Timer results are read this many frames later, when the GPU is long done with them.
constexpr int queryLag = 3;

struct Frame {
    std::array<double, STEPS> wall{};
    // Process CPU time per step, all threads: with --finish, the work each step caused.
    std::array<double, STEPS> work{};
    std::array<double, gpuSteps> gpu{};
    std::array<bool, STEPS> ran{};
    double total = 0.0;
    std::uint64_t meshDraws = 0;
    std::uint64_t triangles = 0;
    std::uint64_t hudDraws = 0;
    std::uint64_t updateAllocations = 0;
    std::uint64_t renderAllocations = 0;
    int drops = 0;
    int contents = 0;
    int bodies = 0;
    float renderScale = 1.0f;
    // The frame's own work as the render scale saw it (a frame or two late), when measured.
    double scaleWork = -1.0;
};

// CPU time of the whole process, the rasteriser's threads included: less disturbed than wall
// time by other work on the machine.
double processCpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Mark {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = processCpuMilliseconds();
};

// Wall milliseconds since the mark into wall, process CPU milliseconds into work; moves the mark.
void lap(Mark& mark, double& wall, double& work)
{
    const Mark next;
    wall = std::chrono::duration<double, std::milli>(next.wall - mark.wall).count();
    work = next.cpu - mark.cpu;
    mark = next;
}

double mean(const std::vector<double>& values)
{
    double sum = 0.0;
    for (double v : values)
        sum += v;
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

double percentile(std::vector<double> values, int percent)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * static_cast<std::size_t>(percent) / 100)];
}

double longest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

bool writeWindow(const std::string& path)
{
    const int width = static_cast<int>(window_width);
    const int height = static_cast<int>(window_height);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 3));
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    stbi_flip_vertically_on_write(1);
    return stbi_write_png(path.c_str(), width, height, 3, pixels.data(), width * 3) != 0;
}

// The settings given with --set go after the player's own config.txt, in a scratch config
// folder the game then reads instead: later lines win. The folder is named in the report.
bool applyOverrides(const std::vector<std::string>& overrides)
{
    std::string text;
    const std::filesystem::path own = userConfigFolder() / "config.txt";
    if (std::ifstream in{own}) {
        std::ostringstream whole;
        whole << in.rdbuf();
        text = whole.str() + "\n";
    }
    for (const std::string& line : overrides) {
        const auto equals = line.find('=');
        if (equals == std::string::npos || !findSetting(line.substr(0, equals))) {
            std::fprintf(stderr, "--set %s: not KEY=VALUE with a known key\n", line.c_str());
            return false;
        }
        text += line + "\n";
    }
    char folder[] = "/tmp/bench_frame.XXXXXX";
    if (!mkdtemp(folder))
        return false;
    std::filesystem::create_directories(std::filesystem::path(folder) / "quillfen");
    std::ofstream(std::filesystem::path(folder) / "quillfen" / "config.txt") << text;
    setenv("XDG_CONFIG_HOME", folder, 1);
    std::printf("settings: the player's config.txt and --set, in %s/quillfen/config.txt\n", folder);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int measured = 600;
    int warmUp = 120;
    bool finish = false;
    std::string png;
    std::string watch;
    bool pause = false;
    std::optional<MenuScreenKind> menu;
    bool framesGiven = false;
    std::vector<std::string> overrides;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            measured = std::max(1, std::atoi(argv[++i]));
            framesGiven = true;
        }
        else if (arg == "--warmup" && i + 1 < argc)
            warmUp = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--finish")
            finish = true;
        else if (arg == "--png" && i + 1 < argc)
            png = argv[++i];
        else if (arg == "--set" && i + 1 < argc)
            overrides.emplace_back(argv[++i]);
        else if (arg == "--pause" && watch.empty())
            pause = true;
        else if (arg == "--menu" && i + 1 < argc && pause) {
            const std::string name = argv[++i];
            const std::pair<const char*, MenuScreenKind> kinds[] = {{"settings", MenuScreenKind::Settings},
                                                                     {"controls", MenuScreenKind::Controls},
                                                                     {"best", MenuScreenKind::BestRuns},
                                                                     {"help", MenuScreenKind::Help}};
            for (const auto& [known, kind] : kinds)
                if (name == known)
                    menu = kind;
            if (!menu) {
                std::fprintf(stderr, "--menu %s: not settings, controls, best or help\n", name.c_str());
                return EXIT_FAILURE;
            }
        }
        else if (arg == "--watch" && i + 1 < argc && !pause)
            watch = std::filesystem::absolute(argv[++i]).string();
        else {
            std::fprintf(stderr,
                         "usage: %s [--frames N] [--warmup N] [--finish] [--png DIR] [--set KEY=VALUE]... "
                         "[--pause [--menu settings|controls|best|help] | --watch FILE]\n",
                         argv[0]);
            return EXIT_FAILURE;
        }
    }
    if (!watch.empty() && !framesGiven)
        measured = 60;
    if (!overrides.empty() && !applyOverrides(overrides))
        return EXIT_FAILURE;

    // The world's fingerprint as the game keeps it: worked out once at the start (as the game's
    // first recorded run asks for it; here in an empty scratch cache, as on a build's first
    // start), not again when a recording is watched.
    char cache[] = "/tmp/bench_frame_cache.XXXXXX";
    if (!mkdtemp(cache))
        return EXIT_FAILURE;
    keepFingerprintIn(cache);
    Game game;
    const bool started = game.initialize("Quillfen frame benchmark");
    if (started)
        thisGamesFingerprint();
    std::filesystem::remove_all(cache);
    if (!started)
        return EXIT_FAILURE;
    // A benchmark's game over is nobody's record.
    game.records.reset();
    auto scripted = std::make_unique<ScriptedInput>();
    ScriptedInput* script = scripted.get();
    game.playerRun()->input = std::make_shared<GameInput>(std::move(scripted));
    // The audio update is a step of its own: taken out of the game and called right after step,
    // where step calls it. Without a sound card it plays into memory, mixed outside the timed
    // steps as a device's mixing thread would.
    std::unique_ptr<GameSound> sound = std::move(game.sound);
    if (!sound)
        sound = std::make_unique<GameSound>(AudioDevice::openLoopback(44100));
    const int mixFrames = sound->output().rate() / 60;
    std::vector<float> mixed(static_cast<std::size_t>(2 * mixFrames));

    std::printf("renderer: %s, OpenGL %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    std::printf("window %d x %d, shadow map %d x %d, %d warm-up + %d measured frames of 1/60 s%s\n",
                static_cast<int>(window_width), static_cast<int>(window_height), game.shadows.width,
                game.shadows.height, warmUp, measured, finish ? ", GPU finished after every step" : "");

    std::vector<GLuint> queries(static_cast<std::size_t>(queryLag + 1) * gpuSteps);
    glGenQueries(static_cast<GLsizei>(queries.size()), queries.data());
    auto query = [&](int frame, int gpuStep) { return queries[static_cast<std::size_t>((frame % (queryLag + 1)) * gpuSteps + gpuStep)]; };

    const int total = warmUp + measured;
    std::vector<Frame> frames(static_cast<std::size_t>(total));
    auto readQueries = [&](int frame) {
        for (int s = 0; s < gpuSteps; ++s) {
            GLuint64 ns = 0;
            glGetQueryObjectui64v(query(frame, s), GL_QUERY_RESULT, &ns);
            frames[static_cast<std::size_t>(frame)].gpu[static_cast<std::size_t>(s)] = static_cast<double>(ns) / 1e6;
        }
    };

    const Screen* watching = nullptr;
    auto measuredStart = std::chrono::steady_clock::now();
    double measuredCpuStart = processCpuMilliseconds();
    for (int f = 0; f < total; ++f) {
        if (f == warmUp) {
            measuredStart = std::chrono::steady_clock::now();
            measuredCpuStart = processCpuMilliseconds();
        }
        Frame& out = frames[static_cast<std::size_t>(f)];
        Mark mark;
        const auto frameStart = mark.wall;

        glfwSwapBuffers(game.window);
        glfwPollEvents();
        lap(mark, out.wall[PRESENT], out.work[PRESENT]);
        // As the game's frame does: the frame's own work is measured from here to the HUD.
        game.frameTimer.begin();

        // A fixed frame time and focus, so the same frames are simulated on every run.
        const std::uint64_t beforeUpdate = allocationCount();
        script->frame = f;
        game.focused = true;
        // The menu or the recording begins within the frame, as the key that asks for it would.
        if (f == warmUp && pause) {
            game.openPauseMenu();
            if (menu)
                openMenuScreen(game, *menu);
        }
        if (f == warmUp && !watch.empty()) {
            game.watchReplay(watch);
            watching = game.screens.top();
        }
        game.step(frameTime);
        if (f == warmUp && !watch.empty() && game.screens.top() == watching) {
            std::fprintf(stderr, "%s: not a recording this game can play (see above)\n", watch.c_str());
            return EXIT_FAILURE;
        }
        lap(mark, out.wall[UPDATE], out.work[UPDATE]);
        sound->update(game.deltaTime, game.world(), game.paused);
        lap(mark, out.wall[AUDIO], out.work[AUDIO]);
        const std::uint64_t beforeRender = allocationCount();
        out.updateAllocations = beforeRender - beforeUpdate;
        if (sound->output().isLoopback()) {
            sound->output().render(mixed.data(), mixFrames);
            mark = Mark();
        }

        const std::uint64_t meshDraws = meshDrawCalls();
        const std::uint64_t triangles = meshTriangles();
        const std::uint64_t hudDraws = hudDrawCalls();
        out.ran[PRESENT] = out.ran[UPDATE] = out.ran[AUDIO] = true;
        auto timed = [&](Step step, void (Game::*pass)()) {
            glBeginQuery(GL_TIME_ELAPSED, query(f, step - firstGpuStep));
            (game.*pass)();
            glEndQuery(GL_TIME_ELAPSED);
            if (finish)
                glFinish();
            lap(mark, out.wall[step], out.work[step]);
            out.ran[static_cast<std::size_t>(step)] = true;
        };
        out.renderScale = game.renderScale.scale();
        if (f >= warmUp && (pause || !watch.empty())) {
            // The screens draw as the game draws them; render follows the scale itself.
            timed(RENDER, &Game::render);
        } else {
            if (game.framebufferResized)
                game.rebuildSizedTargets();
            game.queueInstances();
            lap(mark, out.wall[QUEUE], out.work[QUEUE]);
            out.ran[QUEUE] = true;
            timed(SHADOW, &Game::shadowPass);
            timed(MAIN, &Game::mainPass);
            timed(POST, &Game::postPass);
            timed(HUD_STEP, &Game::hudPass);
            game.followRenderScale();
        }
        out.scaleWork = game.frameTimer.latest * 1e3;
        out.renderAllocations = allocationCount() - beforeRender;
        out.meshDraws = meshDrawCalls() - meshDraws;
        out.triangles = meshTriangles() - triangles;
        out.hudDraws = hudDrawCalls() - hudDraws;

        for (const auto& segment : game.world()->segmentManager->segments) {
            out.drops += static_cast<int>(segment->rain->getChildren().size());
            out.contents += static_cast<int>(segment->contents.size());
        }
        out.bodies = game.world()->physics->bodyCount();
        out.total = std::chrono::duration<double, std::milli>(mark.wall - frameStart).count();

        if (f >= queryLag)
            readQueries(f - queryLag);
        if (!png.empty() && (f % 100 == 0 || f == total - 1)) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%04d.png", f);
            if (!writeWindow(png + name))
                std::fprintf(stderr, "could not write %s%s\n", png.c_str(), name);
        }
    }
    glFinish();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - measuredStart).count();
    const double cpuMs = processCpuMilliseconds() - measuredCpuStart;
    for (int f = std::max(0, total - queryLag); f < total; ++f)
        readQueries(f);

    const auto first = frames.begin() + warmUp;
    auto column = [&](auto get) {
        std::vector<double> values;
        for (auto it = first; it != frames.end(); ++it)
            values.push_back(static_cast<double>(get(*it)));
        return values;
    };

    const auto scales = column([](const Frame& fr) { return fr.renderScale; });
    std::printf("\n%.1f frames per second (%d frames in %.2f s); process CPU time %.1f ms per frame\n",
                measured / seconds, measured, seconds, cpuMs / measured);
    std::vector<double> work;
    for (auto it = first; it != frames.end(); ++it)
        if (it->scaleWork >= 0.0)
            work.push_back(it->scaleWork);
    std::printf("render scale %.3f mean, %.2f lowest (%s); the frame's own work as it sees it %.1f ms (p95 %.1f)\n\n",
                mean(scales), *std::min_element(scales.begin(), scales.end()),
                game.renderScale.automatic() ? "automatic" : "fixed", mean(work), percentile(work, 95));
    std::printf("%-16s %9s %8s %8s %8s %9s %9s\n", "step", "wall ms", "p95 ms", "p99 ms", "max ms", "work ms",
                "GPU ms");
    for (int s = 0; s < STEPS; ++s) {
        const auto step = static_cast<std::size_t>(s);
        if (std::none_of(first, frames.end(), [&](const Frame& fr) { return fr.ran[step]; }))
            continue;
        const auto wall = column([&](const Frame& fr) { return fr.wall[step]; });
        const auto work = column([&](const Frame& fr) { return fr.work[step]; });
        std::printf("%-16s %9.3f %8.3f %8.3f %8.3f %9.3f", stepNames[s], mean(wall), percentile(wall, 95),
                    percentile(wall, 99), longest(wall), mean(work));
        if (s >= firstGpuStep) {
            const auto gpu = column([&](const Frame& fr) { return fr.gpu[step - firstGpuStep]; });
            std::printf(" %9.3f", mean(gpu));
        }
        std::printf("\n");
    }
    const auto frameMs = column([](const Frame& fr) { return fr.total; });
    std::printf("%-16s %9.3f %8.3f %8.3f %8.3f\n", "whole frame", mean(frameMs), percentile(frameMs, 95),
                percentile(frameMs, 99), longest(frameMs));
    // The start: the first second of play, shaders and the world's first refill included.
    std::vector<double> start;
    for (int f = 0; f < std::min(warmUp, 60); ++f)
        start.push_back(frames[static_cast<std::size_t>(f)].total);
    if (!start.empty())
        std::printf("the first %zu frames (the start, not measured above): longest %.1f ms, p95 %.1f ms\n",
                    start.size(), longest(start), percentile(start, 95));
    // Every frame over the budget of a hitch, with the step that took longest in it.
    int hitches = 0;
    for (int f = 0; f < total; ++f) {
        const Frame& fr = frames[static_cast<std::size_t>(f)];
        if (fr.total <= hitchMs)
            continue;
        const auto worst = std::max_element(fr.wall.begin(), fr.wall.end()) - fr.wall.begin();
        if (hitches++ < 12)
            std::printf("frame %d%s: %.1f ms, of which %s %.1f ms\n", f, f < warmUp ? " (warm-up)" : "", fr.total,
                        stepNames[worst], fr.wall[static_cast<std::size_t>(worst)]);
    }
    std::printf("%d frames over %.0f ms in all\n\n", hitches, hitchMs);

    std::printf("per frame: %.1f mesh draws (%.0f triangles), %.1f HUD draws, %.1f allocations in update and audio, "
                "%.1f in render\n",
                mean(column([](const Frame& fr) { return fr.meshDraws; })),
                mean(column([](const Frame& fr) { return fr.triangles; })),
                mean(column([](const Frame& fr) { return fr.hudDraws; })),
                mean(column([](const Frame& fr) { return fr.updateAllocations; })),
                mean(column([](const Frame& fr) { return fr.renderAllocations; })));
    std::printf("live objects: %.1f drops, %.1f contents, %.1f physics bodies (mean)\n",
                mean(column([](const Frame& fr) { return fr.drops; })),
                mean(column([](const Frame& fr) { return fr.contents; })),
                mean(column([](const Frame& fr) { return fr.bodies; })));
    std::printf("player at the end: x %.2f, health %.2f, time %.2f, level %d\n", game.world()->player->getPosition().x,
                game.world()->player->health, game.world()->player->remainingTime, game.world()->player->level);

    sound.reset();
    glDeleteQueries(static_cast<GLsizei>(queries.size()), queries.data());
    glfwTerminate();
    game.window = nullptr;
    return EXIT_SUCCESS;
}
