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
uniform mat4 shadowPvMatrix;

struct Material {
    vec3 color;
    float shininess;
};
uniform Material material;

// The depth-only twin of this program runs this same stage: both must give the same depths.
invariant gl_Position;

out VertexData {
    vec3 worldPos;
    vec3 normal;
    vec2 texCoords;
    // Where this point falls in the shadow map (texture coordinates and depth): the light's
    // projection is parallel, so this is exact when interpolated.
    vec3 shadowCoords;
    // The highlight shows where pow(cos, shininess) passes one half, that is where cos passes
    // this; the same for the whole mesh.
    flat float highlightCos;
} vs;

void main()
{
    vec4 world = instanceMatrix * modelMatrix * vec4(position, 1.0);
    vs.worldPos = world.xyz;
    vs.normal = mat3(instanceNormalMatrix * normalMatrix) * normal;
    vs.texCoords = texCoords;
    vs.shadowCoords = (shadowPvMatrix * world).xyz * 0.5 + 0.5;
    vs.highlightCos = material.shininess > 0.0 ? exp2(-1.0 / material.shininess) : 2.0;
    gl_Position = pvMatrix * world;
}
