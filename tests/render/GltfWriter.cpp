#include "GltfWriter.h"

#include <glm/gtc/type_ptr.hpp>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace gltf {
namespace {

struct BinaryBuilder {
    std::string bytes;
    std::ostringstream views;
    std::ostringstream accessors;
    int count = 0;

    template <typename T>
    int add(const std::vector<T>& data, int componentType, const char* type, int target, const std::string& bounds)
    {
        const std::size_t offset = bytes.size();
        bytes.resize(offset + data.size() * sizeof(T));
        std::memcpy(bytes.data() + offset, data.data(), data.size() * sizeof(T));
        if (count > 0) {
            views << ",";
            accessors << ",";
        }
        views << "{\"buffer\":0,\"byteOffset\":" << offset << ",\"byteLength\":" << data.size() * sizeof(T)
              << ",\"target\":" << target << "}";
        accessors << "{\"bufferView\":" << count << ",\"componentType\":" << componentType
                  << ",\"count\":" << data.size() << ",\"type\":\"" << type << "\"" << bounds << "}";
        return count++;
    }
};

std::string positionBounds(const std::vector<glm::vec3>& positions)
{
    glm::vec3 lo(positions.empty() ? glm::vec3(0.0f) : positions[0]);
    glm::vec3 hi = lo;
    for (const glm::vec3& p : positions) {
        lo = glm::min(lo, p);
        hi = glm::max(hi, p);
    }
    std::ostringstream out;
    out << ",\"min\":[" << lo.x << "," << lo.y << "," << lo.z << "],\"max\":[" << hi.x << "," << hi.y << "," << hi.z
        << "]";
    return out.str();
}

} // namespace

void Document::write(const testkit::AssetSandbox& sandbox, const std::string& relative) const
{
    const std::filesystem::path gltfPath(relative);
    const std::string binName = gltfPath.stem().string() + ".bin";

    constexpr int floatType = 5126;
    constexpr int uintType = 5125;
    constexpr int arrayBuffer = 34962;
    constexpr int elementBuffer = 34963;

    BinaryBuilder binary;
    std::ostringstream meshJson;
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        const MeshData& mesh = meshes[m];
        std::ostringstream attributes;
        attributes << "\"POSITION\":"
                   << binary.add(mesh.positions, floatType, "VEC3", arrayBuffer, positionBounds(mesh.positions));
        if (!mesh.normals.empty())
            attributes << ",\"NORMAL\":" << binary.add(mesh.normals, floatType, "VEC3", arrayBuffer, "");
        if (!mesh.uvs.empty())
            attributes << ",\"TEXCOORD_0\":" << binary.add(mesh.uvs, floatType, "VEC2", arrayBuffer, "");
        const int indices = binary.add(mesh.indices, uintType, "SCALAR", elementBuffer, "");
        meshJson << (m ? "," : "") << "{\"name\":\"" << mesh.name << "\",\"primitives\":[{\"attributes\":{"
                 << attributes.str() << "},\"indices\":" << indices;
        if (mesh.material >= 0)
            meshJson << ",\"material\":" << mesh.material;
        meshJson << "}]}";
    }

    std::vector<std::string> images;
    auto imageIndex = [&images](const std::string& uri) {
        for (std::size_t i = 0; i < images.size(); ++i)
            if (images[i] == uri)
                return static_cast<int>(i);
        images.push_back(uri);
        return static_cast<int>(images.size() - 1);
    };

    std::ostringstream materialJson;
    bool usesSpecularGlossiness = false;
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const Material& material = materials[i];
        materialJson << (i ? "," : "") << "{\"name\":\"" << material.name << "\"";
        if (material.doubleSided)
            materialJson << ",\"doubleSided\":true";
        if (!material.specularImage.empty()) {
            usesSpecularGlossiness = true;
            materialJson << ",\"extensions\":{\"KHR_materials_pbrSpecularGlossiness\":{";
            if (material.baseColor)
                materialJson << "\"diffuseFactor\":[" << material.baseColor->r << "," << material.baseColor->g << ","
                             << material.baseColor->b << "," << material.baseColor->a << "],";
            if (!material.diffuseImage.empty())
                materialJson << "\"diffuseTexture\":{\"index\":" << imageIndex(material.diffuseImage) << "},";
            materialJson << "\"specularGlossinessTexture\":{\"index\":" << imageIndex(material.specularImage)
                         << "}}}";
        } else {
            std::ostringstream pbr;
            const char* separator = "";
            if (material.baseColor) {
                pbr << "\"baseColorFactor\":[" << material.baseColor->r << "," << material.baseColor->g << ","
                    << material.baseColor->b << "," << material.baseColor->a << "]";
                separator = ",";
            }
            if (material.roughness) {
                pbr << separator << "\"roughnessFactor\":" << *material.roughness << ",\"metallicFactor\":0";
                separator = ",";
            }
            if (!material.diffuseImage.empty())
                pbr << separator << "\"baseColorTexture\":{\"index\":" << imageIndex(material.diffuseImage) << "}";
            materialJson << ",\"pbrMetallicRoughness\":{" << pbr.str() << "}";
        }
        materialJson << "}";
    }

    std::ostringstream nodeJson;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Node& node = nodes[i];
        nodeJson << (i ? "," : "") << "{\"name\":\"" << node.name << "\"";
        if (node.mesh >= 0)
            nodeJson << ",\"mesh\":" << node.mesh;
        if (node.matrix != glm::mat4(1.0f)) {
            const float* m = glm::value_ptr(node.matrix);
            nodeJson << ",\"matrix\":[";
            for (int k = 0; k < 16; ++k)
                nodeJson << (k ? "," : "") << m[k];
            nodeJson << "]";
        }
        if (!node.children.empty()) {
            nodeJson << ",\"children\":[";
            for (std::size_t k = 0; k < node.children.size(); ++k)
                nodeJson << (k ? "," : "") << node.children[k];
            nodeJson << "]";
        }
        nodeJson << "}";
    }

    std::ostringstream json;
    json.precision(9);
    json << "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[";
    for (std::size_t i = 0; i < roots.size(); ++i)
        json << (i ? "," : "") << roots[i];
    json << "]}],\"nodes\":[" << nodeJson.str() << "],\"meshes\":[" << meshJson.str() << "]";
    if (!materials.empty())
        json << ",\"materials\":[" << materialJson.str() << "]";
    if (!images.empty()) {
        json << ",\"images\":[";
        for (std::size_t i = 0; i < images.size(); ++i)
            json << (i ? "," : "") << "{\"uri\":\"" << images[i] << "\"}";
        json << "],\"textures\":[";
        for (std::size_t i = 0; i < images.size(); ++i)
            json << (i ? "," : "") << "{\"source\":" << i << "}";
        json << "]";
    }
    if (usesSpecularGlossiness)
        json << ",\"extensionsUsed\":[\"KHR_materials_pbrSpecularGlossiness\"]";
    json << ",\"buffers\":[{\"uri\":\"" << binName << "\",\"byteLength\":" << binary.bytes.size() << "}]"
         << ",\"bufferViews\":[" << binary.views.str() << "],\"accessors\":[" << binary.accessors.str() << "]}";

    sandbox.write(relative, json.str());
    sandbox.write((gltfPath.parent_path() / binName).string(), binary.bytes);
}

