#include "app/Game.h"
#include "files/BestResults.h"
#include "files/Files.h"
#include "files/Translation.h"
#include "input/GameInput.h"
#include "support/GameHarness.h"
#include "text/TextRenderer.h"
#include "ui/HelpScreen.h"
#include "ui/Layout.h"
#include "ui/MenuScreens.h"
#include "ui/PlayScreens.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <unistd.h>

// Every screen of the game laid out, not drawn, in every language and window size the game is
// played in: each text inside the window, none over another, none under its smallest capitals.

namespace {

namespace fs = std::filesystem;

struct Size {
    int width;
    int height;
};
constexpr Size sizes[] = {{640, 480}, {1000, 750}, {1920, 1080}, {3840, 2160}};
constexpr const char* languages[] = {"", "de", "fr", "es", "it", "pt_BR", "pl", "ru"};

// How one screen is brought up: what the game shows, then the screen on top.
struct ScreenCase {
    const char* name;
    std::function<void(Game&)> open;
};

void openPlay(Game& game, const std::function<void(HUD&)>& state, bool gameOver)
{
    HUD& hud = game.hud;
    hud.healthPercent = 100.0f;
    hud.shownTime = 14.87f;
    hud.shownLevel = 12;
    hud.fps = 1234;
    hud.fpsVisible = true;
    hud.renderScalePercent = 75;
    state(hud);
    game.createWorld(std::make_shared<GameInput>(std::make_unique<testkit::FakeInputDevice>()), false);
    static_cast<PlayScreen*>(game.screens.top())->gameOverShown = gameOver;
}

const std::vector<ScreenCase>& screenCases()
{
    static const std::vector<ScreenCase> cases = {
        {"HUD with the level banner and a notice",
         [](Game& game) {
             openPlay(game,
                      [](HUD& hud) {
                          hud.levelBannerActive = true;
                          hud.levelBannerTime = 1.0f;
                          hud.soundNoticeTime = 0.5f;
                      },
                      false);
         }},
        {"YOU DIED with its menu",
         [](Game& game) {
             openPlay(game,
                      [](HUD& hud) {
                          hud.died = true;
                          hud.showBest({12, 187.25}, true);
                          hud.levelBannerActive = true;
                          hud.levelBannerTime = 1.0f;
                      },
                      true);
         }},
        {"OUT OF TIME with its menu",
         [](Game& game) {
             openPlay(game,
                      [](HUD& hud) {
                          hud.outOfTime = true;
                          hud.showBest({3, 61.5}, false);
                          hud.soundNoticeTime = 0.5f;
                      },
                      true);
         }},
        {"replay",
         [](Game& game) {
             openPlay(game,
                      [](HUD& hud) {
                          hud.replayLabel = "REPLAY - PAUSED";
                          hud.outOfTime = true;
                      },
                      false);
         }},
        {"pause", [](Game& game) { game.screens.push(std::make_unique<PauseScreen>()); }},
        {"help", [](Game& game) { openMenuScreen(game, MenuScreenKind::Help); }},
        {"settings", [](Game& game) { openMenuScreen(game, MenuScreenKind::Settings); }},
        {"controls", [](Game& game) { openMenuScreen(game, MenuScreenKind::Controls); }},
        {"best runs", [](Game& game) { openMenuScreen(game, MenuScreenKind::BestRuns); }},
    };
    return cases;
}

class Layout : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = fs::temp_directory_path() / ("quillfen-layout-" + std::to_string(::getpid()));
        fs::remove_all(scratch);
        env.set("XDG_DATA_HOME", (scratch / "data").c_str());
        env.set("XDG_CONFIG_HOME", (scratch / "config").c_str());
        font.initializeMeasuring();
        h.game.records = std::make_unique<BestResults>(scratch / "best.txt");
        // A full table: ten runs under long names, some given up, the newest of them marked.
        for (int i = 0; i < 10; ++i)
            h.game.records->submit(BestRun({20 + i, 1234.5 + i}, 1700000000 + i * 86400,
                                           "Maximiliane Theodora von Hohenzollern-Sigmaringen " + std::to_string(i),
                                           i % 3 == 0));
    }
    void TearDown() override
    {
        startTranslations(thisBuild().locale, [](const char*) -> const char* { return nullptr; });
        fs::remove_all(scratch);
    }

    // The screen's texts in that window, as it would draw them.
    ui::Page layOut(const ScreenCase& screen, Size size)
    {
        Game& game = h.game;
        game.screens.clear();
        game.screens.apply(game);
        game.hud = HUD();
        game.hud.width = size.width;
        game.hud.height = size.height;
        font.resize(size.width, size.height);
        screen.open(game);
        game.screens.apply(game);
        ui::Page page(font, size.width, size.height);
        game.screens.layout(game, page);
        return page;
    }

    fs::path scratch;
    testkit::ScopedEnv env;
    testkit::GameHarness h;
    TextRenderer font;
};

std::string describe(const ui::Text& text)
{
    std::ostringstream out;
    out << '"' << text.text << "\" [" << text.box.left << ", " << text.box.bottom << " - " << text.box.right << ", "
        << text.box.top << "] capital " << text.capital;
    return out.str();
}

TEST_F(Layout, EveryScreenFitsItsWindowWithoutOverlapsInEveryLanguageAndSize)
{
    ASSERT_GT(font.capitalHeight(1.0f), 0.0f) << "the game's font";
    for (const char* language : languages) {
        startTranslations(thisBuild().locale, [language](const char* name) -> const char* {
            return std::string(name) == "LANGUAGE" && language[0] != '\0' ? language : nullptr;
        });
        for (const Size size : sizes) {
            const ui::Box window{0.0f, 0.0f, static_cast<float>(size.width), static_cast<float>(size.height)};
            for (const ScreenCase& screen : screenCases()) {
                SCOPED_TRACE(std::string(screen.name) + " in \"" + language + "\" at " + std::to_string(size.width) +
                             " x " + std::to_string(size.height));
                const ui::Page page = layOut(screen, size);
                ASSERT_GE(page.texts.size(), 3u) << "the screen shows its texts";
                for (std::size_t i = 0; i < page.texts.size(); ++i) {
                    const ui::Text& text = page.texts[i];
                    EXPECT_TRUE(text.box.inside(window)) << describe(text);
                    EXPECT_GE(text.capital + 0.01f, ui::smallestCapital(text.role)) << describe(text);
                    for (std::size_t j = i + 1; j < page.texts.size(); ++j)
                        EXPECT_FALSE(text.box.overlaps(page.texts[j].box))
                            << describe(text) << " and " << describe(page.texts[j]);
                }
            }
        }
    }
}

} // namespace
