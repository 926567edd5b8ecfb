#include "ui/HelpScreen.h"

#include "app/Game.h"
#include "files/Translation.h"
#include "input/Controls.h"
#include "input/GameInput.h"
#include "render/Model.h"
#include "render/Shader.h"
#include "text/TextRenderer.h"

#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace {

// The rules, each with the models it is about.
struct Rule {
    const char* text;
    int models[2];
};
constexpr Rule rules[] = {
    {N_("YOUR CREATURE FLIES ON ITS OWN: STEER IT WITH THE KEYS AND THE MOUSE"), {MODEL_CHAR, -1}},
    {N_("RAIN COSTS HEALTH"), {MODEL_RAINDROP, -1}},
    {N_("POLLEN BUYS TIME"), {MODEL_POLLEN, -1}},
    {N_("TREES AND MUSHROOMS KNOCK YOU BACK"), {MODEL_TREE, MODEL_SHROOM}},
    {N_("EVERY 15 SECONDS A NEW LEVEL REFILLS HEALTH AND ADDS TIME"), {-1, -1}},
};

// A model seen from the front, a little from the side and above, filling its square.
void drawPicture(const Model& model, const ui::Box& box, const Light& light, const Shadows& shadows)
{
    glm::vec3 low(1e30f);
    glm::vec3 high(-1e30f);
    for (const auto& mesh : model.meshes)
        for (const glm::vec3& p : mesh->positions) {
            low = glm::min(low, p);
            high = glm::max(high, p);
        }
    if (low.x > high.x)
        return;
    const glm::vec3 centre = (low + high) * 0.5f;
    const float radius = std::max(glm::length(high - low) * 0.5f, 1e-4f);
    const glm::vec3 eye = centre + glm::normalize(glm::vec3(-1.0f, -0.8f, 0.5f)) * radius * 3.0f;
    const glm::mat4 viewProjection = glm::ortho(-radius, radius, -radius, radius, radius * 0.5f, radius * 6.0f) *
                                     glm::lookAt(eye, centre, glm::vec3(0.0f, 0.0f, 1.0f));
    const auto x = static_cast<GLint>(box.left);
    const auto y = static_cast<GLint>(box.bottom);
    const auto side = static_cast<GLsizei>(std::min(box.width(), box.height()));
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, side, side);
    glViewport(x, y, side, side);
    glClear(GL_DEPTH_BUFFER_BIT);
    auto& shown = const_cast<Model&>(model);
    shown.modelMatrices.push_back(glm::mat4(1.0f));
    shown.normalMatrices.push_back(glm::mat4(1.0f));
    renderShaders(eye, light, shadows, viewProjection);
    glDisable(GL_SCISSOR_TEST);
}

} // namespace

void HelpScreen::enter(Game& game)
{
    title = _("HOW TO PLAY");
    menu.items = {{_("BACK")}};
    controls = controlsHelpLines(game.playerInput() ? game.playerInput()->controls() : playerControls());
}

void HelpScreen::act(Game& game, const MenuChoice& choice)
{
    if (choice.kind == MenuChoice::Kind::Chosen)
        goBack(game);
}

void HelpScreen::layout(Game&, ui::Page& page)
{
    // The usual sizes, else smaller steps until it fits the window (the texts never under their smallest).
    float shrink = 1.0f;
    for (; shrink > 0.2f; shrink *= 0.9f) {
        ui::Page trial(page);
        if (layoutAt(trial, shrink) <= page.room().height())
            break;
    }
    layoutAt(page, shrink);
}

float HelpScreen::lines(ui::Page& page, float y, const std::string& text, float x, float room, float scale,
                        ui::Role role, glm::vec3 color, ui::Align align) const
{
    // One line after another, each wrapped to its room (a word wider than the room made smaller);
    // the baseline sits in the upper part of its line.
    const float line = page.lineHeight(scale);
    // The rest of a wrapped line stands a little in, so it is not read as a line of its own.
    const float indent = align == ui::Align::Left ? page.capital(scale) : 0.0f;
    float top = y;
    for (const std::string& part : page.wrap(text, scale, room - indent)) {
        const float at = top == y ? x : x + indent;
        page.add(part, align, at, top - line * 0.78f, page.fit(part, scale, room - indent, role), color, role);
        top -= line;
    }
    return y - top;
}

