#include "render/Model.h"

#include "files/Files.h"
#include "render/Shader.h"
#include "render/Texture.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <epoxy/gl.h>

#include <cstddef>

namespace {

glm::mat4 toGlm(const aiMatrix4x4& m)
{
    // Assimp stores rows; glm stores columns.
    return glm::mat4(m.a1, m.b1, m.c1, m.d1, m.a2, m.b2, m.c2, m.d2, m.a3, m.b3, m.c3, m.d3, m.a4, m.b4, m.c4, m.d4);
}

// Points four consecutive locations at the columns of one matrix per instance.
void attachInstanceMatrix(GLuint firstLocation)
{
    for (GLuint column = 0; column < 4; ++column) {
        const GLuint location = firstLocation + column;
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, 4, GL_FLOAT, GL_FALSE, sizeof(glm::mat4),
                              reinterpret_cast<void*>(column * sizeof(glm::vec4)));
        glVertexAttribDivisor(location, 1);
    }
}

} // namespace

Model::Model(std::string path, std::shared_ptr<Shader> shader)
    : shader(std::move(shader))
    , path(std::move(path))
{
    const std::size_t slash = this->path.find_last_of('/');
    directory = slash == std::string::npos ? this->path : this->path.substr(0, slash);
    load();
    if (this->shader)
        this->shader->addModel(this);
}

Model::~Model()
{
    if (shader)
        shader->removeModel(this);
}

void Model::load()
{
    Assimp::Importer importer;
    // Meshes stored without normals get smooth ones instead of whatever memory holds.
    const aiScene* scene = importer.ReadFile(path, aiProcess_CalcTangentSpace | aiProcess_Triangulate |
                                                       aiProcess_FlipUVs | aiProcess_GenSmoothNormals);
    if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || !scene->mRootNode) {
        logMessage(std::string("ERROR - ASSIMP: ") + importer.GetErrorString());
        return;
    }
    importNode(scene->mRootNode, scene, glm::mat4(1.0f));

    glGenBuffers(1, &modelMatrixBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, modelMatrixBuffer);
    for (const auto& mesh : meshes) {
        glBindVertexArray(mesh->vao);
        attachInstanceMatrix(3);
        glBindVertexArray(0);
    }
    glGenBuffers(1, &normalMatrixBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, normalMatrixBuffer);
    for (const auto& mesh : meshes) {
        glBindVertexArray(mesh->vao);
        attachInstanceMatrix(7);
        glBindVertexArray(0);
    }
    loaded = true;
}

void Model::importNode(const aiNode* node, const aiScene* scene, const glm::mat4& parentTransform)
{
    const glm::mat4 localTransform = toGlm(node->mTransformation);
    for (unsigned i = 0; i < node->mNumMeshes; ++i)
        meshes.push_back(importMesh(scene->mMeshes[node->mMeshes[i]], scene, parentTransform, localTransform));
    for (unsigned i = 0; i < node->mNumChildren; ++i)
        importNode(node->mChildren[i], scene, parentTransform * localTransform);
}

