#version 430 core
// Toon-lit textured meshes: diffuse map times material colour, optional specular map, shadows.

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
// Compares with a 2 x 2 filter: edges come out smooth instead of in texel-sized steps, and
// anything outside the map reads as the far plane, unshadowed.
uniform sampler2DShadow shadowMap;
uniform mat4 shadowPvMatrix;
// Size of one shadow texel in world units, and the map's depth per world unit along the light.
uniform float shadowTexelWorld;
uniform float shadowDepthPerUnit;

in VertexData {
    vec3 worldPos;
    vec3 normal;
    vec2 texCoords;
    vec3 shadowCoords;
    flat float highlightCos;
} fs;

out vec4 fragColor;

// Fraction of the light reaching this fragment: 1 lit, 0 in shadow, soft over one texel.
float lightVisibility(vec3 n, float cosTheta)
{
    float tanTheta = min(sqrt(1.0 - cosTheta * cosTheta) / max(cosTheta, 0.05), 4.0);
    // Look up a little off the surface, and compare with a slope-scaled margin: no acne on
    // surfaces lit at a slant, and the neighbouring texels of the filter stay clear of the surface.
    float offset = shadowTexelWorld * (0.5 + 0.5 * (1.0 - cosTheta));
    vec3 coords = fs.shadowCoords + (mat3(shadowPvMatrix) * n) * (0.5 * offset);
    if (coords.z >= 1.0)
        return 1.0;
    float depth = coords.z - shadowDepthPerUnit * shadowTexelWorld * (0.6 + 1.5 * tanTheta);
    return texture(shadowMap, vec3(coords.xy, depth));
}

vec3 shade(vec3 baseColor, float specularMask)
{
    vec3 n = normalize(fs.normal);
    vec3 l = normalize(light.position - fs.worldPos);
    // Two-sided: a face seen from behind is lit like its front.
    if (!gl_FrontFacing)
        n = -n;

    // Wrapped diffuse cut into bands: faces towards the light take the upper bands, faces away
    // and everything in a cast shadow the lowest one, so shadows read as part of the toon look.
    float bands = max(shades, 1.0);
    float facing = dot(n, l);
    float toon = clamp(ceil((facing * 0.5 + 0.5) * bands - 0.25), 1.0, bands) / bands;
    float visible = 0.0;
    float highlight = 0.0;
    if (facing > 0.0) {
        visible = lightVisibility(n, min(facing, 1.0));
        vec3 h = normalize(l + normalize(eyePos - fs.worldPos));
        highlight = dot(n, h) >= fs.highlightCos ? 1.0 : 0.0;
    }
    float level = mix(1.0 / bands, toon, visible);

    vec3 ambient = brightness * baseColor;
    vec3 diffuse = light.color * level * baseColor;
    vec3 specular = light.color * specular_intensity * highlight * visible * specularMask;
    return ambient + diffuse + specular;
}

uniform sampler2D texture_diffuse1;
uniform sampler2D texture_specular1;
// How many maps of each kind this material has (with an image); without one the sampler is stale.
uniform int diffuseMaps;
uniform int specularMaps;

void main()
{
    vec3 baseColor = material.color;
    if (diffuseMaps > 0)
        baseColor *= texture(texture_diffuse1, fs.texCoords).rgb;
    float specularMask = 1.0;
    if (specularMaps > 0)
        specularMask = texture(texture_specular1, fs.texCoords).r;
    fragColor = vec4(shade(baseColor, specularMask), 1.0);
}
