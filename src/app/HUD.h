#pragma once

#include "scene/GameObject.h"

// Health, time, level and frame rate over the finished frame. (Filled in with the HUD work.)
class HUD : public IUpdate {
public:
    void initialize() {}
    void update(Game*) override {}
    void render() {}
};
