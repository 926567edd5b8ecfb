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

// How much of the diffuse light is left inside a shadow, so shaded parts keep their colour
// and do not melt into the black outlines.
const float shadowLight = 0.35;

// Fraction of the light reaching this fragment: 1 lit, 0 in shadow, soft at the edges.
float lightVisibility(vec3 n, vec3 l)
{
    // The light's orthographic box gives the size of one shadow texel and of one depth unit.
    vec2 mapSize = vec2(textureSize(shadowMap, 0));
    float unitsPerNdc = 1.0 / length(vec3(shadowPvMatrix[0][0], shadowPvMatrix[1][0], shadowPvMatrix[2][0]));
    float texelWorld = 2.0 * unitsPerNdc / mapSize.x;
    float depthPerUnit = 0.5 * length(vec3(shadowPvMatrix[0][2], shadowPvMatrix[1][2], shadowPvMatrix[2][2]));

    float cosTheta = clamp(dot(n, l), 0.0, 1.0);
    float tanTheta = min(sqrt(1.0 - cosTheta * cosTheta) / max(cosTheta, 0.05), 4.0);
    // Look up a little off the surface, and compare with a slope-scaled margin: no acne on
    // surfaces lit at a slant, and the filter's outer taps stay clear of the surface itself.
    vec3 lookup = fs.worldPos + n * texelWorld * (0.5 + 0.5 * (1.0 - cosTheta));
    vec4 clip = shadowPvMatrix * vec4(lookup, 1.0);
    vec3 coords = clip.xyz / clip.w * 0.5 + 0.5;
    if (coords.z >= 1.0)
        return 1.0;
    float bias = depthPerUnit * texelWorld * (0.6 + 1.5 * tanTheta);

    // 4 x 4 taps between texel centres: a soft edge without jagged steps.
    vec2 texel = 1.0 / mapSize;
    float visible = 0.0;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            vec2 offset = (vec2(x, y) - 1.5) * texel;
            float nearest = texture(shadowMap, coords.xy + offset).r;
            visible += coords.z - bias > nearest ? 0.0 : 1.0;
        }
    }
    return visible / 16.0;
}

vec3 shade(vec3 baseColor, float specularMask)
{
    vec3 n = normalize(fs.normal);
    vec3 l = normalize(light.position - fs.worldPos);
    vec3 v = normalize(eyePos - fs.worldPos);
    // Two-sided: a face seen from behind is lit like its front.
    if (dot(n, v) < 0.0)
        n = -n;

    float bands = max(shades, 1.0);
    float diffuse = max(dot(n, l), 0.0);
    float toon = ceil(diffuse * bands) / bands;
    float visible = diffuse > 0.0 ? lightVisibility(n, l) : 0.0;

    float highlight = 0.0;
    if (material.shininess > 0.0 && diffuse > 0.0) {
        vec3 h = normalize(l + v);
        highlight = step(0.5, pow(max(dot(n, h), 0.0), material.shininess));
    }

    vec3 ambient = brightness * baseColor;
    vec3 lit = light.color * toon * mix(shadowLight, 1.0, visible) * baseColor;
    vec3 specular = light.color * specular_intensity * highlight * visible * specularMask;
    return ambient + lit + specular;
}

void main()
{
    fragColor = vec4(shade(material.color, 1.0), 1.0);
}
