#pragma once

#include "support/TestSupport.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Small glTF 2.0 files (JSON + .bin + PNG names) written by the tests themselves, so the
// importer is tested on known node trees, materials and geometry.
namespace gltf {

struct MeshData {
    std::string name;
    std::vector<glm::vec3> positions;
    // Left empty to write a mesh without normals or texture coordinates.
    std::vector<glm::vec3> normals;
    std::vector<glm::vec2> uvs;
    std::vector<std::uint32_t> indices;
    int material = -1;
};

struct Material {
    std::string name;
    std::optional<glm::vec4> baseColor;
    std::optional<float> roughness;
    // Image file names beside the model; a specular map is written with the
    // specular-glossiness extension, which the importer reports as a specular texture.
    std::string diffuseImage;
    std::string specularImage;
    // Both sides of its faces are shown (glTF's default is one side only).
    bool doubleSided = false;
};

struct Node {
    std::string name;
    int mesh = -1;
    glm::mat4 matrix{1.0f};
    std::vector<int> children;
};

struct Document {
    std::vector<MeshData> meshes;
    std::vector<Material> materials;
    std::vector<Node> nodes;
    std::vector<int> roots;

    // Writes <relative> and, beside it, the .bin of the same stem, below the sandbox's assets.
    void write(const testkit::AssetSandbox& sandbox, const std::string& relative) const;
};

// An axis-aligned box centred at the origin with flat faces (24 vertices, 12 triangles).
MeshData box(const std::string& name, glm::vec3 halfExtents, int material = -1);
// A square in the z = 0 plane facing +z, with texture coordinates 0..tiles.
MeshData plane(const std::string& name, float halfSize, float tiles = 1.0f, int material = -1);

// A smooth sphere centred at the origin (rings x segments quads).
MeshData sphere(const std::string& name, float radius, int rings, int segments, int material = -1);

// Several meshes, each under its own root node with an identity transform.
Document scene(const std::vector<MeshData>& meshes, const std::vector<Material>& materials);

} // namespace gltf
