#version 430 core
// The glyph's coverage (red channel) becomes the alpha of the text colour.

uniform sampler2D text;
uniform vec3 textColor;

in vec2 uv;
out vec4 fragColor;

void main()
{
    fragColor = vec4(textColor, texture(text, uv).r);
}
