#version 430 core
// Black outlines where the depth or the colour of the scene changes sharply; the image elsewhere.
// Below a render scale of 1 the outlines are only marked, in the alpha (see pp_upscale.frag).

uniform sampler2D colorTex;
uniform sampler2D depthTex;
uniform vec3 outlineColor;
uniform float near;
uniform float far;
// Mark the outlines in the alpha, leaving the image in the colour, instead of drawing them.
uniform bool markOnly;

in vec2 uv;
out vec4 fragColor;

// Relative jump of 1/depth that marks a silhouette or a sharp crease.
const float depthEdge = 0.003;
// Change of hue that marks a colour edge between materials, where the surface also bends or
// steps at least a little: patterns painted on one flat surface (the floor's moss) stay unlined.
const float colorEdge = 0.12;
const float colorEdgeDepth = 0.0005;

// Colour with its brightness divided out: toon bands and shadows scale a surface's colour and
// leave this alone, so only a change of material shows. Near-black counts as neutral.
vec3 hue(vec3 c)
{
    float sum = c.r + c.g + c.b;
    return sum > 0.06 ? c / sum : vec3(1.0 / 3.0);
}

void main()
{
    ivec2 p = ivec2(gl_FragCoord.xy);
    ivec2 last = textureSize(colorTex, 0) - 1;
    // The four neighbours, clamped to the image.
    ivec2 left = ivec2(max(p.x - 1, 0), p.y);
    ivec2 right = ivec2(min(p.x + 1, last.x), p.y);
    ivec2 below = ivec2(p.x, max(p.y - 1, 0));
    ivec2 above = ivec2(p.x, min(p.y + 1, last.y));

    // 1/depth is affine in the stored depth, 1/depth = (far - d (far - near)) / (near far), and on
    // any flat surface affine across the screen too: its Laplacian vanishes there and only
    // silhouettes and creases stand out, however slanted the surface. Relative to the centre's.
    // Two gathers of 2 x 2 depths, centred on the pixel's upper left and lower right corners,
    // hold the pixel and its four neighbours (the depth target clamps at its edges, as the colour
    // fetches below do).
    vec2 texel = 1.0 / vec2(textureSize(depthTex, 0));
    vec4 upperLeft = textureGather(depthTex, (vec2(p) + vec2(0.0, 1.0)) * texel);
    vec4 lowerRight = textureGather(depthTex, (vec2(p) + vec2(1.0, 0.0)) * texel);
    float d = upperLeft.z;
    float around = upperLeft.w + upperLeft.y + lowerRight.y + lowerRight.w;
    float slope = far - near;
    float depthJump = abs((around - 4.0 * d) * slope) / (far - d * slope);

    vec3 image = texelFetch(colorTex, p, 0).rgb;
    bool edge = depthJump > depthEdge;
    if (!edge && depthJump > colorEdgeDepth) {
        // Central differences of the hue across the pixel.
        vec3 gx = hue(texelFetch(colorTex, right, 0).rgb) - hue(texelFetch(colorTex, left, 0).rgb);
        vec3 gy = hue(texelFetch(colorTex, above, 0).rgb) - hue(texelFetch(colorTex, below, 0).rgb);
        edge = dot(gx, gx) + dot(gy, gy) > colorEdge * colorEdge;
    }
    fragColor = markOnly ? vec4(image, edge ? 1.0 : 0.0) : vec4(edge ? outlineColor : image, 1.0);
}
