#pragma once

#include <glm/glm.hpp>

// The one light of the scene, sent to the lit programs as "light.color", "light.position" and
// "brightness".
struct Light {
    glm::vec3 color{0.8f};
    glm::vec3 position{0.0f};
    // The light everything gets even in shadow, as a fraction of its own colour ("brightness").
    float ambient = 0.0f;
};
