#include "ui/Menu.h"

#include "text/TextRenderer.h"
#include "ui/MenuInput.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

namespace {

// Each line's baseline sits this far into its line from the top.
float baselineIn(float line)
{
    return line * 0.72f;
}

constexpr float glyphPixels = 48.0f;

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

MenuChoice Menu::handleMouse(const MenuInput& input, bool& took)
{
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
            took = true;
            return {MenuChoice::Kind::SetFraction, under, barFraction(under, input.cursorX)};
        }
    }
    if (dragging) {
        // A drag on a bar takes the frame, whatever the keys say.
        took = true;
        if (input.clickEnded)
            dragging = false;
        else if (input.cursorMoved)
            return {MenuChoice::Kind::SetFraction, clickItem, barFraction(clickItem, input.cursorX)};
        return {};
    }
    if (input.clickEnded) {
        const int started = clickItem;
        clickItem = -1;
        if (started >= 0 && started == under && choosable(under)) {
            highlighted = under;
            took = true;
            return {MenuChoice::Kind::Chosen, under, 0.0f};
        }
    }
    return {};
}

MenuChoice Menu::handle(const MenuInput& input, bool flightKeys)
{
    MenuChoice choice;
    if (items.empty())
        return choice;
    highlighted = std::clamp(highlighted, 0, static_cast<int>(items.size()) - 1);

    bool mouseTook = false;
    choice = handleMouse(input, mouseTook);
    if (mouseTook)
        return choice;

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

Menu::Layout Menu::fitted(const ui::Page& page, const ui::Box& room)
{
    // The usual sizes, else smaller a step at a time until the menu fits or every text is at its smallest.
    Layout layout = measure(page, 1.0f, room.width());
    for (float shrink = 0.9f; (layout.height > room.height() || layout.width > room.width()) && shrink > 0.05f;
         shrink *= 0.9f) {
        const Layout smaller = measure(page, shrink, room.width());
        if (smaller.height >= layout.height && smaller.width >= layout.width)
            break;
        layout = smaller;
    }
    // Never narrower than it has been while up, where the room allows.
    widestContent = std::max(widestContent, (layout.width - 2.0f * layout.pad) / page.px(1.0f));
    layout.width = std::max(layout.width, std::min(room.width(), widestContent * page.px(1.0f) + 2.0f * layout.pad));
    return layout;
}

void Menu::layoutItem(ui::Page& page, const Layout& layout, std::size_t i, float y, float left, float right,
                      glm::vec3 color)
{
    const MenuItem& item = items[i];
    Row& row = rows[i];
    const std::vector<std::string>& lines = layout.itemLines[i];
    float baseline = y - baselineIn(layout.itemLine);
    if (!item.cells.empty()) {
        float x = left;
        for (std::size_t c = 0; c < item.cells.size(); ++c) {
            page.add(item.cells[c], ui::Align::Left, x, baseline, layout.itemScale, color);
            x += layout.cellWidths[c] + layout.gap;
        }
    } else if (twoColumns && !item.value.empty()) {
        const float valueLeft = right - page.width(item.value, layout.itemScale);
        page.add(item.value, ui::Align::Left, valueLeft, baseline, layout.itemScale, color);
        for (const std::string& line : lines) {
            page.add(line, ui::Align::Left, left, baseline, layout.itemScale, color);
            baseline -= layout.itemLine;
        }
        if (item.slider) {
            const float barLeft = valueLeft - layout.gap - layout.barWidth;
            const float barHeight = std::max(2.0f, page.px(6.0f));
            const float barY = y - baselineIn(layout.itemLine) + glyphPixels * layout.itemScale * 0.3f - barHeight / 2.0f;
            page.addPanel({barLeft, barY, barLeft + layout.barWidth, barY + barHeight}, menuColors::dimmed, 0.9f);
            page.addPanel({barLeft, barY, barLeft + layout.barWidth * std::clamp(item.fraction, 0.0f, 1.0f),
                           barY + barHeight},
                          color, 1.0f);
            row.barLeft = barLeft;
            row.barRight = barLeft + layout.barWidth;
        }
    } else {
        for (const std::string& line : lines) {
            page.add(line, ui::Align::Centre, (row.left + row.right) / 2.0f, baseline, layout.itemScale, color);
            baseline -= layout.itemLine;
        }
    }
}

void Menu::layout(ui::Page& page, const ui::Box& room)
{
    const Layout layout = fitted(page, room);
    const float H = static_cast<float>(page.windowHeight);
    const float pad = layout.pad;

    // Centred in the room, never out of it where it fits.
    const float panelLeft = std::floor((room.left + room.right - layout.width) / 2.0f);
    const float panelTop =
        std::floor(std::min(room.top, (room.top + room.bottom + layout.height) / 2.0f));
    const float centreX = panelLeft + layout.width / 2.0f;
    page.addPanel({panelLeft, panelTop - layout.height, panelLeft + layout.width, panelTop}, menuColors::panel,
                  menuColors::panelOpacity);

    float y = panelTop - pad;
    for (const std::string& line : layout.titleLines) {
        page.add(line, ui::Align::Centre, centreX, y - baselineIn(layout.titleLine), layout.titleScale, menuColors::text);
        y -= layout.titleLine;
    }
    if (!layout.titleLines.empty())
        y -= pad * 0.5f;
    for (const std::string& line : layout.noteLines) {
        page.add(line, ui::Align::Centre, centreX, y - baselineIn(layout.noteLine), layout.noteScale, menuColors::text,
                 ui::Role::Secondary);
        y -= layout.noteLine;
    }
    if (!layout.noteLines.empty())
        y -= pad * 0.5f;

    rows.assign(items.size(), Row{});
    const float left = panelLeft + pad;
    const float right = panelLeft + layout.width - pad;
    const int cols = std::max(1, columns);
    const float cellWidth = (layout.width - 2.0f * pad) / static_cast<float>(cols);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        const int col = static_cast<int>(i) % cols;
        const float rowHeight = layout.rowHeights[i / static_cast<std::size_t>(cols)];
        const bool chosen = static_cast<int>(i) == highlighted && choosable(static_cast<int>(i));
        const glm::vec3 color = !item.enabled              ? menuColors::dimmed
                                : chosen || item.marked ? menuColors::highlight
                                                        : menuColors::text;
        Row& row = rows[i];
        row.top = H - y;
        row.bottom = H - (y - rowHeight);
        row.left = cols > 1 ? left + cellWidth * static_cast<float>(col) : panelLeft;
        row.right = cols > 1 ? row.left + cellWidth : panelLeft + layout.width;
        // The chosen line also stands on a faint bar, so it is told from a marked one.
        if (chosen)
            page.addPanel({row.left + pad * 0.25f, y - rowHeight, row.right - pad * 0.25f, y}, menuColors::text, 0.15f);
        layoutItem(page, layout, i, y, left, right, color);
        if (col == cols - 1 || i + 1 == items.size())
            y -= rowHeight;
    }
    for (const std::string& line : layout.messageLines) {
        page.add(line, ui::Align::Centre, centreX, y - baselineIn(layout.noteLine), layout.noteScale,
                 menuColors::highlight, ui::Role::Secondary);
        y -= layout.noteLine;
    }
}

