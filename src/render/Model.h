#pragma once

#include "render/Mesh.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class Shader;
struct aiMaterial;
struct aiMesh;
struct aiNode;
struct aiScene;

// One imported model file; scene objects queue instances into it every frame and it
// draws them all with one instanced draw per mesh.
class Model {
public:
    // An empty model without a file or program: it collects instances and draws nothing.
    Model() = default;
    // Imports the file and registers with the program; a failed import leaves an empty model.
    Model(std::string path, std::shared_ptr<Shader> shader);
    ~Model();

    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    void load();
    // Draws every queued instance with one instanced draw per mesh; clear empties the lists.
    // cullBackFaces skips the faces of closed meshes that turn away from the viewer: the camera's
    // passes, which never see them (the light's pass draws every face, for the shadows' sake).
    void draw(Shader& shader, bool clear, bool cullBackFaces = false);
    // Queues one instance at that world placement for this frame's passes.
    void addInstance(const glm::mat4& world);

    // In depth-first node order, and within a node in its mesh order.
    std::vector<std::shared_ptr<Mesh>> meshes;
    // Every texture loaded for this model, looked up by its path in the model file.
    std::vector<MaterialTexture> textureCache;
    std::shared_ptr<Shader> shader;
    // World and normal matrices of the instances queued this frame, same length and order.
    std::vector<glm::mat4> modelMatrices;
    std::vector<glm::mat4> normalMatrices;
    // The instances of the previous frame, and whether the shadow map's cache of still casters
    // holds this model's depths (Shadows).
    std::vector<glm::mat4> previousMatrices;
    bool inShadowCache = false;
    // Whether the buffers hold the queued instances: the passes after the first draw from them.
    bool instancesUploaded = false;
    // Whether an uploaded instance mirrors the model, turning its faces inside out.
    bool mirroredInstance = false;
    std::uint32_t modelMatrixBuffer = 0;
    std::uint32_t normalMatrixBuffer = 0;
    std::string path;
    // path up to its last "/", or the whole path when it has none.
    std::string directory;
    bool loaded = false;

private:
    void importNode(const aiNode* node, const aiScene* scene, const glm::mat4& parentTransform);
    std::shared_ptr<Mesh> importMesh(const aiMesh* source, const aiScene* scene, const glm::mat4& parentTransform,
                                     const glm::mat4& localTransform);
    // type is an aiTextureType.
    std::vector<MaterialTexture> importTextures(const aiMaterial* material, int type, const std::string& typeName);
};

constexpr int MODEL_CHAR = 0;
constexpr int MODEL_CUBE = 1;
constexpr int MODEL_FLOOR = 2;
constexpr int MODEL_POLLEN = 3;
constexpr int MODEL_PROJECTILE = 4;
constexpr int MODEL_RAINDROP = 5;
constexpr int MODEL_TREE = 6;
constexpr int MODEL_SHROOM = 7;
constexpr int MODEL_WOODS = 8;
constexpr int MODEL_BUTTERFLY = 9;

using ModelRegistry = std::map<int, std::shared_ptr<Model>>;

// Imports the ten models of the game with their programs; needs loadShaders first.
void loadModels();
// The model stored under key, or an empty pointer for a key never loaded.
std::shared_ptr<Model> getModel(int key);
const ModelRegistry& modelRegistry();
