#include "app/Menu.h"

#include "app/MenuInput.h"
#include "app/TextRenderer.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

namespace {

// The window height the menu's sizes are drawn for; other heights scale them.
constexpr float designHeight = 750.0f;
constexpr float glyphPixels = 48.0f;

float unitFor(int height)
{
    return std::clamp(static_cast<float>(height) / designHeight, 0.6f, 3.0f);
}

} // namespace

void Menu::highlight(int index)
{
    if (items.empty()) {
        highlighted = 0;
        return;
    }
    const int count = static_cast<int>(items.size());
    for (int i = 0; i < count; ++i) {
        const int candidate = (std::clamp(index, 0, count - 1) + i) % count;
        if (choosable(candidate)) {
            highlighted = candidate;
            return;
        }
    }
    highlighted = std::clamp(index, 0, count - 1);
}

bool Menu::choosable(int index) const
{
    const MenuItem& item = items[static_cast<std::size_t>(index)];
    return item.enabled && !item.readOnly;
}

void Menu::step(int direction)
{
    const int count = static_cast<int>(items.size());
    for (int i = 1; i <= count; ++i) {
        const int candidate = ((highlighted + direction * i) % count + count) % count;
        if (choosable(candidate)) {
            highlighted = candidate;
            return;
        }
    }
}

void Menu::stepGrid(int across, int downward)
{
    const int count = static_cast<int>(items.size());
    const int cols = std::max(1, columns);
    const int rowCount = (count + cols - 1) / cols;
    const int row = highlighted / cols;
    const int col = highlighted % cols;
    if (across != 0) {
        const int inRow = std::min(cols, count - row * cols);
        for (int i = 1; i < inRow; ++i) {
            const int candidate = row * cols + ((col + across * i) % inRow + inRow) % inRow;
            if (choosable(candidate)) {
                highlighted = candidate;
                return;
            }
        }
        return;
    }
    // The same column in the next row that has a choosable item there.
    for (int i = 1; i < rowCount; ++i) {
        const int candidate = (((row + downward * i) % rowCount + rowCount) % rowCount) * cols + col;
        if (candidate < count && choosable(candidate)) {
            highlighted = candidate;
            return;
        }
    }
}

int Menu::itemAt(double x, double y) const
{
    for (std::size_t i = 0; i < rows.size() && i < items.size(); ++i) {
        const Row& r = rows[i];
        if (x >= r.left && x <= r.right && y >= r.top && y <= r.bottom)
            return static_cast<int>(i);
    }
    return -1;
}

float Menu::barFraction(int item, double x) const
{
    const Row& r = rows[static_cast<std::size_t>(item)];
    if (r.barRight <= r.barLeft)
        return -1.0f;
    return std::clamp(static_cast<float>((x - r.barLeft) / (r.barRight - r.barLeft)), 0.0f, 1.0f);
}

MenuChoice Menu::handle(const MenuInput& input, bool flightKeys)
{
    MenuChoice choice;
    if (items.empty())
        return choice;
    highlighted = std::clamp(highlighted, 0, static_cast<int>(items.size()) - 1);

    // The mouse: the item under the cursor takes the highlight; a click chooses the item it
    // started and ended on, and a press on a bar sets the value where it points.
    const int under = itemAt(input.cursorX, input.cursorY);
    if (input.cursorMoved && under >= 0 && choosable(under))
        highlighted = under;
    if (input.clickStarted) {
        clickItem = under;
        dragging = under >= 0 && choosable(under) &&
                   items[static_cast<std::size_t>(under)].slider && barFraction(under, input.cursorX) >= 0.0f &&
                   input.cursorX >= rows[static_cast<std::size_t>(under)].barLeft - 4.0;
        if (dragging) {
            highlighted = under;
            return {MenuChoice::Kind::SetFraction, under, barFraction(under, input.cursorX)};
        }
    }
    if (dragging) {
        if (input.clickEnded)
            dragging = false;
        else if (input.cursorMoved)
            return {MenuChoice::Kind::SetFraction, clickItem, barFraction(clickItem, input.cursorX)};
        return choice;
    }
    if (input.clickEnded) {
        const int started = clickItem;
        clickItem = -1;
        if (started >= 0 && started == under && choosable(under)) {
            highlighted = under;
            return {MenuChoice::Kind::Chosen, under, 0.0f};
        }
    }

    const bool up = flightKeys ? input.up()
                               : input.released(GLFW_KEY_UP) || input.padReleased(GLFW_GAMEPAD_BUTTON_DPAD_UP);
    const bool down = flightKeys ? input.down()
                                 : input.released(GLFW_KEY_DOWN) || input.padReleased(GLFW_GAMEPAD_BUTTON_DPAD_DOWN);
    const bool left = flightKeys ? input.left()
                                 : input.released(GLFW_KEY_LEFT) || input.padReleased(GLFW_GAMEPAD_BUTTON_DPAD_LEFT);
    const bool right = flightKeys ? input.right()
                                  : input.released(GLFW_KEY_RIGHT) || input.padReleased(GLFW_GAMEPAD_BUTTON_DPAD_RIGHT);
    if (columns > 1) {
        if (up || down)
            stepGrid(0, up ? -1 : 1);
        else if (left || right)
            stepGrid(left ? -1 : 1, 0);
    } else {
        if (up)
            step(-1);
        if (down)
            step(1);
        if (flightKeys && left)
            return {MenuChoice::Kind::Left, highlighted, 0.0f};
        if (flightKeys && right)
            return {MenuChoice::Kind::Right, highlighted, 0.0f};
    }
    if (flightKeys && input.choose() && choosable(highlighted))
        return {MenuChoice::Kind::Chosen, highlighted, 0.0f};
    if (flightKeys && input.back())
        return {MenuChoice::Kind::Back, highlighted, 0.0f};
    if (flightKeys && input.resume())
        return {MenuChoice::Kind::Resume, highlighted, 0.0f};
    return choice;
}

