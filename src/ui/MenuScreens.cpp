#include "ui/MenuScreens.h"

#include "app/Game.h"
#include "audio/GameSound.h"
#include "files/BestResults.h"
#include "files/Config.h"
#include "files/Files.h"
#include "files/PlayerName.h"
#include "files/Translation.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "scene/Camera.h"
#include "text/Utf8.h"
#include "ui/HelpScreen.h"
#include "ui/RunTexts.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdio>
#include <memory>

void MenuScreen::update(Game& game, double)
{
    const MenuChoice choice = menu.handle(game.menuInput);
    if (choice.kind == MenuChoice::Kind::Back) {
        goBack(game);
        return;
    }
    if (choice.kind != MenuChoice::Kind::None)
        act(game, choice);
}

void MenuScreen::goBack(Game& game)
{
    game.screens.pop();
}

bool MenuScreen::saveOrSay(const std::vector<ConfigEntry>& entries)
{
    std::string message;
    if (savePlayerConfig(entries, message))
        return true;
    // What was changed still applies for this session; the player is told once, here, and
    // leaving again goes without saving.
    saveFailed = true;
    menu.message = upperCase(formatText(_("NOT SAVED: %s (BACK AGAIN TO LEAVE)"), message.c_str()));
    return false;
}

void layoutMenu(ui::Page& page, Menu& menu)
{
    page.dimWorld(menuColors::worldDimming);
    menu.layout(page, page.room());
}

void MenuScreen::layout(Game&, ui::Page& page)
{
    layoutMenu(page, menu);
}

void BestRunsScreen::enter(Game& game)
{
    menu.title = _("BEST RUNS");
    menu.items.clear();
    menu.notes.clear();
    const std::vector<BestRun> none;
    const std::vector<BestRun>& runs = game.records ? game.records->runs() : none;
    const std::optional<std::size_t> newest = game.records ? game.records->newest() : std::nullopt;
    if (!runs.empty()) {
        // TRANSLATORS: the best runs' column headers, over the place, the level, the seconds flown,
        // the player's name and when the run ended.
        MenuItem heading;
        heading.cells = {"", _("LEVEL"), _("TIME"), _("NAME"), _("ENDED"), ""};
        heading.readOnly = true;
        menu.items.push_back(heading);
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        MenuItem row;
        row.cells = bestRunCells(i + 1, runs[i]);
        row.readOnly = true;
        row.marked = newest && *newest == i;
        menu.items.push_back(row);
    }
    if (runs.empty())
        menu.notes = {_("NO RUN HAS ENDED YET")};
    menu.items.emplace_back(_("BACK"));
    menu.highlight(static_cast<int>(menu.items.size()) - 1);
}

void BestRunsScreen::act(Game& game, const MenuChoice& choice)
{
    if (choice.kind == MenuChoice::Kind::Chosen && choice.item == static_cast<int>(menu.items.size()) - 1)
        goBack(game);
}

void openMenuScreen(Game& game, MenuScreenKind kind)
{
    switch (kind) {
    case MenuScreenKind::Settings:
        game.screens.push(std::make_unique<SettingsScreen>());
        break;
    case MenuScreenKind::Controls:
        game.screens.push(std::make_unique<ControlsScreen>());
        break;
    case MenuScreenKind::BestRuns:
        game.screens.push(std::make_unique<BestRunsScreen>());
        break;
    case MenuScreenKind::Help:
        game.screens.push(std::make_unique<HelpScreen>());
        break;
    }
}

namespace {

// The settings screen's items follow the settings table, then these two.
constexpr const char* resetLabel = N_("RESET TO DEFAULTS");
constexpr const char* backLabel = N_("BACK");

bool isRange(const SettingItem& item)
{
    return item.style == ValueStyle::Percent || item.style == ValueStyle::Whole || item.style == ValueStyle::Decimal ||
           item.style == ValueStyle::Scale;
}

WindowSize monitorSize()
{
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    return mode ? WindowSize{mode->width, mode->height} : WindowSize{};
}

// The value the game plays by now: difficulty waits for the next run, the frame-rate line is the input's.
float shownValue(const Game& game, const SettingItem& item)
{
    const std::string key = item.key;
    if (key == "difficulty" && game.pendingDifficulty)
        return *game.pendingDifficulty;
    if (key == "fullscreen")
        return game.fullscreenWindow ? 1.0f : 0.0f;
    if (key == "show_frame_rate" && game.playerInput())
        return game.playerInput()->showFps ? 1.0f : 0.0f;
    return itemValue(item);
}

} // namespace

