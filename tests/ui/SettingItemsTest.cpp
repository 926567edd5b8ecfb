#include "files/Config.h"
#include "ui/SettingItems.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

const SettingItem& item(const char* label)
{
    const SettingItem* found = findSettingItem(label);
    if (!found)
        throw std::runtime_error(std::string("no item ") + label);
    return *found;
}

TEST(SettingItemsTest, EveryItemChangesARealSettingWhoseDefaultLiesOnItsGrid)
{
    // An item naming no setting would change nothing; a default off the grid would jump at the
    // first press and could never be stepped back to.
    ASSERT_EQ(settingItems().size(), 11u);
    for (const SettingItem& i : settingItems()) {
        const Setting* setting = findSetting(i.key);
        ASSERT_NE(setting, nullptr) << i.label;
        if (i.style == ValueStyle::WindowSize)
            continue;
        // The render scale's default, 0 (automatic), is shown at the lowest step.
        *setting->value = setting->defaultValue;
        const float shown = itemValue(i);
        EXPECT_EQ(stepValue(i, shown, 0), shown) << i.label;
        EXPECT_GE(shown, i.minimum) << i.label;
        EXPECT_LE(shown, i.maximum) << i.label;
    }
}

TEST(SettingItemsTest, StepsStayOnTheGridAndWithinTheRange)
{
    const SettingItem& volume = item("SOUND VOLUME");
    EXPECT_EQ(stepValue(volume, 0.8f, 1), 0.9f);
    EXPECT_EQ(stepValue(volume, 0.9f, 1), 1.0f);
    EXPECT_EQ(stepValue(volume, 1.0f, 1), 1.0f);
    EXPECT_EQ(stepValue(volume, 0.1f, -1), 0.0f);
    EXPECT_EQ(stepValue(volume, 0.0f, -1), 0.0f);
    // Ten presses down from the top are silence, whatever float noise the steps carry.
    float value = 1.0f;
    for (int i = 0; i < 10; ++i)
        value = stepValue(volume, value, -1);
    EXPECT_EQ(value, 0.0f);

    // A value written by hand between two points goes to the neighbour in that direction; one
    // out of range comes back into it.
    EXPECT_EQ(stepValue(volume, 0.85f, 1), 0.9f);
    EXPECT_EQ(stepValue(volume, 0.85f, -1), 0.8f);
    EXPECT_EQ(stepValue(volume, 3.0f, -1), 0.9f);
    const SettingItem& fov = item("FIELD OF VIEW");
    EXPECT_EQ(stepValue(fov, 60.0f, 1), 65.0f);
    EXPECT_EQ(stepValue(fov, 0.0f, 1), 45.0f);
    EXPECT_EQ(stepValue(fov, 500.0f, 1), 110.0f);
    const SettingItem& sensitivity = item("MOUSE SENSITIVITY");
    EXPECT_EQ(stepValue(sensitivity, 0.08f, 1), 0.1f);
    EXPECT_EQ(stepValue(sensitivity, 0.28f, 1), 0.3f);
    EXPECT_EQ(stepValue(item("INVERT MOUSE"), 0.0f, 1), 1.0f);
    EXPECT_EQ(stepValue(item("INVERT MOUSE"), 1.0f, 1), 1.0f);

    difficulty = 0.5f;
    setItemValue(item("DIFFICULTY"), 7.0f);
    EXPECT_EQ(difficulty, 1.0f);
    resetSettings();
}

TEST(SettingItemsTest, ValuesAreShownAsThePlayerThinksOfThem)
{
    EXPECT_EQ(valueText(item("MUSIC VOLUME"), 0.8f), "80 %");
    EXPECT_EQ(valueText(item("MUSIC VOLUME"), 0.7f), "70 %") << "0.7f is a hair below 0.7";
    EXPECT_EQ(valueText(item("FULL SCREEN"), 0.0f), "OFF");
    EXPECT_EQ(valueText(item("VERTICAL SYNC"), 1.0f), "ON");
    EXPECT_EQ(valueText(item("FIELD OF VIEW"), 60.0f), "60");
    EXPECT_EQ(valueText(item("DIFFICULTY"), 0.5f), "0.5");
    EXPECT_EQ(valueText(item("MOUSE SENSITIVITY"), 0.08f), "0.08");
    EXPECT_EQ(sizeText({1000, 750}), "1000 X 750");
    EXPECT_EQ(valueText(item("QUALITY"), 0.4f), "AUTO");
    EXPECT_EQ(valueText(item("QUALITY"), 0.7f), "70 %");
}

TEST(SettingItemsTest, TheLowestQualityStepIsTheAutomaticScaleAndIsStoredAsZero)
{
    const SettingItem& quality = item("QUALITY");
    setItemValue(quality, 0.6f);
    EXPECT_FLOAT_EQ(render_scale, 0.6f);
    setItemValue(quality, stepValue(quality, stepValue(quality, itemValue(quality), -1), -1));
    EXPECT_EQ(render_scale, 0.0f) << "below 50 % is the automatic choice, which config.txt writes as 0";
    EXPECT_EQ(valueText(quality, itemValue(quality)), "AUTO");
    setItemValue(quality, stepValue(quality, itemValue(quality), 1));
    EXPECT_FLOAT_EQ(render_scale, 0.5f);
    resetSettings();
}

TEST(SettingItemsTest, WindowSizesFitTheMonitorAndStepThroughTheList)
{
    const std::vector<WindowSize> fullHd = windowSizes(1920, 1080);
    ASSERT_FALSE(fullHd.empty());
    EXPECT_EQ(fullHd.front(), (WindowSize{640, 480}));
    EXPECT_EQ(fullHd.back(), (WindowSize{1920, 1080}));
    for (WindowSize size : fullHd) {
        EXPECT_LE(size.width, 1920);
        EXPECT_LE(size.height, 1080);
    }
    EXPECT_NE(std::find(fullHd.begin(), fullHd.end(), WindowSize{1000, 750}), fullHd.end()) << "the default";
    EXPECT_EQ(windowSizes(1280, 1024).back(), (WindowSize{1280, 960}));
    // A tiny or unknown monitor still offers one size.
    EXPECT_EQ(windowSizes(0, 0), (std::vector<WindowSize>{{640, 480}}));

    EXPECT_EQ(stepWindowSize(fullHd, {1000, 750}, 1), (WindowSize{1024, 768}));
    EXPECT_EQ(stepWindowSize(fullHd, {1000, 750}, -1), (WindowSize{800, 600}));
    EXPECT_EQ(stepWindowSize(fullHd, {1920, 1080}, 1), (WindowSize{1920, 1080}));
    EXPECT_EQ(stepWindowSize(fullHd, {640, 480}, -1), (WindowSize{640, 480}));
    // A size of the player's own goes to its neighbours by area.
    EXPECT_EQ(stepWindowSize(fullHd, {1100, 800}, 1), (WindowSize{1280, 720}));
    EXPECT_EQ(stepWindowSize(fullHd, {1100, 800}, -1), (WindowSize{1024, 768}));
    EXPECT_EQ(stepWindowSize(fullHd, {5000, 3000}, 1), (WindowSize{1920, 1080}));
}

} // namespace
