#include "input/Controls.h"
#include "support/TestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

namespace {

TEST(ControlsTest, DefaultsAreTheKeysTheGameHasAlwaysHad)
{
    const Controls controls;
    EXPECT_EQ(controls.codes(), (std::vector<int>{GLFW_KEY_W, GLFW_KEY_S, GLFW_KEY_A, GLFW_KEY_D, GLFW_KEY_SPACE,
                                                  GLFW_KEY_LEFT_SHIFT, noKey, noKey, GLFW_KEY_P, GLFW_KEY_ENTER,
                                                  GLFW_KEY_M, noKey}));
    // The table is indexed by action: a row out of place would bind one action's key to another.
    for (std::size_t i = 0; i < actionCount; ++i)
        EXPECT_EQ(static_cast<std::size_t>(actionTable()[i].action), i);
}

TEST(ControlsTest, BindingATakenKeySwapsAndSaysWithWhich)
{
    Controls controls;
    const Controls::Bound bound = controls.bind(Action::Forward, GLFW_KEY_A);
    EXPECT_TRUE(bound.accepted);
    ASSERT_TRUE(bound.swappedWith.has_value());
    EXPECT_EQ(*bound.swappedWith, Action::Left);
    EXPECT_EQ(controls.key(Action::Forward), GLFW_KEY_A);
    EXPECT_EQ(controls.key(Action::Left), GLFW_KEY_W);

    // A free key swaps with nothing; binding an action's own key changes nothing.
    EXPECT_FALSE(controls.bind(Action::Up, GLFW_KEY_UP).swappedWith.has_value());
    EXPECT_EQ(controls.key(Action::Up), GLFW_KEY_UP);
    const Controls before = controls;
    EXPECT_FALSE(controls.bind(Action::Up, GLFW_KEY_UP).swappedWith.has_value());
    EXPECT_EQ(controls, before);

    // Taking the key of an action with none leaves the other without one.
    controls.bind(Action::CameraCloser, GLFW_KEY_Q);
    EXPECT_EQ(*controls.bind(Action::Mute, GLFW_KEY_Q).swappedWith, Action::CameraCloser);
    EXPECT_EQ(controls.key(Action::CameraCloser), GLFW_KEY_M);
    controls.bind(Action::CameraFarther, GLFW_KEY_E);
    EXPECT_EQ(*controls.bind(Action::Screenshot, GLFW_KEY_E).swappedWith, Action::CameraFarther);
    EXPECT_EQ(controls.key(Action::CameraFarther), noKey);

    controls.reset();
    EXPECT_EQ(controls, Controls());
}

TEST(ControlsTest, EscapeTheFKeysAndUnnamedCodesCannotBeBound)
{
    Controls controls;
    for (int key : {GLFW_KEY_ESCAPE, GLFW_KEY_F1, GLFW_KEY_F4, GLFW_KEY_F12, GLFW_KEY_F25, GLFW_KEY_UNKNOWN - 1,
                    GLFW_MOUSE_BUTTON_LEFT, 5000}) {
        const Controls::Bound bound = controls.bind(Action::Pause, key);
        EXPECT_FALSE(bound.accepted) << key;
        EXPECT_FALSE(bound.swappedWith.has_value()) << key;
        EXPECT_EQ(controls, Controls()) << key;
    }
    EXPECT_TRUE(controls.bind(Action::Pause, noKey).accepted);
    EXPECT_EQ(controls.key(Action::Pause), noKey);
}

TEST(ControlsTest, EveryNamedKeyReadsBackFromItsNameWhateverTheCaseAndSpaces)
{
    std::set<std::string> names;
    for (int key = 0; key <= GLFW_KEY_LAST; ++key) {
        const std::string name = keyName(key);
        if (name.empty())
            continue;
        EXPECT_TRUE(names.insert(name).second) << "two keys are called " << name;
        EXPECT_EQ(keyOfName(name), key) << name;
        // Config lines lose their spaces and a "//" starts a comment there.
        EXPECT_EQ(name.find("//"), std::string::npos);
        EXPECT_EQ(name.find('='), std::string::npos);
    }
    EXPECT_EQ(keyName(GLFW_KEY_W), "W");
    EXPECT_EQ(keyName(GLFW_KEY_LEFT_SHIFT), "LEFT SHIFT");
    EXPECT_EQ(keyName(GLFW_KEY_F12), "F12");
    EXPECT_EQ(keyOfName("leftshift"), GLFW_KEY_LEFT_SHIFT);
    EXPECT_EQ(keyOfName(" page  down "), GLFW_KEY_PAGE_DOWN);
    EXPECT_EQ(keyOfName("keypad5"), GLFW_KEY_KP_5);
    EXPECT_EQ(keyOfName("None"), noKey);
    for (const char* unknown : {"", "WW", "F26", "SHIFT", "MOUSE"})
        EXPECT_FALSE(keyOfName(unknown).has_value()) << unknown;
}

TEST(ControlsTest, BindingsTravelAsCodesAndRefuseWhatNoGameWrites)
{
    Controls controls;
    controls.bind(Action::Forward, GLFW_KEY_UP);
    controls.bind(Action::Screenshot, GLFW_KEY_PRINT_SCREEN);
    const std::optional<Controls> back = Controls::fromCodes(controls.codes());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, controls);

