#version 430 core
// Lit meshes in their material colour. World position = instance matrix * mesh placement * position.

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 texCoords;
layout(location = 3) in mat4 instanceMatrix;
layout(location = 7) in mat4 instanceNormalMatrix;

uniform mat4 pvMatrix;
uniform mat4 modelMatrix;
uniform mat4 normalMatrix;

out VertexData {
    vec3 worldPos;
    vec3 normal;
    vec2 texCoords;
} vs;

void main()
{
    vec4 world = instanceMatrix * modelMatrix * vec4(position, 1.0);
    vs.worldPos = world.xyz;
    vs.normal = mat3(instanceNormalMatrix * normalMatrix) * normal;
    vs.texCoords = texCoords;
    gl_Position = pvMatrix * world;
}
