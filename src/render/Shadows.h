#pragma once

// Shadow map from the fixed light. (Filled in with the rendering work; a no-op for now.)
class Shadows {
public:
    void initialize() {}
};