void SettingsScreen::enter(Game& game)
{
    if (menu.items.empty()) {
        menu.twoColumns = true;
        chosenSize = {game.windowedWidth, game.windowedHeight};
        languages = availableLanguages();
        languages.insert(languages.begin(), std::string());
    }
    refresh(game);
}

void SettingsScreen::leave(Game& game)
{
    game.typing = false;
}

void SettingsScreen::refresh(Game& game)
{
    const std::vector<SettingItem>& table = settingItems();
    menu.title = _("SETTINGS");
    menu.items.resize(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const SettingItem& item = table[i];
        MenuItem& line = menu.items[i];
        line.label = _(item.label);
        if (item.style == ValueStyle::WindowSize) {
            line.value = sizeText(chosenSize);
            // A full-screen window fills the monitor: the size is for the window it goes back to.
            line.enabled = true;
            continue;
        }
        const float value = shownValue(game, item);
        line.value = valueText(item, value);
        line.slider = isRange(item);
        line.fraction = item.maximum > item.minimum ? (value - item.minimum) / (item.maximum - item.minimum) : 0.0f;
    }
    languageItem = table.size();
    nameItem = table.size() + 1;
    resetItem = table.size() + 2;
    backItem = table.size() + 3;
    const bool ownLanguage = !language.empty() && std::find(languages.begin(), languages.end(), language) != languages.end();
    menu.items.emplace_back(_("LANGUAGE"), ownLanguage ? languageName(language) : std::string(_("SYSTEM")));
    // The name being typed shows where the next letter goes.
    menu.items.emplace_back(_("NAME"), nameDraft ? *nameDraft + "_" : currentPlayerName());
    menu.items.emplace_back(_(resetLabel));
    menu.items.emplace_back(_(backLabel));
    if (menu.message.empty() && game.pendingDifficulty)
        menu.message = _("THE NEW DIFFICULTY COUNTS FROM THE NEXT RUN");
}

void SettingsScreen::change(Game& game, std::size_t index, float value)
{
    const SettingItem& item = settingItems()[index];
    const std::string key = item.key;
    const float before = shownValue(game, item);
    if (key == "difficulty") {
        // A run is played by the rules it started with: the new difficulty waits for the next one.
        const float stepped = std::clamp(value, item.minimum, item.maximum);
        if (stepped == difficulty)
            game.pendingDifficulty.reset();
        else
            game.pendingDifficulty = stepped;
        menu.message = _("THE NEW DIFFICULTY COUNTS FROM THE NEXT RUN");
    } else if (key == "fullscreen") {
        if ((value != 0.0f) != game.fullscreenWindow)
            game.toggleFullscreen();
        fullscreen = game.fullscreenWindow ? 1.0f : 0.0f;
    } else {
        setItemValue(item, value);
        if (key == "fov" && game.world())
            game.world()->player->camera->rebuildProjection();
        else if (key == "vsync")
            applyVerticalSync();
        else if (key == "show_frame_rate" && game.playerInput())
            game.playerInput()->showFps = show_frame_rate != 0.0f;
        else if (key == "sound_volume" && game.sound)
            game.sound->preview();
    }
    if (shownValue(game, item) != before && std::find(changedKeys.begin(), changedKeys.end(), key) == changedKeys.end())
        changedKeys.push_back(key);
    refresh(game);
}

void SettingsScreen::changeWindowSize(Game& game, WindowSize size)
{
    if (size == chosenSize)
        return;
    chosenSize = size;
    windowSizeChanged = true;
    game.setWindowSize(size.width, size.height);
    refresh(game);
}

void SettingsScreen::noteChanged(const std::string& key)
{
    if (std::find(changedKeys.begin(), changedKeys.end(), key) == changedKeys.end())
        changedKeys.push_back(key);
}

void SettingsScreen::changeLanguage(Game& game, int direction)
{
    const auto here = std::find(languages.begin(), languages.end(), language);
    const long index = here == languages.end() ? 0 : here - languages.begin();
    const long next = std::clamp<long>(index + direction, 0, static_cast<long>(languages.size()) - 1);
    if (next == index && here != languages.end())
        return;
    language = useLanguage(languages[static_cast<std::size_t>(next)]);
    noteChanged("language");
    // Whatever the screen said was said in the language before.
    menu.message.clear();
    refresh(game);
}