std::shared_ptr<Mesh> Model::importMesh(const aiMesh* source, const aiScene* scene, const glm::mat4& parentTransform,
                                        const glm::mat4& localTransform)
{
    auto mesh = std::make_shared<Mesh>(parentTransform, localTransform);
    mesh->name = source->mName.C_Str();

    const glm::mat4 placement = parentTransform * localTransform;
    mesh->vertices.reserve(source->mNumVertices);
    mesh->positions.reserve(source->mNumVertices);
    for (unsigned i = 0; i < source->mNumVertices; ++i) {
        MeshVertex vertex;
        const aiVector3D& p = source->mVertices[i];
        vertex.position = glm::vec3(p.x, p.y, p.z);
        if (source->mNormals) {
            const aiVector3D& n = source->mNormals[i];
            vertex.normal = glm::vec3(n.x, n.y, n.z);
        }
        if (source->mTextureCoords[0]) {
            const aiVector3D& t = source->mTextureCoords[0][i];
            vertex.texCoords = glm::vec2(t.x, t.y);
        }
        mesh->vertices.push_back(vertex);
        mesh->positions.push_back(glm::vec3(placement * glm::vec4(vertex.position, 1.0f)));
    }

    // Points and lines that survive triangulation are not drawable as triangles: they are left out.
    for (unsigned i = 0; i < source->mNumFaces; ++i) {
        const aiFace& face = source->mFaces[i];
        if (face.mNumIndices != 3)
            continue;
        mesh->indices.insert(mesh->indices.end(), face.mIndices, face.mIndices + 3);
    }

    const aiMaterial* material = scene->mMaterials[source->mMaterialIndex];
    aiColor3D color(0.0f, 0.0f, 0.0f);
    if (material->Get("$clr.diffuse", 0, 0, color) == aiReturn_SUCCESS)
        mesh->color = glm::vec3(color.r, color.g, color.b);
    else
        mesh->color = glm::vec3(0.0f);
    float shininess = 32.0f;
    if (material->Get("$mat.shininess", 0, 0, shininess) != aiReturn_SUCCESS)
        shininess = 32.0f;
    mesh->shininess = shininess;
    int twoSided = 0;
    mesh->twoSided = material->Get(AI_MATKEY_TWOSIDED, twoSided) == aiReturn_SUCCESS && twoSided != 0;

    const auto diffuse = importTextures(material, aiTextureType_DIFFUSE, "texture_diffuse");
    mesh->textures.insert(mesh->textures.end(), diffuse.begin(), diffuse.end());
    const auto specular = importTextures(material, aiTextureType_SPECULAR, "texture_specular");
    mesh->textures.insert(mesh->textures.end(), specular.begin(), specular.end());

    mesh->createBuffers();
    return mesh;
}

std::vector<MaterialTexture> Model::importTextures(const aiMaterial* material, int textureType,
                                                   const std::string& typeName)
{
    const auto type = static_cast<aiTextureType>(textureType);
    std::vector<MaterialTexture> result;
    const unsigned count = material->GetTextureCount(type);
    for (unsigned i = 0; i < count; ++i) {
        aiString stored;
        aiGetMaterialTexture(material, type, i, &stored, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        const std::string texturePath = stored.C_Str();

        bool cached = false;
        for (const MaterialTexture& entry : textureCache) {
            if (entry.path == texturePath) {
                result.push_back(entry);
                cached = true;
                break;
            }
        }
        if (cached)
            continue;

        MaterialTexture texture;
        texture.id = loadModelTexture(directory, texturePath);
        // loadTexture leaves the texture bound: an image that failed to load left level 0 empty.
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        texture.hasImage = width > 0;
        texture.type = typeName;
        texture.path = texturePath;
        result.push_back(texture);
        textureCache.push_back(texture);
    }
    return result;
}

void Model::addInstance(const glm::mat4& world)
{
    modelMatrices.push_back(world);
    normalMatrices.push_back(glm::transpose(glm::inverse(world)));
    instancesUploaded = false;
}

void Model::draw(Shader& program, bool clear, bool cullBackFaces)
{
    if (!loaded || modelMatrices.empty()) {
        // A model that never loaded still gets instances queued: the main pass drops them.
        if (clear) {
            modelMatrices.clear();
            normalMatrices.clear();
        }
        return;
    }

    // The shadow and lit passes of a frame draw the same instances: one upload serves
    // them all until the lit pass empties the lists.
    if (!instancesUploaded) {
        glBindBuffer(GL_ARRAY_BUFFER, modelMatrixBuffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(modelMatrices.size() * sizeof(glm::mat4)),
                     modelMatrices.data(), GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, normalMatrixBuffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(normalMatrices.size() * sizeof(glm::mat4)),
                     normalMatrices.data(), GL_DYNAMIC_DRAW);
        instancesUploaded = true;
        mirroredInstance = false;
        for (const glm::mat4& world : modelMatrices)
            mirroredInstance = mirroredInstance || glm::determinant(glm::mat3(world)) < 0.0f;
    }

    const int instances = static_cast<int>(modelMatrices.size());
    for (const auto& mesh : meshes)
        mesh->draw(program, instances, cullBackFaces && !mirroredInstance);

    if (clear) {
        modelMatrices.clear();
        normalMatrices.clear();
        instancesUploaded = false;
    }
}
