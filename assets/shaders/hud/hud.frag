#version 430 core
// The atlas's coverage (red channel) times the quad's opacity becomes the alpha of its colour.

uniform sampler2D text;

in vec2 uv;
in vec4 tint;
out vec4 fragColor;

void main()
{
    fragColor = vec4(tint.rgb, tint.a * texture(text, uv).r);
}
