#pragma once

#include "text/GlyphAtlas.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class Shader;

// One glyph of the game's font, rasterised once into the text's glyph atlas.
struct Character {
    glm::ivec2 atlasPlace{-1}; // first texel of the bitmap in the atlas; -1 when not drawn
    glm::ivec2 size{0};    // bitmap width and rows, pixels
    glm::ivec2 bearing{0}; // offset of the bitmap from the pen position and baseline
    std::uint32_t advance = 0; // horizontal advance, 1/64 pixel
};

// Text and plain panels over the finished frame, in window pixels from the bottom-left corner:
// the HUD and every menu draw through one of these. Texts are UTF-8; each character is one
// textured quad. The glyphs of the ASCII codes are rasterised at start-up, any other the first
// time a text needs it (the letters of a translation); a character the font lacks is drawn as
// the font's replacement character, never left out. A panel is a quad of one colour and opacity.
// Everything between begin() and end() is gathered and drawn at end() in one draw, in the
// order it was asked for: the glyphs share one texture, and each corner carries its colour.
class TextRenderer {
public:
    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Loads the font and sets up the quad buffer; needs the shader registry and a GL context.
    // Without the font the text is simply invisible: no glyph has an entry.
    void initialize(int windowWidth, int windowHeight);
    // Loads the font for measuring only: no GL context, no textures; what is drawn is nothing,
    // but every width and height is what the game's own text has (screens laid out in tests).
    void initializeMeasuring();
    // The framebuffer has a new size: the projection follows it, and a big window has its glyphs
    // made again at twice the size, so large text stays sharp (sizes are the layout's matter).
    void resize(int windowWidth, int windowHeight);

    // Everything drawn between begin() and end() goes over the frame, blended, without depth.
    void begin();
    void end();
    // Draws what was gathered since begin() or the last flush (end() does).
    void flush() const;
    // x, y: the start of the baseline in pixels; scale 1 is the font's 48-pixel size.
    void draw(std::string_view text, float x, float y, float scale, glm::vec3 color);
    // The same over a dark copy moved `offset` pixels right and down, so it reads over any scene.
    void drawShadowed(std::string_view text, float x, float y, float scale, glm::vec3 color, float offset);
    // A filled rectangle, lower-left corner (x, y); opacity 0 (nothing) to 1 (solid).
    void drawRect(float x, float y, float w, float h, glm::vec3 color, float opacity);
    // Width in pixels that draw() gives the text at that scale.
    float width(std::string_view text, float scale) const;
    // Height in pixels of a capital letter at that scale (0 without a font).
    float capitalHeight(float scale) const;
    // How far the text's ink reaches above (first) and below (second) its baseline at that scale.
    glm::vec2 inkExtent(std::string_view text, float scale) const;
    // The glyph drawn for a character, made now if it is new; null without a font.
    const Character* glyph(char32_t character) const;

    // The glyphs made so far, by character (a missing one holds the replacement's glyph).
    mutable std::map<char32_t, Character> characters;
    // Their texture; null while only measuring.
    mutable GlyphAtlas atlas;
    std::shared_ptr<Shader> shader;
    std::uint32_t vao = 0;
    std::uint32_t vbo = 0;

private:
    // One corner of a gathered quad: window pixels, atlas coordinates, colour and opacity.
    struct Corner {
        float x, y, u, v;
        std::uint8_t rgba[4];
    };

    // Uploads "projection" and "text" again whenever the program was rebuilt (F5).
    void sendStaticUniforms() const;
    // Gathers a quad: window box (x, y lower left), atlas box (top-left first), colour.
    void addQuad(glm::vec4 box, glm::vec4 texels, glm::vec3 color, float opacity);
    // A new, empty atlas sized for the glyphs; what was gathered is drawn first.
    void startAtlas() const;

    // Rasterises one glyph of the font into the atlas.
    std::optional<Character> rasterise(char32_t character) const;

    // Loads the font file; false (with the message) when it cannot.
    bool loadFont();
    // The glyphs' size in pixels for a window of that size; the glyphs made again when it changes.
    void chooseGlyphPixels(int windowWidth, int windowHeight);
    // Scale 1 is 48 pixels whatever size the glyphs were made at.
    float glyphScale() const;

    int glyphPixels = 48;
    // False when the text is only measured (no GL context).
    bool drawing = true;
    // The font, kept open for the glyphs a text needs later.
    struct Font;
    std::unique_ptr<Font> font;
    int viewWidth = 0;
    int viewHeight = 0;
    // The program load the static uniforms were sent to.
    mutable std::uint32_t configuredLoad = 0;
    // The quads gathered since begin(), six corners each; the storage is kept between frames.
    mutable std::vector<Corner> corners;
    // Bytes the vertex buffer holds: it is only made larger.
    mutable std::size_t bufferBytes = 0;
};

// Draws issued by every text renderer since the program started (the frame benchmark counts them per frame).
std::uint64_t hudDrawCalls();