float HelpScreen::layoutRules(ui::Page& page, float y, float left, float right, float pad, float shrink)
{
    const float ruleScale = page.scaleFor(0.5f * shrink, ui::Role::Primary);
    // Pictures a little taller than a line of the rule, down to one line where room is short.
    const float picture = std::round(page.lineHeight(ruleScale) * (1.0f + 0.8f * shrink));
    for (const Rule& rule : rules) {
        float x = left + pad;
        for (int model : rule.models) {
            if (model >= 0)
                pictures.push_back({{x, y - picture, x + picture, y}, model});
            x += picture + pad * 0.3f;
        }
        const float textLeft = left + pad + 2.0f * (picture + pad * 0.3f) + pad * 0.3f;
        // The text beside its pictures, in the middle of their height when it takes one line.
        const float textRoom = right - pad - textLeft;
        const std::string text = translate(rule.text);
        const float textHeight =
            page.lineHeight(ruleScale) * static_cast<float>(page.wrap(text, ruleScale, textRoom).size());
        lines(page, y - std::max(0.0f, (picture - textHeight) / 2.0f), text, textLeft, textRoom, ruleScale,
              ui::Role::Primary, menuColors::text, ui::Align::Left);
        y -= std::max(textHeight, picture) + pad * 0.3f;
    }
    return y;
}

float HelpScreen::layoutControls(ui::Page& page, float y, float left, float content, float pad, float shrink) const
{
    y -= lines(page, y, _("CONTROLS"), left + pad + content / 2.0f, content,
               page.scaleFor(0.6f * shrink, ui::Role::Primary), ui::Role::Primary, menuColors::highlight,
               ui::Align::Centre);
    // The controls in two columns, a long line wrapped in its own.
    const float columnRoom = (content - pad) / 2.0f;
    const float keyScale = page.scaleFor(0.34f * shrink, ui::Role::Secondary);
    const std::size_t perColumn = (controls.size() + 1) / 2;
    const float top = y;
    float lowest = y;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (i == perColumn) {
            lowest = std::min(lowest, y);
            y = top;
        }
        const float x = left + pad + (i >= perColumn ? columnRoom + pad : 0.0f);
        y -= lines(page, y, controls[i], x, columnRoom, keyScale, ui::Role::Secondary, menuColors::text,
                   ui::Align::Left);
    }
    return std::min(lowest, y);
}

float HelpScreen::layoutAt(ui::Page& page, float shrink)
{
    using ui::Role;
    pictures.clear();
    page.dimWorld(menuColors::worldDimming);
    const ui::Box room = page.room();
    const float pad = std::max(page.px(20.0f * shrink), 6.0f);
    const float panelWidth = std::min(room.width(), std::max(page.px(920.0f), room.width() * 0.6f));
    const float left = std::floor((room.left + room.right - panelWidth) / 2.0f);
    const float right = left + panelWidth;
    const float content = panelWidth - 2.0f * pad;
    const std::size_t panelAt = page.panels.size();
    page.addPanel({left, room.bottom, right, room.top}, menuColors::panel, menuColors::panelOpacity);

    float y = room.top - pad;
    y -= lines(page, y, title, (left + right) / 2.0f, content, page.scaleFor(1.2f * shrink, Role::Primary),
               Role::Primary, menuColors::text, ui::Align::Centre);
    y = layoutRules(page, y - pad * 0.5f, left, right, pad, shrink);
    y = layoutControls(page, y - pad * 0.3f, left, content, pad, shrink) - pad * 0.5f;

    // BACK under it all, where the mouse and the keys find it.
    const float itemHeight = menu.smallestHeight(page, content);
    const float backHeight = std::max(itemHeight, page.lineHeight(page.scaleFor(0.6f * shrink, Role::Primary)) * 1.3f);
    menu.layout(page, {left, y - backHeight, right, y});
    y -= backHeight + pad * 0.5f;

    // The panel ends under the last line.
    const float height = room.top - y;
    page.panels[panelAt].box.bottom = std::max(room.bottom, y);
    return height;
}

void HelpScreen::draw(Game& game)
{
    MenuScreen::draw(game);
    // The pictures from the game's own models, lit as in the world.
    for (const Picture& shown : pictures)
        if (const auto model = getModel(shown.model))
            drawPicture(*model, shown.box, game.light, game.shadows);
    glViewport(0, 0, game.hud.width, game.hud.height);
}
