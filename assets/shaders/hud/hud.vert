#version 430 core
// HUD glyph quads: (x, y) in window pixels, (u, v) into the glyph's texture.

layout(location = 0) in vec4 vertex;

uniform mat4 projection;

out vec2 uv;

void main()
{
    uv = vertex.zw;
    gl_Position = projection * vec4(vertex.xy, 0.0, 1.0);
}
