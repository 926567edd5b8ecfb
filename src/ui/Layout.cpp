#include "ui/Layout.h"

#include "text/TextRenderer.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

constexpr float glyphPixels = 48.0f;
// The capital of the font at scale 1, when no font could be read (nothing is drawn then anyway).
constexpr float fallbackCapital = 34.0f;

} // namespace

float smallestCapital(Role role)
{
    return role == Role::Primary ? 10.0f : 8.0f;
}

bool Box::overlaps(const Box& other) const
{
    return left < other.right && other.left < right && bottom < other.top && other.bottom < top;
}

bool Box::inside(const Box& other) const
{
    return left >= other.left && right <= other.right && bottom >= other.bottom && top <= other.top;
}

Page::Page(const TextRenderer& font, int width, int height)
    : windowWidth(width)
    , windowHeight(height)
    , font(font)
{
    factor = std::min(static_cast<float>(width) / designWidth, static_cast<float>(height) / designHeight);
    if (!(factor > 0.0f))
        factor = 1.0f;
    margin = std::max(4.0f, px(8.0f));
}

glm::vec2 Page::at(Anchor anchor, float dx, float dy) const
{
    // Halves of the window are whole pixels, as the HUD has always placed its centre.
    const float W = static_cast<float>(windowWidth);
    const float H = static_cast<float>(windowHeight);
    const float halfW = static_cast<float>(windowWidth / 2);
    const float halfH = static_cast<float>(windowHeight / 2);
    glm::vec2 origin(0.0f);
    switch (anchor) {
    case Anchor::BottomLeft: origin = {0.0f, 0.0f}; break;
    case Anchor::Bottom: origin = {halfW, 0.0f}; break;
    case Anchor::BottomRight: origin = {W, 0.0f}; break;
    case Anchor::Left: origin = {0.0f, halfH}; break;
    case Anchor::Centre: origin = {halfW, halfH}; break;
    case Anchor::Right: origin = {W, halfH}; break;
    case Anchor::TopLeft: origin = {0.0f, H}; break;
    case Anchor::Top: origin = {halfW, H}; break;
    case Anchor::TopRight: origin = {W, H}; break;
    }
    return origin + glm::vec2(px(dx), px(dy));
}

float Page::capital(float scale) const
{
    const float c = font.capitalHeight(scale);
    return c > 0.0f ? c : fallbackCapital * scale;
}

float Page::smallestScale(Role role) const
{
    return smallestCapital(role) / capital(1.0f);
}

float Page::scaleFor(float designScale, Role role) const
{
    return std::max(designScale * factor, smallestScale(role));
}

float Page::fit(std::string_view text, float scale, float room, Role role) const
{
    const float w = width(text, scale);
    if (w <= room || w <= 0.0f)
        return scale;
    return std::max(scale * std::max(room, 0.0f) / w, smallestScale(role));
}

std::vector<std::string> Page::wrap(std::string_view text, float scale, float room) const
{
    std::vector<std::string> lines;
    std::string line;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string_view word = text.substr(start, end - start);
        if (!word.empty()) {
            const std::string longer = line.empty() ? std::string(word) : line + " " + std::string(word);
            if (!line.empty() && width(longer, scale) > room) {
                lines.push_back(line);
                line = std::string(word);
            } else {
                line = longer;
            }
        }
        start = end + 1;
    }
    if (!line.empty() || lines.empty())
        lines.push_back(line);
    return lines;
}

float Page::width(std::string_view text, float scale) const
{
    return font.width(text, scale);
}

float Page::lineHeight(float scale) const
{
    return glyphPixels * scale * 1.3f;
}

Box Page::inkBox(std::string_view text, float x, float y, float scale, float shadow) const
{
    const glm::vec2 extent = font.inkExtent(text, scale);
    return {x, y - extent.y - shadow, x + width(text, scale) + shadow, y + extent.x};
}

Box Page::room() const
{
    return {margin, margin, static_cast<float>(windowWidth) - margin, static_cast<float>(windowHeight) - margin};
}

Text& Page::add(std::string_view text, Align align, float x, float y, float scale, glm::vec3 color, Role role)
{
    const Box inside = room();
    scale = fit(text, scale, inside.width(), role);
    const float w = width(text, scale);
    if (align == Align::Centre)
        x -= w / 2.0f;
    else if (align == Align::Right)
        x -= w;
    x = std::clamp(x, inside.left, std::max(inside.left, inside.right - w));

    Text& made = texts.emplace_back();
    made.text = std::string(text);
    made.scale = scale;
    made.color = color;
    made.role = role;
    made.capital = capital(scale);
    // A sixteenth of the type's size, as dark text on a light band needs none.
    made.shadow = color == glm::vec3(0.0f) ? 0.0f : std::max(1.0f, std::round(glyphPixels * scale / 16.0f));
    const glm::vec2 extent = font.inkExtent(text, scale);
    // Never under the window's foot nor over its top.
    y = std::clamp(y, inside.bottom + extent.y + made.shadow, std::max(inside.bottom, inside.top - extent.x));
    made.x = std::round(x);
    made.y = std::round(y);
    made.box = inkBox(text, made.x, made.y, scale, made.shadow);
    return made;
}

void Page::addPanel(const Box& box, glm::vec3 color, float opacity)
{
    panels.push_back({box, color, opacity});
}

void Page::dimWorld(float opacity)
{
    addPanel({0.0f, 0.0f, static_cast<float>(windowWidth), static_cast<float>(windowHeight)}, glm::vec3(0.0f), opacity);
}

void Page::draw(TextRenderer& renderer) const
{
    for (const Panel& panel : panels)
        renderer.drawRect(panel.box.left, panel.box.bottom, panel.box.width(), panel.box.height(), panel.color,
                          panel.opacity);
    for (const Text& text : texts)
        renderer.drawShadowed(text.text, text.x, text.y, text.scale, text.color, text.shadow);
}

} // namespace ui
