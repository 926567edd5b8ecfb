#include "render/Mesh.h"

Mesh::Mesh(glm::mat4 parentTransform, glm::mat4 localTransform)
    : parentTransform(parentTransform)
    , localTransform(localTransform)
{
}
