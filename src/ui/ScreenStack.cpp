#include "ui/Screen.h"

#include "app/Game.h"
#include "text/TextRenderer.h"

void Screen::draw(Game& game)
{
    drawWorld(game);
    if (!game.text)
        return;
    ui::Page page(*game.text, game.hud.width, game.hud.height);
    layout(game, page);
    game.text->begin();
    page.draw(*game.text);
    game.text->end();
}

void ScreenStack::push(std::unique_ptr<Screen> screen)
{
    pending.push_back({std::move(screen), false});
}

void ScreenStack::pop()
{
    pending.push_back({nullptr, false});
}

void ScreenStack::clear()
{
    pending.push_back({nullptr, true});
}

void ScreenStack::apply(Game& game)
{
    // A change may ask for more changes (a screen that pops itself as it enters): they wait for
    // the next frame, so the list being worked through never grows under the loop.
    std::vector<Change> changes = std::move(pending);
    pending.clear();
    for (Change& change : changes) {
        if (change.clearAll) {
            while (!screens.empty()) {
                screens.back()->leave(game);
                screens.pop_back();
            }
        } else if (change.pushed) {
            if (!screens.empty())
                screens.back()->leave(game);
            screens.push_back(std::move(change.pushed));
            screens.back()->enter(game);
        } else if (!screens.empty()) {
            screens.back()->leave(game);
            screens.pop_back();
            if (!screens.empty())
                screens.back()->enter(game);
        }
    }
}

Run* ScreenStack::shownRun() const
{
    for (auto it = screens.rbegin(); it != screens.rend(); ++it)
        if (Run* run = (*it)->run())
            return run;
    return nullptr;
}

void ScreenStack::draw(Game& game)
{
    // One screen at a time: the top one, over the world of the topmost screen that has one (play
    // or a recording); a menu opened from a menu takes its place rather than piling on it.
    if (screens.empty())
        return;
    std::size_t base = screens.size() - 1;
    while (base > 0 && screens[base]->overlay())
        --base;
    // A world that moves is drawn anew: a picture kept from before would miss what changed.
    if (screens.back()->worldMoves())
        game.heldWorld.forget();
    if (base + 1 < screens.size())
        game.drawStillWorld([&] { screens[base]->drawWorld(game); });
    screens.back()->draw(game);
}

void ScreenStack::layout(Game& game, ui::Page& page) const
{
    if (!screens.empty())
        screens.back()->layout(game, page);
}
