#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <optional>

// The last picture of a world that stands still (under a menu), kept at the window's size: the
// frames that show it again copy it to the window instead of drawing the world anew.
class HeldPicture {
public:
    // Everything the picture depends on: any change and the world is drawn again.
    struct Key {
        const void* world = nullptr;
        glm::mat4 viewProjection{1.0f};
        glm::vec3 eye{0.0f};
        glm::vec3 lightColor{0.0f};
        glm::vec3 lightPosition{0.0f};
        float ambient = 0.0f;
        glm::ivec2 window{0};
        glm::ivec2 shadowMap{0};
        float renderScale = 1.0f;
        bool wireframe = false;
        // The programs' loads added up: F5 gives new ones.
        std::uint32_t programLoads = 0;
        bool operator==(const Key&) const = default;
    };

    // The texture goes with release(), while the context is current; a destructor cannot know
    // that it still is.
    HeldPicture() = default;
    HeldPicture(const HeldPicture&) = delete;
    HeldPicture& operator=(const HeldPicture&) = delete;

    // Copies the picture held for `key` into the window's framebuffer; false, drawing nothing,
    // when the picture held is of something else (or none is).
    bool show(const Key& key);
    // Keeps what the window's framebuffer holds now as the picture for `key`.
    void hold(const Key& key);
    // The picture is forgotten (the world moves again); its texture is kept for the next time.
    void forget() { held.reset(); }
    void release();

private:
    std::optional<Key> held;
    std::uint32_t texture = 0;
    std::uint32_t framebuffer = 0;
    glm::ivec2 size{0};
};
