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
const float depthEdge = 0.04;
// Luminance step that marks a colour edge: a material boundary, not a toon band on one surface.
const float colorEdge = 0.18;

ivec2 clampToImage(ivec2 p)
{
    return clamp(p, ivec2(0), textureSize(colorTex, 0) - 1);
}

float linearDepth(ivec2 p)
{
    float ndc = texelFetch(depthTex, clampToImage(p), 0).r * 2.0 - 1.0;
    return 2.0 * near * far / (far + near - ndc * (far - near));
}

float luminance(ivec2 p)
{
    return dot(texelFetch(colorTex, clampToImage(p), 0).rgb, vec3(0.299, 0.587, 0.114));
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

    // Sobel on luminance.
    float tl = luminance(p - dx + dy), t = luminance(p + dy), tr = luminance(p + dx + dy);
    float l = luminance(p - dx), r = luminance(p + dx);
    float bl = luminance(p - dx - dy), b = luminance(p - dy), br = luminance(p + dx - dy);
    float gx = (tr + 2.0 * r + br) - (tl + 2.0 * l + bl);
    float gy = (tl + 2.0 * t + tr) - (bl + 2.0 * b + br);
    float colorJump = length(vec2(gx, gy)) * 0.25;

    vec3 image = texelFetch(colorTex, p, 0).rgb;
    bool edge = depthJump > depthEdge || colorJump > colorEdge;
    fragColor = vec4(edge ? outlineColor : image, 1.0);
}
