#version 430 core
// Toon-lit meshes in their material colour, with shadows.

struct Material {
    vec3 color;
    float shininess;
};

struct Light {
    vec3 color;
    vec3 position;
};

uniform Material material;
uniform Light light;
uniform vec3 eyePos;
// Ambient light, the number of toon bands and the strength of the highlight.
uniform float brightness;
uniform float shades;
uniform float specular_intensity;
uniform sampler2D shadowMap;
uniform mat4 shadowPvMatrix;

in VertexData {
    vec3 worldPos;
    vec3 normal;
    vec2 texCoords;
} fs;

out vec4 fragColor;

// Shadow test of one texel of the map; outside the map nothing casts.
float litTexel(ivec2 texel, ivec2 mapSize, float depth)
{
    if (any(lessThan(texel, ivec2(0))) || any(greaterThanEqual(texel, mapSize)))
        return 1.0;
    return depth > texelFetch(shadowMap, texel, 0).r ? 0.0 : 1.0;
}

// The four texel tests around a point, blended by its position between them: edges come out
// smooth instead of in texel-sized steps.
float litBilinear(vec2 position, ivec2 mapSize, float depth)
{
    vec2 p = position - 0.5;
    ivec2 i = ivec2(floor(p));
    vec2 f = p - floor(p);
    float bottom = mix(litTexel(i, mapSize, depth), litTexel(i + ivec2(1, 0), mapSize, depth), f.x);
    float top = mix(litTexel(i + ivec2(0, 1), mapSize, depth), litTexel(i + ivec2(1, 1), mapSize, depth), f.x);
    return mix(bottom, top, f.y);
}

// Fraction of the light reaching this fragment: 1 lit, 0 in shadow, soft over one texel.
float lightVisibility(vec3 n, vec3 l)
{
    // The light's orthographic box gives the size of one shadow texel and of one depth unit.
    ivec2 mapSize = textureSize(shadowMap, 0);
    float unitsPerNdc = 1.0 / length(vec3(shadowPvMatrix[0][0], shadowPvMatrix[1][0], shadowPvMatrix[2][0]));
    float texelWorld = 2.0 * unitsPerNdc / float(mapSize.x);
    float depthPerUnit = 0.5 * length(vec3(shadowPvMatrix[0][2], shadowPvMatrix[1][2], shadowPvMatrix[2][2]));

    float cosTheta = clamp(dot(n, l), 0.0, 1.0);
    float tanTheta = min(sqrt(1.0 - cosTheta * cosTheta) / max(cosTheta, 0.05), 4.0);
    // Look up a little off the surface, and compare with a slope-scaled margin: no acne on
    // surfaces lit at a slant, and the neighbouring texels of the filter stay clear of the surface.
    vec3 lookup = fs.worldPos + n * texelWorld * (0.5 + 0.5 * (1.0 - cosTheta));
    vec4 clip = shadowPvMatrix * vec4(lookup, 1.0);
    vec3 coords = clip.xyz / clip.w * 0.5 + 0.5;
    if (coords.z >= 1.0)
        return 1.0;
    float depth = coords.z - depthPerUnit * texelWorld * (0.6 + 1.5 * tanTheta);

    return litBilinear(coords.xy * vec2(mapSize), mapSize, depth);
}

vec3 shade(vec3 baseColor, float specularMask)
{
    vec3 n = normalize(fs.normal);
    vec3 l = normalize(light.position - fs.worldPos);
    vec3 v = normalize(eyePos - fs.worldPos);
    // Two-sided: a face seen from behind is lit like its front.
    if (!gl_FrontFacing)
        n = -n;

    // Wrapped diffuse cut into bands: faces towards the light take the upper bands, faces away
    // and everything in a cast shadow the lowest one, so shadows read as part of the toon look.
    float bands = max(shades, 1.0);
    float facing = dot(n, l);
    float toon = clamp(ceil((facing * 0.5 + 0.5) * bands - 0.25), 1.0, bands) / bands;
    float visible = facing > 0.0 ? lightVisibility(n, l) : 0.0;
    float level = mix(1.0 / bands, toon, visible);

    float highlight = 0.0;
    if (material.shininess > 0.0 && facing > 0.0) {
        vec3 h = normalize(l + v);
        highlight = step(0.5, pow(max(dot(n, h), 0.0), material.shininess));
    }

    vec3 ambient = brightness * baseColor;
    vec3 diffuse = light.color * level * baseColor;
    vec3 specular = light.color * specular_intensity * highlight * visible * specularMask;
    return ambient + diffuse + specular;
}

void main()
{
    fragColor = vec4(shade(material.color, 1.0), 1.0);
}