float Menu::smallestHeight(const ui::Page& page, float roomWidth) const
{
    return measure(page, 0.0f, roomWidth).height;
}

Menu::Layout Menu::measure(const ui::Page& page, float shrink, float roomWidth) const
{
    using ui::Role;
    Layout layout;
    layout.itemScale = page.scaleFor(0.6f * itemSize * shrink, Role::Primary);
    layout.titleScale = page.scaleFor(1.6f * shrink, Role::Primary);
    layout.noteScale = page.scaleFor(0.42f * shrink, Role::Secondary);
    layout.pad = std::max(page.px(24.0f * shrink), 6.0f);
    layout.gap = std::max(page.px(28.0f * shrink), 8.0f);
    layout.barWidth = page.px(180.0f * shrink);
    const float content = roomWidth - 2.0f * layout.pad;
    measureTexts(page, layout, content);

    // The room a label has: its cell, or what the value and the bar leave of the line.
    float labelRoom = content;
    float itemScale = itemScaleFor(page, layout, content, labelRoom);
    // Table rows: columns as wide as their widest cell, all smaller where the table is wider than the room.
    float table = tableWidth(page, layout, itemScale);
    if (table > content && content > 0.0f) {
        itemScale = std::max(itemScale * content / table, page.smallestScale(Role::Primary));
        table = tableWidth(page, layout, itemScale);
    }
    layout.itemScale = itemScale;
    layout.itemLine = glyphPixels * itemScale * 1.4f;
    layout.noteLine = glyphPixels * layout.noteScale * 1.35f;
    layout.titleLine = glyphPixels * layout.titleScale * 1.2f;
    for (const MenuItem& item : items) {
        layout.itemLines.push_back(page.wrap(item.label, itemScale, std::max(labelRoom, 1.0f)));
        for (const std::string& line : layout.itemLines.back())
            layout.labelWidth = std::max(layout.labelWidth, page.width(line, itemScale));
    }
    measureSize(page, layout, content, table);
    return layout;
}

void Menu::measureTexts(const ui::Page& page, Layout& layout, float content) const
{
    using ui::Role;
    // Texts wider than the room: smaller first, then over more lines.
    if (!title.empty()) {
        layout.titleScale = page.fit(title, layout.titleScale, content, Role::Primary);
        layout.titleLines = page.wrap(title, layout.titleScale, content);
    }
    float noteScale = layout.noteScale;
    for (const std::string& note : notes)
        noteScale = std::min(noteScale, page.fit(note, layout.noteScale, content, Role::Secondary));
    noteScale = std::min(noteScale, page.fit(message, layout.noteScale, content, Role::Secondary));
    layout.noteScale = noteScale;
    for (const std::string& note : notes)
        for (std::string& line : page.wrap(note, noteScale, content))
            layout.noteLines.push_back(std::move(line));
    if (!message.empty())
        layout.messageLines = page.wrap(message, noteScale, content);
}

