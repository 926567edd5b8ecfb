#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ConvexHull;
class Shader;

// One vertex as the GPU reads it: 32 bytes, tightly packed.
struct MeshVertex {
    glm::vec3 position{0.0f};
    glm::vec3 normal{0.0f};
    glm::vec2 texCoords{0.0f};
};
static_assert(sizeof(MeshVertex) == 32, "the vertex layout of the mesh programs expects 32-byte vertices");

// A texture named by a material; path is the model file's own string, the key of the model's cache.
struct MaterialTexture {
    std::uint32_t id = 0;
    std::string type;
    std::string path;
    // False when the image could not be loaded: the texture is still bound, but not counted as a map.
    bool hasImage = true;
};

// One drawable piece of a model: geometry, material and its placement inside the model.
// Constructible and usable without OpenGL until createBuffers is called.
class Mesh {
public:
    Mesh(glm::mat4 parentTransform, glm::mat4 localTransform);
    ~Mesh();

    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Uploads vertices and indices and records locations 0..2 in the vertex array.
    void createBuffers();
    // One instanced draw with the mesh's placement and material; the program must be current.
    // With cullBackFaces the faces turned away are skipped, unless the material is two-sided
    // or the mesh's placement mirrors it (which turns its faces inside out).
    void draw(Shader& shader, int instances, bool cullBackFaces = false);
    // Material textures on units 1 and up, samplers "texture_diffuse1", "texture_specular1", ...
    // Also sets "diffuseMaps" and "specularMaps" to the number of maps with an image: samplers
    // keep the previous mesh's units and a texture without an image reads black, so a program
    // tells from these whether this material has a map at all.
    void bindTextures(Shader& shader);

    // Accumulated transform of the node chain above the mesh's node.
    glm::mat4 parentTransform;
    // Transform of the mesh's own node.
    glm::mat4 localTransform;
    std::vector<MeshVertex> vertices;
    // Vertex positions in model space (parentTransform * localTransform * position).
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    // Diffuse textures first, then specular ones.
    std::vector<MaterialTexture> textures;
    glm::vec3 color{0.0f};
    float shininess = 32.0f;
    // The material shows both sides of its faces: the mesh may be open, so no face may be skipped
    // for turning away from the viewer. Models mark closed meshes one-sided (glTF's default).
    bool twoSided = false;
    std::string name;
    std::uint32_t vao = 0;
    std::uint32_t vbo = 0;
    std::uint32_t ebo = 0;
    // Collision hull cooked from positions on first use and shared by every body made from this mesh.
    std::shared_ptr<ConvexHull> convexMesh;

private:
    // Names the vertex array uniquely, so the destructor can tell its own objects from those
    // of a later context that reused the same names.
    std::string glLabel;
};

// Instanced draws issued by all meshes since the program started (tests compare it across a frame).
std::uint64_t meshDrawCalls();
// Triangles those draws sent, every instance counted (the frame benchmark reports them).
std::uint64_t meshTriangles();