void Menu::draw(TextRenderer& text, int windowWidth, int windowHeight, float top, float floor)
{
    const float W = static_cast<float>(windowWidth);
    const float H = static_cast<float>(windowHeight);
    const float ceiling = top > 0.0f ? std::min(top, H) : H;
    floor = std::clamp(floor, 0.0f, ceiling * 0.5f);
    // Sized from the window's height, and smaller still where the room between the floor and the
    // ceiling (or the width) is too small for the menu at that size.
    float unit = unitFor(windowHeight);
    Layout layout = measure(text, unit);
    widestContent = std::max(widestContent, (layout.width - 2.0f * layout.pad) / unit);
    const float fit = std::min({1.0f, (ceiling - floor) / layout.height, W / layout.width});
    if (fit < 1.0f) {
        unit *= fit * 0.98f;
        layout = measure(text, unit);
    }
    const float itemScale = layout.itemScale;
    const float titleScale = layout.titleScale;
    const float noteScale = layout.noteScale;
    const float pad = layout.pad;
    const float gap = layout.gap;
    const float barWidth = layout.barWidth;

    // Centred in the room there is, never below the window's foot.
    const float panelTop =
        std::max(floor + layout.height, ceiling - std::max(0.0f, (ceiling - floor - layout.height) / 2.0f));
    const float panelLeft = std::floor((W - layout.width) / 2.0f);
    const float centreX = static_cast<float>(windowWidth / 2);

    text.drawRect(panelLeft, panelTop - layout.height, layout.width, layout.height, menuColors::panel,
                  menuColors::panelOpacity);

    float y = panelTop - pad;
    if (!title.empty()) {
        const float ascent = glyphPixels * titleScale * 0.8f;
        // A dark copy just below and right keeps the title readable over bright grass.
        text.drawCentred(title, centreX + 2.0f, y - ascent - 2.0f, titleScale, menuColors::panel);
        text.drawCentred(title, centreX, y - ascent, titleScale, menuColors::text);
        y -= layout.titleLine + pad * 0.5f;
    }
    for (const std::string& note : notes) {
        y -= layout.noteLine;
        text.drawCentred(note, centreX, y + layout.noteLine * 0.3f, noteScale, menuColors::text);
    }
    if (!notes.empty())
        y -= pad * 0.5f;

    rows.assign(items.size(), Row{});
    const float left = panelLeft + pad;
    const float right = panelLeft + layout.width - pad;
    const int cols = std::max(1, columns);
    const float cellWidth = (layout.width - 2.0f * pad) / static_cast<float>(cols);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        const int col = static_cast<int>(i) % cols;
        if (col == 0 && i > 0)
            y -= layout.itemLine;
        const float baseline = y - layout.itemLine * 0.72f;
        const bool chosen = static_cast<int>(i) == highlighted && choosable(static_cast<int>(i));
        const glm::vec3 color = !item.enabled              ? menuColors::dimmed
                                : chosen || item.marked ? menuColors::highlight
                                                        : menuColors::text;
        Row& row = rows[i];
        row.top = H - y;
        row.bottom = H - (y - layout.itemLine);
        row.left = cols > 1 ? left + cellWidth * static_cast<float>(col) : panelLeft;
        row.right = cols > 1 ? row.left + cellWidth : panelLeft + layout.width;
        // The chosen line also stands on a faint bar, so it is told from a marked one.
        if (chosen)
            text.drawRect(row.left + pad * 0.25f, H - row.bottom, row.right - row.left - pad * 0.5f, layout.itemLine,
                          menuColors::text, 0.12f);
        if (!item.cells.empty()) {
            float x = left;
            for (std::size_t c = 0; c < item.cells.size(); ++c) {
                text.draw(item.cells[c], x, baseline, itemScale, color);
                x += layout.cellWidths[c] + gap;
            }
        } else if (twoColumns && !item.value.empty()) {
            text.draw(item.label, left, baseline, itemScale, color);
            const float valueLeft = right - text.width(item.value, itemScale);
            text.draw(item.value, valueLeft, baseline, itemScale, color);
            if (item.slider) {
                const float barLeft = left + layout.labelWidth + gap;
                const float barRight = barLeft + barWidth;
                const float barHeight = std::max(2.0f, 6.0f * unit);
                const float barY = baseline + glyphPixels * itemScale * 0.3f - barHeight / 2.0f;
                text.drawRect(barLeft, barY, barWidth, barHeight, menuColors::dimmed, 0.9f);
                text.drawRect(barLeft, barY, barWidth * std::clamp(item.fraction, 0.0f, 1.0f), barHeight, color, 1.0f);
                row.barLeft = barLeft;
                row.barRight = barRight;
            }
        } else {
            text.drawCentred(item.label, (row.left + row.right) / 2.0f, baseline, itemScale, color);
        }
    }
    if (!items.empty())
        y -= layout.itemLine;
    if (!message.empty())
        text.drawCentred(message, centreX, y - layout.noteLine, noteScale * 1.2f, menuColors::highlight);
}

