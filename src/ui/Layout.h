#pragma once

#include <glm/glm.hpp>

#include <string>
#include <string_view>
#include <vector>

class TextRenderer;

// Every screen of the game (the HUD, the banners, the menus) is designed for a 1000 x 750 window
// and scaled to the real one by a single factor, the smaller of the two ratios, with its places
// measured from the window's corners and centre. A text never gets smaller than a capital of a
// few pixels: below that it is shrunk no further but wrapped or given a shorter form instead.
namespace ui {

constexpr float designWidth = 1000.0f;
constexpr float designHeight = 750.0f;

// The role of a text decides how small it may get.
enum class Role {
    Primary,   // an item to choose, a title, a line of the HUD: capitals at least 10 px
    Secondary, // a hint, a date, the frame rate: capitals at least 8 px
};
float smallestCapital(Role role);

// A rectangle of the window in pixels, origin at the bottom-left as the text is drawn.
struct Box {
    float left = 0.0f;
    float bottom = 0.0f;
    float right = 0.0f;
    float top = 0.0f;

    float width() const { return right - left; }
    float height() const { return top - bottom; }
    bool overlaps(const Box& other) const;
    bool inside(const Box& other) const;
};

// A line of text as it will be drawn.
struct Text {
    std::string text;
    float x = 0.0f; // start of the baseline
    float y = 0.0f;
    float scale = 0.0f; // 1 is the font's 48-pixel size
    glm::vec3 color{1.0f};
    Role role = Role::Primary;
    // The dark copy under it, pixels right and down (0 for text on a light band).
    float shadow = 0.0f;
    // The ink, the shadow included.
    Box box;
    // Height of a capital letter, pixels.
    float capital = 0.0f;
};

// A plain rectangle under the texts (a menu's panel, the world dimmed, a highlight bar).
struct Panel {
    Box box;
    glm::vec3 color{0.0f};
    float opacity = 1.0f;
};

// Where a design place is measured from.
enum class Anchor { BottomLeft, Bottom, BottomRight, Left, Centre, Right, TopLeft, Top, TopRight };
// Which end of a text its x names.
enum class Align { Left, Centre, Right };

// The texts and panels of one screen in one window size: laid out without drawing (so that the
// layout can be checked on its own), then drawn in one go, panels first.
class Page {
public:
    Page(const TextRenderer& font, int width, int height);

    // The window against the one the screens are designed for.
    float unit() const { return factor; }
    // A design length in pixels.
    float px(float design) const { return design * factor; }
    // A design place, `dx` right and `dy` up from an anchor, in pixels.
    glm::vec2 at(Anchor anchor, float dx, float dy) const;
    // The font scale of a design scale in this window, never under the role's smallest capital.
    float scaleFor(float designScale, Role role) const;
    float smallestScale(Role role) const;
    // The biggest scale, not above `scale` nor under the role's smallest, at which the text fits `room`.
    float fit(std::string_view text, float scale, float room, Role role) const;
    // The text in lines no wider than `room` at that scale, broken between words (a word wider
    // than the room stays whole: the caller shrinks it).
    std::vector<std::string> wrap(std::string_view text, float scale, float room) const;

    float width(std::string_view text, float scale) const;
    float capital(float scale) const;
    // Baseline to baseline of lines of that scale.
    float lineHeight(float scale) const;
    // The ink of a text placed at (x, y), its shadow included.
    Box inkBox(std::string_view text, float x, float y, float scale, float shadow) const;
    // The window, less the margin no text comes nearer the edge than.
    Box room() const;

    // A text whose baseline starts at, is centred on, or ends at x; moved inside the window's
    // margin, and made smaller (not under its role's smallest) where it is wider than the window.
    Text& add(std::string_view text, Align align, float x, float y, float scale, glm::vec3 color,
              Role role = Role::Primary);
    void addPanel(const Box& box, glm::vec3 color, float opacity);
    // The whole window under one panel: the world behind a menu, darkened.
    void dimWorld(float opacity);

    void draw(TextRenderer& renderer) const;

    int windowWidth = 0;
    int windowHeight = 0;
    // Pixels kept clear along the window's edges.
    float margin = 0.0f;
    std::vector<Text> texts;
    std::vector<Panel> panels;

private:
    const TextRenderer& font;
    float factor = 1.0f;
};

} // namespace ui
