#include "files/Files.h"
#include "render/Model.h"
#include "render/Shader.h"

namespace {

struct ModelSource {
    int key;
    const char* path;
    int shader;
};

// Load order matters only for the order of the import messages; the mushroom comes before the tree.
constexpr ModelSource modelTable[] = {
    {MODEL_CHAR, "models/dummy/char.gltf", SHADER_RAWCOLOR},
    {MODEL_CUBE, "models/dummy/cube.gltf", SHADER_RAWCOLOR},
    {MODEL_FLOOR, "models/dummy/floor.gltf", SHADER_DEFAULT},
    {MODEL_POLLEN, "models/dummy/pollen.gltf", SHADER_RAWCOLOR},
    {MODEL_PROJECTILE, "models/dummy/projectile.gltf", SHADER_RAWCOLOR},
    {MODEL_RAINDROP, "models/dummy/raindrop.gltf", SHADER_RAWCOLOR},
    {MODEL_SHROOM, "models/world/shroom.gltf", SHADER_RAWCOLOR},
    {MODEL_TREE, "models/world/tree.gltf", SHADER_RAWCOLOR},
    {MODEL_WOODS, "models/world/woods.gltf", SHADER_RAWCOLOR},
    {MODEL_BUTTERFLY, "models/world/butterfly.gltf", SHADER_RAWCOLOR},
};

ModelRegistry& registry()
{
    static ModelRegistry models;
    return models;
}

} // namespace

void loadModels()
{
    for (const ModelSource& row : modelTable)
        registry()[row.key] = std::make_shared<Model>(assetPath(row.path), getShader(row.shader));
}

std::shared_ptr<Model> getModel(int key)
{
    const auto it = registry().find(key);
    return it == registry().end() ? nullptr : it->second;
}

const ModelRegistry& modelRegistry()
{
    return registry();
}
