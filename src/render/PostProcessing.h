#pragma once

// Off-screen target of the main pass and the outline pass. (Filled in with the rendering work.)
class PostProcessing {
public:
    void initialize() {}
    void draw() {}
};
