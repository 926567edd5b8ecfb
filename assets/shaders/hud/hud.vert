#version 430 core
// Text and panel quads: (x, y) in window pixels, (u, v) into the glyph atlas, and the colour
// with its opacity at each corner.

layout(location = 0) in vec4 vertex;
layout(location = 1) in vec4 color;

uniform mat4 projection;

out vec2 uv;
out vec4 tint;

void main()
{
    uv = vertex.zw;
    tint = color;
    gl_Position = projection * vec4(vertex.xy, 0.0, 1.0);
}
