#pragma once

#include "ui/MenuScreens.h"

#include <vector>

// How to play: the rules in a few short lines, each beside a picture of what it is about, and
// the controls as they are bound now. Reached from the pause and game-over menus.
class HelpScreen : public MenuScreen {
public:
    void enter(Game& game) override;
    void layout(Game& game, ui::Page& page) override;
    void draw(Game& game) override;

    // A picture of one of the game's models, in window pixels.
    struct Picture {
        ui::Box box;
        int model = 0;
    };
    // Where the last layout put the pictures.
    std::vector<Picture> pictures;

protected:
    void act(Game& game, const MenuChoice& choice) override;

private:
    // Lays everything out at `shrink` times the usual size; the height it took.
    float layoutAt(ui::Page& page, float shrink);
    // Text from `y` down, wrapped to `room`; how far down it went.
    float lines(ui::Page& page, float y, const std::string& text, float x, float room, float scale, ui::Role role,
                glm::vec3 color, ui::Align align) const;
    // The rules beside their pictures, and the controls in two columns; each returns where it ended.
    float layoutRules(ui::Page& page, float y, float left, float right, float pad, float shrink);
    float layoutControls(ui::Page& page, float y, float left, float content, float pad, float shrink) const;

    std::string title;
    std::vector<std::string> controls;
};
