#version 430 core
// Black outlines where the depth or the colour of the scene changes sharply; the image elsewhere.

uniform sampler2D colorTex;
uniform sampler2D depthTex;
uniform vec3 outlineColor;
uniform float near;
uniform float far;

in vec2 uv;
out vec4 fragColor;

// Relative jump of 1/depth that marks a silhouette or a sharp crease.
const float depthEdge = 0.003;
// Change of hue that marks a colour edge between materials, where the surface also bends or
// steps at least a little: patterns painted on one flat surface (the floor's moss) stay unlined.
const float colorEdge = 0.12;
const float colorEdgeDepth = 0.0005;

ivec2 clampToImage(ivec2 p)
{
    return clamp(p, ivec2(0), textureSize(colorTex, 0) - 1);
}

float linearDepth(ivec2 p)
{
    float ndc = texelFetch(depthTex, clampToImage(p), 0).r * 2.0 - 1.0;
    return 2.0 * near * far / (far + near - ndc * (far - near));
}

// Colour with its brightness divided out: toon bands and shadows scale a surface's colour and
// leave this alone, so only a change of material shows. Near-black counts as neutral.
vec3 hue(ivec2 p)
{
    vec3 c = texelFetch(colorTex, clampToImage(p), 0).rgb;
    float sum = c.r + c.g + c.b;
    return sum > 0.06 ? c / sum : vec3(1.0 / 3.0);
}

void main()
{
    ivec2 p = ivec2(gl_FragCoord.xy);
    const ivec2 dx = ivec2(1, 0);
    const ivec2 dy = ivec2(0, 1);

    // On any flat surface 1/depth is affine across the screen, so its Laplacian vanishes there
    // and only silhouettes and creases stand out, however slanted the surface.
    float centre = 1.0 / linearDepth(p);
    float around = 1.0 / linearDepth(p - dx) + 1.0 / linearDepth(p + dx) + 1.0 / linearDepth(p - dy) +
                   1.0 / linearDepth(p + dy);
    float depthJump = abs(around - 4.0 * centre) / centre;

    // Sobel on the hue.
    vec3 tl = hue(p - dx + dy), t = hue(p + dy), tr = hue(p + dx + dy);
    vec3 l = hue(p - dx), r = hue(p + dx);
    vec3 bl = hue(p - dx - dy), b = hue(p - dy), br = hue(p + dx - dy);
    vec3 gx = (tr + 2.0 * r + br) - (tl + 2.0 * l + bl);
    vec3 gy = (tl + 2.0 * t + tr) - (bl + 2.0 * b + br);
    float colorJump = sqrt(dot(gx, gx) + dot(gy, gy)) * 0.25;

    vec3 image = texelFetch(colorTex, p, 0).rgb;
    bool edge = depthJump > depthEdge || (colorJump > colorEdge && depthJump > colorEdgeDepth);
    fragColor = vec4(edge ? outlineColor : image, 1.0);
}
