// The menus' own parts, without a game around them: the stack of screens and one menu's keys.
#include "app/Game.h"
#include "support/TestSupport.h"
#include "ui/Menu.h"
#include "ui/MenuInput.h"
#include "ui/Screen.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A screen that writes down what happens to it.
class LoggingScreen : public Screen {
public:
    LoggingScreen(std::string name, std::vector<std::string>& log, bool overlay = false)
        : name(std::move(name))
        , log(log)
        , isOverlay(overlay)
    {
    }
    ~LoggingScreen() override { log.push_back(name + " gone"); }
    void enter(Game&) override { log.push_back(name + " enter"); }
    void leave(Game&) override { log.push_back(name + " leave"); }
    void update(Game&, double) override {}
    void drawWorld(Game&) override { log.push_back(name + " world"); }
    void draw(Game&) override { log.push_back(name + " draw"); }
    bool overlay() const override { return isOverlay; }

private:
    std::string name;
    std::vector<std::string>& log;
    bool isOverlay;
};

TEST(ScreenStackTest, TheScreenUnderAPoppedOneIsEnteredAgainAndChangesWaitForApply)
{
    Game game;
    std::vector<std::string> log;
    ScreenStack stack;
    stack.push(std::make_unique<LoggingScreen>("play", log));
    EXPECT_TRUE(stack.empty()) << "a push waits for the frame's end";
    stack.apply(game);
    stack.push(std::make_unique<LoggingScreen>("pause", log, true));
    stack.push(std::make_unique<LoggingScreen>("controls", log, true));
    stack.apply(game);
    // Back from the controls: the pause menu takes the keys the player just bound, as it enters.
    stack.pop();
    stack.apply(game);
    EXPECT_EQ(log, (std::vector<std::string>{"play enter", "play leave", "pause enter", "pause leave",
                                             "controls enter", "controls leave", "controls gone", "pause enter"}));

    // Drawn: the world of the screen under the menus, then the top one over it; a menu over a
    // menu replaces it, and the texts of the screens between are never drawn.
    stack.push(std::make_unique<LoggingScreen>("settings", log, true));
    stack.apply(game);
    log.clear();
    stack.draw(game);
    EXPECT_EQ(log, (std::vector<std::string>{"play world", "settings draw"}));

    // Quitting: every screen leaves, top first; nothing is entered on the way down.
    log.clear();
    stack.clear();
    stack.apply(game);
    EXPECT_TRUE(stack.empty());
    EXPECT_EQ(log, (std::vector<std::string>{"settings leave", "settings gone", "pause leave", "pause gone",
                                             "play leave", "play gone"}));
}

// A menu driven by the keyboard as a player drives it: a key acts when it is let go.
class MenuKeys : public ::testing::Test {
protected:
    MenuKeys()
        : input(&keys)
    {
        input.resync(true);
        menu.items = {{"RESUME"}, {"LANGUAGE", "ENGLISH"}, {"WATCH", "", false}, {"SETTINGS"}, {"1. LEVEL 2"},
                      {"2. LEVEL 1"}, {"QUIT"}};
        menu.items[1].readOnly = true;
        menu.items[4].readOnly = true;
        menu.items[5].readOnly = true;
    }
    MenuChoice tap(int code)
    {
        keys.pressed[code] = true;
        input.update(true);
        menu.handle(input);
        keys.pressed[code] = false;
        input.update(true);
        return menu.handle(input);
    }

    testkit::FakeInputDevice keys;
    MenuInput input;
    Menu menu;
};

TEST_F(MenuKeys, UpAndDownPassOverLinesToReadAndDimmedOnesAndWrapAround)
{
    menu.highlight(0);
    ASSERT_EQ(menu.highlighted, 0);
    tap(GLFW_KEY_DOWN);
    EXPECT_EQ(menu.highlighted, 3) << "past LANGUAGE (read only) and WATCH (dimmed)";
    tap(GLFW_KEY_DOWN);
    EXPECT_EQ(menu.highlighted, 6) << "past the rows of the table";
    tap(GLFW_KEY_DOWN);
    EXPECT_EQ(menu.highlighted, 0) << "round to the top";
    tap(GLFW_KEY_UP);
    EXPECT_EQ(menu.highlighted, 6);
    tap(GLFW_KEY_UP);
    EXPECT_EQ(menu.highlighted, 3);
    menu.highlight(4);
    EXPECT_EQ(menu.highlighted, 6) << "the first line that can be chosen at or after the one asked for";
}

TEST_F(MenuKeys, EnterChoosesTheHighlightedItemAndTheOtherKeysSayWhatTheyAsk)
{
    menu.highlight(3);
    MenuChoice choice = tap(GLFW_KEY_ENTER);
    EXPECT_EQ(choice.kind, MenuChoice::Kind::Chosen);
    EXPECT_EQ(choice.item, 3);
    choice = tap(GLFW_KEY_RIGHT);
    EXPECT_EQ(choice.kind, MenuChoice::Kind::Right);
    EXPECT_EQ(choice.item, 3);
    EXPECT_EQ(tap(GLFW_KEY_LEFT).kind, MenuChoice::Kind::Left);
    EXPECT_EQ(tap(GLFW_KEY_ESCAPE).kind, MenuChoice::Kind::Back);
    EXPECT_EQ(tap(GLFW_KEY_P).kind, MenuChoice::Kind::Resume);
    // A line to read is never chosen, even when it holds the highlight.
    menu.highlighted = 1;
    EXPECT_EQ(tap(GLFW_KEY_ENTER).kind, MenuChoice::Kind::None);
    // Nothing happens while a key is only held.
    keys.pressed[GLFW_KEY_DOWN] = true;
    input.update(true);
    EXPECT_EQ(menu.handle(input).kind, MenuChoice::Kind::None);
    EXPECT_EQ(menu.highlighted, 1);
}

} // namespace