    std::vector<int> shortList = controls.codes();
    shortList.pop_back();
    EXPECT_FALSE(Controls::fromCodes(shortList).has_value());
    std::vector<int> twice = controls.codes();
    twice[0] = twice[1];
    EXPECT_FALSE(Controls::fromCodes(twice).has_value());
    std::vector<int> escape = controls.codes();
    escape[3] = GLFW_KEY_ESCAPE;
    EXPECT_FALSE(Controls::fromCodes(escape).has_value());
    // Any number of actions may have no key.
    std::vector<int> none(actionCount, noKey);
    EXPECT_TRUE(Controls::fromCodes(none).has_value());
}

TEST(ControlsTest, HelpTextFollowsTheBindings)
{
    Controls controls;
    const std::vector<std::string> defaults = controlsHelpLines(controls);
    EXPECT_EQ(defaults.front(), "W / RIGHT TRIGGER OR A: FLY FASTER");
    EXPECT_NE(std::find(defaults.begin(), defaults.end(), "MOUSE WHEEL UP / LEFT SHOULDER: CAMERA CLOSER, DOWN TO FIRST PERSON"),
              defaults.end());
    EXPECT_NE(std::find(defaults.begin(), defaults.end(), "ESCAPE: QUIT"), defaults.end());

    controls.bind(Action::Forward, GLFW_KEY_UP);
    controls.bind(Action::CameraCloser, GLFW_KEY_PAGE_UP);
    const std::vector<std::string> rebound = controlsHelpLines(controls);
    EXPECT_EQ(rebound.front(), "UP / RIGHT TRIGGER OR A: FLY FASTER");
    EXPECT_NE(std::find(rebound.begin(), rebound.end(),
                        "PAGE UP OR MOUSE WHEEL UP / LEFT SHOULDER: CAMERA CLOSER, DOWN TO FIRST PERSON"),
              rebound.end());
}

TEST(ControlsTest, TheReadmeTablesAreTheGeneratedOnes)
{
    // The README is written from the same table as the help, so the two cannot drift apart:
    // after changing the table, paste these into the README's Controls section.
    std::ifstream in(testkit::repositoryAssets().parent_path() / "README.md");
    const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(readme.empty());
    EXPECT_NE(readme.find(keyboardControlsMarkdown()), std::string::npos) << keyboardControlsMarkdown();
    EXPECT_NE(readme.find(gamepadControlsMarkdown()), std::string::npos) << gamepadControlsMarkdown();
}

} // namespace