void SettingsScreen::update(Game& game, double frameTime)
{
    game.typing = nameDraft.has_value();
    if (!nameDraft) {
        MenuScreen::update(game, frameTime);
        return;
    }
    editName(game);
}

void SettingsScreen::editName(Game& game)
{
    // While the name is typed, the keys type: only Backspace, Enter and Escape do something else.
    const MenuInput& input = game.menuInput;
    if (input.released(GLFW_KEY_ESCAPE)) {
        nameDraft.reset();
    } else if (input.released(GLFW_KEY_ENTER) || input.released(GLFW_KEY_KP_ENTER)) {
        // An empty name goes back to the account's.
        const std::string name = cleanPlayerName(*nameDraft);
        nameDraft.reset();
        if (name != currentPlayerName()) {
            player_name = name;
            noteChanged("player_name");
        }
    } else if (input.released(GLFW_KEY_BACKSPACE)) {
        std::u32string characters = decodeUtf8(*nameDraft);
        if (!characters.empty())
            characters.pop_back();
        nameDraft = encodeUtf8(characters);
    } else {
        nameDraft = nameAsTyped(*nameDraft + game.typedText);
    }
    game.typing = nameDraft.has_value();
    if (!nameDraft) {
        menu.message.clear();
        game.menuInput.resync(game.focused);
    }
    refresh(game);
}

void SettingsScreen::resetToDefaults(Game& game)
{
    const std::vector<SettingItem>& table = settingItems();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const SettingItem& item = table[i];
        const Setting* setting = findSetting(item.key);
        if (item.style == ValueStyle::WindowSize) {
            changeWindowSize(game, {static_cast<int>(findSetting("window_width")->defaultValue),
                                    static_cast<int>(findSetting("window_height")->defaultValue)});
        } else if (setting) {
            change(game, i, setting->defaultValue);
        }
    }
    // The name is the player's own, not a setting to restore; the language is.
    if (!language.empty())
        changeLanguage(game, -static_cast<int>(languages.size()));
    menu.message = _("DEFAULTS RESTORED");
}

void SettingsScreen::act(Game& game, const MenuChoice& choice)
{
    const std::vector<SettingItem>& table = settingItems();
    const auto index = static_cast<std::size_t>(choice.item);
    if (choice.kind == MenuChoice::Kind::Chosen && index == backItem) {
        goBack(game);
        return;
    }
    if (choice.kind == MenuChoice::Kind::Chosen && index == resetItem) {
        resetToDefaults(game);
        return;
    }
    if (index == languageItem && (choice.kind == MenuChoice::Kind::Left || choice.kind == MenuChoice::Kind::Right)) {
        changeLanguage(game, choice.kind == MenuChoice::Kind::Left ? -1 : 1);
        return;
    }
    if (index == nameItem && choice.kind == MenuChoice::Kind::Chosen) {
        nameDraft = currentPlayerName();
        game.typing = true;
        game.typedText.clear();
        menu.message = _("TYPE YOUR NAME: ENTER KEEPS IT, ESCAPE CANCELS");
        refresh(game);
        return;
    }
    if (index >= table.size())
        return;
    const SettingItem& item = table[index];
    int direction = 0;
    if (choice.kind == MenuChoice::Kind::Left)
        direction = -1;
    else if (choice.kind == MenuChoice::Kind::Right)
        direction = 1;
    else if (choice.kind == MenuChoice::Kind::Chosen && item.style == ValueStyle::OnOff)
        direction = shownValue(game, item) != 0.0f ? -1 : 1;
    if (item.style == ValueStyle::WindowSize) {
        const WindowSize monitor = monitorSize();
        if (direction != 0)
            changeWindowSize(game, stepWindowSize(windowSizes(monitor.width, monitor.height), chosenSize, direction));
        return;
    }
    if (choice.kind == MenuChoice::Kind::SetFraction && isRange(item)) {
        // The bar snaps to the item's steps.
        const float raw = item.minimum + choice.fraction * (item.maximum - item.minimum);
        const float snapped = item.minimum + std::round((raw - item.minimum) / item.step) * item.step;
        change(game, index, stepValue(item, stepValue(item, snapped, 1), -1));
        return;
    }
    if (direction != 0)
        change(game, index, stepValue(item, shownValue(game, item), direction));
}