bool Menu::anySlider() const
{
    return std::any_of(items.begin(), items.end(), [](const MenuItem& item) { return item.slider; });
}

float Menu::itemScaleFor(const ui::Page& page, Layout& layout, float content, float& labelRoom) const
{
    using ui::Role;
    const int cols = std::max(1, columns);
    labelRoom = (content - layout.gap * static_cast<float>(cols - 1)) / static_cast<float>(cols);
    float itemScale = layout.itemScale;
    if (!twoColumns) {
        for (const MenuItem& item : items)
            itemScale = std::min(itemScale, page.fit(item.label, layout.itemScale, labelRoom, Role::Primary));
        return itemScale;
    }
    const auto widestValue = [&](float scale) {
        float width = 0.0f;
        for (const MenuItem& item : items)
            width = std::max(width, page.width(item.value, scale));
        return width;
    };
    float valueWidth = widestValue(itemScale);
    float labelWidth = 0.0f;
    for (const MenuItem& item : items)
        labelWidth = std::max(labelWidth, page.width(item.label, itemScale));
    // A short bar before a smaller text.
    if (anySlider())
        layout.barWidth =
            std::clamp(content - labelWidth - valueWidth - 2.0f * layout.gap, page.px(60.0f), layout.barWidth);
    const float barRoom = anySlider() ? layout.barWidth + layout.gap : 0.0f;
    labelRoom = content - barRoom - layout.gap - valueWidth;
    if (labelWidth > labelRoom && labelRoom > 0.0f) {
        // Smaller text shortens the values too: measured again at the smaller size.
        itemScale = std::max(itemScale * std::max(labelRoom + valueWidth, 1.0f) / (labelWidth + valueWidth),
                             page.smallestScale(Role::Primary));
        valueWidth = widestValue(itemScale);
        labelRoom = content - barRoom - layout.gap - valueWidth;
    }
    layout.valueWidth = valueWidth;
    return itemScale;
}

float Menu::tableWidth(const ui::Page& page, Layout& layout, float scale) const
{
    layout.cellWidths.clear();
    for (const MenuItem& item : items) {
        if (layout.cellWidths.size() < item.cells.size())
            layout.cellWidths.resize(item.cells.size());
        for (std::size_t c = 0; c < item.cells.size(); ++c)
            layout.cellWidths[c] = std::max(layout.cellWidths[c], page.width(item.cells[c], scale));
    }
    float width = 0.0f;
    for (std::size_t c = 0; c < layout.cellWidths.size(); ++c)
        width += layout.cellWidths[c] + (c > 0 ? layout.gap : 0.0f);
    return width;
}

void Menu::measureSize(const ui::Page& page, Layout& layout, float content, float table) const
{
    const int cols = std::max(1, columns);
    float widest = 0.0f;
    if (twoColumns)
        widest = layout.labelWidth + layout.gap + (anySlider() ? layout.barWidth + layout.gap : 0.0f) + layout.valueWidth;
    else
        widest = layout.labelWidth * static_cast<float>(cols) + (cols > 1 ? layout.gap * static_cast<float>(cols) : 0.0f);
    widest = std::max(widest, table);
    for (const std::string& line : layout.titleLines)
        widest = std::max(widest, page.width(line, layout.titleScale));
    for (const std::string& line : layout.noteLines)
        widest = std::max(widest, page.width(line, layout.noteScale));
    for (const std::string& line : layout.messageLines)
        widest = std::max(widest, page.width(line, layout.noteScale));
    layout.width = std::min(widest, std::max(content, 0.0f)) + 2.0f * layout.pad;
    if (widest > content)
        layout.width = widest + 2.0f * layout.pad;

    for (std::size_t i = 0; i < items.size(); i += static_cast<std::size_t>(cols)) {
        std::size_t lines = 1;
        for (std::size_t j = i; j < std::min(items.size(), i + static_cast<std::size_t>(cols)); ++j)
            lines = std::max(lines, layout.itemLines[j].size());
        layout.rowHeights.push_back(layout.itemLine * static_cast<float>(lines));
    }
    layout.height = 2.0f * layout.pad;
    layout.height += static_cast<float>(layout.titleLines.size()) * layout.titleLine;
    if (!layout.titleLines.empty())
        layout.height += layout.pad * 0.5f;
    layout.height += static_cast<float>(layout.noteLines.size()) * layout.noteLine;
    if (!layout.noteLines.empty())
        layout.height += layout.pad * 0.5f;
    for (float row : layout.rowHeights)
        layout.height += row;
    layout.height += static_cast<float>(layout.messageLines.size()) * layout.noteLine;
}
