#version 430 core
// Below a render scale of 1: the outlined scene, drawn at its own size with the outlines marked
// in the alpha, brought to the window. The colour is filtered linearly; a window pixel is
// outline where the filtered mark passes the threshold, so the lines keep hard edges.

uniform sampler2D markedTex;
uniform vec3 outlineColor;
uniform float markThreshold;

in vec2 uv;
out vec4 fragColor;

void main()
{
    vec4 marked = texture(markedTex, uv);
    fragColor = vec4(marked.a > markThreshold ? outlineColor : marked.rgb, 1.0);
}
