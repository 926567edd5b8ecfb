#pragma once

#include "ui/Layout.h"

#include <glm/glm.hpp>

#include <string>
#include <vector>

class MenuInput;
class TextRenderer;

// One line of a menu: a label, and for a setting its value (and a bar for a range).
struct MenuItem {
    MenuItem(std::string label = {}, std::string value = {}, bool enabled = true)
        : label(std::move(label))
        , value(std::move(value))
        , enabled(enabled)
    {
    }

    std::string label;
    std::string value;
    // Dimmed and passed over when false (a recording that is not there).
    bool enabled = true;
    // A line to read, not to choose (a row of the best runs): passed over, drawn plainly.
    bool readOnly = false;
    // Drawn in the highlight's colour although not chosen (the newest of the best runs).
    bool marked = false;
    // A range shown as a bar; `fraction` 0..1 is where the value stands in it.
    bool slider = false;
    float fraction = 0.0f;
    // A row of a table (the best runs): the cells stand in columns as wide as their widest cell,
    // in place of the label and the value.
    std::vector<std::string> cells;
};

// What the player did with a menu in one frame.
struct MenuChoice {
    enum class Kind {
        None,
        Chosen,   // Enter, Space, the pad's A, or a click on the item
        Left,     // Left / A / the pad left: the item's value one step down
        Right,    // one step up
        Back,     // Escape, Backspace, the pad's B
        Resume,   // P or the pad's Start
        SetFraction, // a click or drag on the item's bar, at `fraction`
    };
    Kind kind = Kind::None;
    int item = -1;
    float fraction = 0.0f;
};

// The game's menus: centred lines in the game's font on a dark panel, the highlighted one in the
// pollen yellow, sized by the window's layout factor and made smaller (down to the smallest
// capitals), then wrapped, where the room is too small. Driven by the keyboard, the mouse and the pad.
class Menu {
public:
    // Moves the highlight and reports a choice. `flightKeys` false leaves W, A, S, D and Space to
    // the creature (the game-over menu, under which the world goes on): only the arrows move, and
    // only a click chooses; which key chooses is then the screen's to say.
    MenuChoice handle(const MenuInput& input, bool flightKeys = true);
    // Lays the menu out in `room` of the page: its panel, its texts and the highlight, centred
    // in the room; the rows are kept for the mouse.
    void layout(ui::Page& page, const ui::Box& room);
    // The height the menu takes at its smallest in the page's window, `roomWidth` pixels wide.
    float smallestHeight(const ui::Page& page, float roomWidth) const;

    // The highlight on the first item that can be chosen at or after `index`.
    void highlight(int index);
    // The item under a window point (x right, y down, as the cursor), or -1.
    int itemAt(double x, double y) const;

    std::string title;
    // Lines of plain text between the title and the items (help, a notice).
    std::vector<std::string> notes;
    std::vector<MenuItem> items;
    // A line under the items: what just happened ("SAVED", "COULD NOT SAVE ...").
    std::string message;
    int highlighted = 0;
    // Settings menus show "LABEL ... VALUE" in two columns.
    bool twoColumns = false;
    // Items side by side, this many to a row (read in order, row by row).
    int columns = 1;
    // The items' text size against the menus' usual one.
    float itemSize = 1.0f;

private:
    // The sizes of one try at fitting the room, in pixels, with every text broken into its lines.
    struct Layout {
        float itemScale = 0.0f;
        float titleScale = 0.0f;
        float noteScale = 0.0f;
        float pad = 0.0f;
        float gap = 0.0f;
        float barWidth = 0.0f;
        float width = 0.0f;
        float height = 0.0f;
        float itemLine = 0.0f;
        float noteLine = 0.0f;
        float titleLine = 0.0f;
        float valueWidth = 0.0f;
        float labelWidth = 0.0f;
        std::vector<std::string> titleLines;
        std::vector<std::string> noteLines;
        std::vector<std::string> messageLines;
        std::vector<std::vector<std::string>> itemLines;
        std::vector<float> rowHeights;
        // The columns of the rows that are table rows.
        std::vector<float> cellWidths;
    };
    // The menu at `shrink` times its usual size (never under the smallest capitals) in a room that wide.
    Layout measure(const ui::Page& page, float shrink, float roomWidth) const;
    // The parts of measure: the title, notes and message; the items' size (and the room each
    // label has); a table's columns; the panel's width and height from what they hold.
    void measureTexts(const ui::Page& page, Layout& layout, float content) const;
    float itemScaleFor(const ui::Page& page, Layout& layout, float content, float& labelRoom) const;
    float tableWidth(const ui::Page& page, Layout& layout, float scale) const;
    void measureSize(const ui::Page& page, Layout& layout, float content, float table) const;
    bool anySlider() const;
    bool choosable(int index) const;
    // The layout at its usual size, or as much smaller as the room needs; never narrower than
    // it has been while up.
    Layout fitted(const ui::Page& page, const ui::Box& room);
    // Item `i`'s texts (its cells, its label and value, its bar) on the row that starts `y` down.
    void layoutItem(ui::Page& page, const Layout& layout, std::size_t i, float y, float left, float right,
                    glm::vec3 color);
    // The mouse's part of handle: `took` when it decided the frame (a click, a drag on a bar).
    MenuChoice handleMouse(const MenuInput& input, bool& took);
    void step(int direction);
    // Items side by side: the highlight moves as the grid is drawn, a row up or down, or along its row.
    void stepGrid(int across, int down);
    float barFraction(int item, double x) const;

    // The last layout, in window pixels from the top-left (the cursor's frame).
    struct Row {
        float top = 0.0f;
        float bottom = 0.0f;
        float left = 0.0f;
        float right = 0.0f;
        float barLeft = 0.0f;
        float barRight = 0.0f;
    };
    std::vector<Row> rows;
    // The item a click started on; a click chooses when it ends on the same one.
    int clickItem = -1;
    bool dragging = false;
    // The widest the content has been, in design pixels: the panel never narrows while the menu
    // is up, so its rows stay where they are as a value or the message line changes.
    float widestContent = 0.0f;
};

// The game's menu colours.
namespace menuColors {
constexpr glm::vec3 text(1.0f, 1.0f, 1.0f);
constexpr glm::vec3 highlight(1.0f, 0.85f, 0.1f); // the pollen's yellow
constexpr glm::vec3 dimmed(0.45f, 0.45f, 0.45f);
constexpr glm::vec3 panel(0.0f, 0.0f, 0.0f);
// Dark enough that no outline or bright leaf of the world crosses a letter.
constexpr float panelOpacity = 0.85f;
// The world under a menu, darkened.
constexpr float worldDimming = 0.45f;
} // namespace menuColors
