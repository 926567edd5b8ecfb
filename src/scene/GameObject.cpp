#include "scene/GameObject.h"

#include "render/Model.h"

#include <glm/gtc/matrix_transform.hpp>

std::int32_t objectCount = 0;

GameObject::GameObject()
    : id(objectCount++)
{
}

void GameObject::update(const StepContext& step)
{
    // The size is re-read on every pass: children may be appended while we walk.
    std::size_t i = 0;
    while (i < children.size()) {
        if (children[i]->isDestroyed()) {
            children.erase(children.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        // Held here too: the child's update may drop it from this list.
        const std::shared_ptr<GameObject> child = children[i];
        child->update(step);
        ++i;
    }
}

void GameObject::draw()
{
    for (std::size_t i = 0; i < children.size(); ++i)
        children[i]->draw();
}

glm::mat4 GameObject::getModelMatrix()
{
    return modelMatrix;
}

void GameObject::addChild(std::shared_ptr<GameObject> child)
{
    if (!child)
        return;
    GameObject* raw = child.get();
    children.push_back(std::move(child));
    raw->parent = this;
}

bool GameObject::isDestroyed()
{
    return destroyed;
}

void GameObject::setPosition(glm::vec3 value)
{
    position = value;
    refreshModelMatrix();
}

void GameObject::setRotation(glm::vec3 value)
{
    rotation = value;
    refreshModelMatrix();
}

void GameObject::setScale(glm::vec3 value)
{
    scale = value;
    refreshModelMatrix();
}

glm::mat4 GameObject::getWorldMatrix()
{
    if (parent)
        return parent->getWorldMatrix() * getModelMatrix();
    return getModelMatrix();
}

glm::vec3 GameObject::getPosition()
{
    return position;
}

glm::vec3 GameObject::getRotation()
{
    return rotation;
}

glm::vec3 GameObject::getScale()
{
    return scale;
}

void GameObject::refreshModelMatrix()
{
    glm::mat4 m = glm::translate(glm::mat4(1.0f), position);
    m = glm::rotate(m, rotation.x, glm::vec3(1.0f, 0.0f, 0.0f));
    m = glm::rotate(m, rotation.y, glm::vec3(0.0f, 1.0f, 0.0f));
    m = glm::rotate(m, rotation.z, glm::vec3(0.0f, 0.0f, 1.0f));
    modelMatrix = glm::scale(m, scale);
}

Drawable::Drawable(std::shared_ptr<Model> model)
    : model(std::move(model))
{
}

void Drawable::draw()
{
    if (model) {
        model->addInstance(getWorldMatrix());
    }
    GameObject::draw();
}
