#version 430 core
// Shadow map: the depth of every instance as the light sees it.

layout(location = 0) in vec3 position;
layout(location = 3) in mat4 instanceMatrix;

uniform mat4 pvMatrix;
uniform mat4 modelMatrix;

void main()
{
    gl_Position = pvMatrix * instanceMatrix * modelMatrix * vec4(position, 1.0);
}