MeshData box(const std::string& name, glm::vec3 h, int material)
{
    MeshData mesh;
    mesh.name = name;
    mesh.material = material;
    const glm::vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {1.0f, -1.0f}) {
            const glm::vec3 n = axes[axis] * sign;
            const glm::vec3 u = axes[(axis + 1) % 3];
            const glm::vec3 v = glm::cross(n, u);
            const auto base = static_cast<std::uint32_t>(mesh.positions.size());
            const glm::vec2 corners[4] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
            for (const glm::vec2& c : corners) {
                mesh.positions.push_back((n + u * c.x + v * c.y) * h);
                mesh.normals.push_back(n);
                mesh.uvs.push_back(c * 0.5f + 0.5f);
            }
            for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u})
                mesh.indices.push_back(base + i);
        }
    }
    return mesh;
}

MeshData plane(const std::string& name, float halfSize, float tiles, int material)
{
    MeshData mesh;
    mesh.name = name;
    mesh.material = material;
    mesh.positions = {{-halfSize, -halfSize, 0}, {halfSize, -halfSize, 0}, {halfSize, halfSize, 0}, {-halfSize, halfSize, 0}};
    mesh.normals.assign(4, glm::vec3(0, 0, 1));
    mesh.uvs = {{0, 0}, {tiles, 0}, {tiles, tiles}, {0, tiles}};
    mesh.indices = {0, 1, 2, 0, 2, 3};
    return mesh;
}

MeshData sphere(const std::string& name, float radius, int rings, int segments, int material)
{
    MeshData mesh;
    mesh.name = name;
    mesh.material = material;
    const float pi = 3.14159265f;
    for (int ring = 0; ring <= rings; ++ring) {
        const float polar = pi * static_cast<float>(ring) / static_cast<float>(rings);
        for (int segment = 0; segment <= segments; ++segment) {
            const float azimuth = 2.0f * pi * static_cast<float>(segment) / static_cast<float>(segments);
            const glm::vec3 n(std::sin(polar) * std::cos(azimuth), std::sin(polar) * std::sin(azimuth), std::cos(polar));
            mesh.positions.push_back(n * radius);
            mesh.normals.push_back(n);
            mesh.uvs.emplace_back(static_cast<float>(segment) / static_cast<float>(segments),
                                  static_cast<float>(ring) / static_cast<float>(rings));
        }
    }
    const auto row = static_cast<std::uint32_t>(segments + 1);
    for (std::uint32_t ring = 0; ring < static_cast<std::uint32_t>(rings); ++ring)
        for (std::uint32_t segment = 0; segment < static_cast<std::uint32_t>(segments); ++segment) {
            const std::uint32_t a = ring * row + segment;
            const std::uint32_t b = a + row;
            // Counter-clockwise seen from outside.
            for (std::uint32_t i : {a, b, a + 1, a + 1, b, b + 1})
                mesh.indices.push_back(i);
        }
    return mesh;
}

Document scene(const std::vector<MeshData>& meshes, const std::vector<Material>& materials)
{
    Document document;
    document.meshes = meshes;
    document.materials = materials;
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        Node node;
        node.name = meshes[i].name + "Node";
        node.mesh = static_cast<int>(i);
        document.nodes.push_back(node);
        document.roots.push_back(static_cast<int>(i));
    }
    return document;
}

} // namespace gltf
