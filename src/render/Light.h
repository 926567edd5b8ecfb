#pragma once

#include <glm/glm.hpp>

// The one light of the scene, sent to the lit programs as "light.color" and "light.position".
struct Light {
    glm::vec3 color{0.8f};
    glm::vec3 position{0.0f};
};