void SettingsScreen::goBack(Game& game)
{
    if (!saveFailed && (!changedKeys.empty() || windowSizeChanged)) {
        std::vector<ConfigEntry> entries;
        for (const std::string& key : changedKeys) {
            // The file keeps the difficulty chosen for the next run.
            if (key == "difficulty" && game.pendingDifficulty)
                entries.push_back({key, settingText(*game.pendingDifficulty)});
            else
                entries.push_back(*currentEntry(key));
        }
        if (windowSizeChanged) {
            entries.push_back({"window_width", std::to_string(chosenSize.width)});
            entries.push_back({"window_height", std::to_string(chosenSize.height)});
        }
        if (!saveOrSay(entries))
            return;
    }
    game.screens.pop();
}

void ControlsScreen::enter(Game& game)
{
    if (!entered) {
        entered = true;
        before = playerControls();
        bindings = before;
        menu.twoColumns = true;
    }
    (void)game;
    refresh();
}

void ControlsScreen::refresh()
{
    menu.title = _("CONTROLS");
    // The line under the keys always says something, so the rows stand still as it changes.
    if (menu.message.empty())
        menu.message = _("CHOOSE AN ACTION, THEN PRESS ITS NEW KEY");
    menu.items.clear();
    for (const ActionInfo& info : actionTable()) {
        std::string value = keyLabel(bindings.key(info.action));
        if (waiting && *waiting == info.action)
            value = _("PRESS A KEY");
        menu.items.emplace_back(_(info.label), value);
    }
    menu.items.emplace_back(_(resetLabel));
    menu.items.emplace_back(_(backLabel));
}

std::optional<int> ControlsScreen::keyDown(Game& game) const
{
    InputDevice* device = game.menuInput.source();
    if (!device || !game.focused)
        return std::nullopt;
    for (int code = GLFW_KEY_SPACE; code <= GLFW_KEY_LAST; ++code)
        if ((code == GLFW_KEY_ESCAPE || bindableKey(code) || (code >= GLFW_KEY_F1 && code <= GLFW_KEY_F25)) &&
            device->isPressed(code))
            return code;
    return std::nullopt;
}

void ControlsScreen::update(Game& game, double frameTime)
{
    if (!waiting) {
        MenuScreen::update(game, frameTime);
        return;
    }
    // Waiting for the new key: it is taken when let go, so it acts nowhere else.
    if (pressed == noKey) {
        if (const auto key = keyDown(game))
            pressed = *key;
        return;
    }
    InputDevice* device = game.menuInput.source();
    if (device && device->isPressed(pressed))
        return;
    const Action action = *waiting;
    const int key = pressed;
    waiting.reset();
    pressed = noKey;
    // The menu's own reading of the keys starts again from here.
    game.menuInput.resync(game.focused);
    if (key == GLFW_KEY_ESCAPE) {
        menu.message = _("NOTHING CHANGED");
    } else if (!bindableKey(key)) {
        menu.message = formatText(_("%s CANNOT BE BOUND"), keyLabel(key).c_str());
    } else {
        const Controls::Bound bound = bindings.bind(action, key);
        if (bound.swappedWith)
            // TRANSLATORS: a key was given to an action; the first %s is the key, the second the
            // action that had it before and now has the key the first action had.
            menu.message = formatText(_("%s WAS ON %s: SWAPPED"), keyLabel(key).c_str(),
                                      _(actionInfo(*bound.swappedWith).label));
        else
            menu.message = formatText(_("%s: %s"), _(actionInfo(action).label), keyLabel(key).c_str());
        playerControls() = bindings;
        if (game.playerInput())
            game.playerInput()->setControls(bindings);
    }
    refresh();
}

void ControlsScreen::act(Game& game, const MenuChoice& choice)
{
    if (choice.kind != MenuChoice::Kind::Chosen)
        return;
    const auto index = static_cast<std::size_t>(choice.item);
    if (index < actionCount) {
        waiting = static_cast<Action>(index);
        pressed = noKey;
        menu.message = _("ESCAPE CANCELS");
        refresh();
    } else if (index == actionCount) {
        bindings.reset();
        playerControls() = bindings;
        if (game.playerInput())
            game.playerInput()->setControls(bindings);
        menu.message = _("DEFAULTS RESTORED");
        refresh();
    } else {
        goBack(game);
    }
}

void ControlsScreen::goBack(Game& game)
{
    if (!saveFailed && bindings != before && !saveOrSay(bindingEntries(bindings)))
        return;
    game.screens.pop();
}
