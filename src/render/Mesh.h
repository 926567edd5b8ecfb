#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ConvexHull;

// One drawable piece of a model: geometry, material and its placement inside the model.
class Mesh {
public:
    Mesh(glm::mat4 parentTransform, glm::mat4 localTransform);

    // Accumulated transform of the node chain above the mesh's node.
    glm::mat4 parentTransform;
    // Transform of the mesh's own node.
    glm::mat4 localTransform;
    // Vertex positions in model space (parentTransform * localTransform * position).
    std::vector<glm::vec3> positions;
    std::string name;
    // Collision hull cooked from positions on first use and shared by every body made from this mesh.
    std::shared_ptr<ConvexHull> convexMesh;
};
