#pragma once

#include "render/Mesh.h"

#include <glm/glm.hpp>

#include <memory>
#include <vector>

// One imported model file; scene objects queue instances into it every frame and it
// draws them all with one instanced draw per mesh.
class Model {
public:
    std::vector<std::shared_ptr<Mesh>> meshes;
    // World and normal matrices of the instances queued this frame, same length and order.
    std::vector<glm::mat4> modelMatrices;
    std::vector<glm::mat4> normalMatrices;
};
