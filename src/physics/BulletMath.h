#pragma once

#include <LinearMath/btVector3.h>
#include <glm/glm.hpp>

// The physics library's vectors and the game's, converted in one place.
inline btVector3 toBullet(glm::vec3 v)
{
    return btVector3(v.x, v.y, v.z);
}

inline glm::vec3 toGlm(const btVector3& v)
{
    return glm::vec3(v.x(), v.y(), v.z());
}