Menu::Layout Menu::measure(const TextRenderer& text, float unit) const
{
    Layout layout;
    layout.itemScale = 0.6f * unit * itemSize;
    layout.titleScale = 1.6f * unit;
    layout.noteScale = 0.38f * unit;
    layout.pad = 24.0f * unit;
    layout.gap = 28.0f * unit;
    layout.barWidth = 180.0f * unit;
    layout.itemLine = glyphPixels * layout.itemScale * 1.5f;
    layout.noteLine = glyphPixels * layout.noteScale * 1.5f;
    layout.titleLine = glyphPixels * layout.titleScale * 1.2f;

    float& labelWidth = layout.labelWidth;
    bool anySlider = false;
    for (const MenuItem& item : items) {
        if (layout.cellWidths.size() < item.cells.size())
            layout.cellWidths.resize(item.cells.size());
        for (std::size_t c = 0; c < item.cells.size(); ++c)
            layout.cellWidths[c] = std::max(layout.cellWidths[c], text.width(item.cells[c], layout.itemScale));
        labelWidth = std::max(labelWidth, text.width(item.label, layout.itemScale));
        layout.valueWidth = std::max(layout.valueWidth, text.width(item.value, layout.itemScale));
        anySlider = anySlider || item.slider;
    }
    const int cols = std::max(1, columns);
    const float sliderWidth = anySlider ? layout.barWidth + layout.gap : 0.0f;
    float contentWidth = twoColumns ? labelWidth + layout.gap + sliderWidth + layout.valueWidth
                                    : (labelWidth + (cols > 1 ? layout.gap : 0.0f)) * static_cast<float>(cols);
    float tableWidth = 0.0f;
    for (std::size_t c = 0; c < layout.cellWidths.size(); ++c)
        tableWidth += layout.cellWidths[c] + (c > 0 ? layout.gap : 0.0f);
    contentWidth = std::max({contentWidth, tableWidth, text.width(title, layout.titleScale)});
    for (const std::string& note : notes)
        contentWidth = std::max(contentWidth, text.width(note, layout.noteScale));
    contentWidth = std::max(contentWidth, text.width(message, layout.noteScale * 1.2f));
    layout.width = std::max(contentWidth, widestContent * unit) + 2.0f * layout.pad;

    const std::size_t itemRows = (items.size() + static_cast<std::size_t>(cols) - 1) / static_cast<std::size_t>(cols);
    layout.height = layout.pad + (title.empty() ? 0.0f : layout.titleLine + layout.pad * 0.5f) +
                    static_cast<float>(notes.size()) * layout.noteLine + (notes.empty() ? 0.0f : layout.pad * 0.5f) +
                    static_cast<float>(itemRows) * layout.itemLine + (message.empty() ? 0.0f : layout.noteLine * 1.3f) +
                    layout.pad;
    return layout;
}
