#pragma once

#include <glm/glm.hpp>

#include <array>
#include <cstddef>

// What happened to the player this frame that the ear should hear, and where.
enum class SoundCue {
    Pollen,    // a pollen collected, at the pollen
    DropHit,   // a raindrop hit the creature, at the drop
    Knockback, // a tree or mushroom knocked it back, at the creature
};

struct SoundEvent {
    SoundCue cue = SoundCue::Pollen;
    glm::vec3 position{0.0f};
};

// The game's events of one frame, appended by the world as they happen and heard once by the
// audio update after physics. Fixed capacity, so a busy frame never allocates; what does not
// fit is dropped, as no ear tells the seventeenth pollen chime of a frame from the sixteenth.
class SoundEvents {
public:
    static constexpr std::size_t capacity = 16;

    void push(SoundCue cue, glm::vec3 position)
    {
        if (count < capacity)
            events[count++] = {cue, position};
    }
    void clear() { count = 0; }
    std::size_t size() const { return count; }
    const SoundEvent* begin() const { return events.data(); }
    const SoundEvent* end() const { return events.data() + count; }

private:
    std::array<SoundEvent, capacity> events{};
    std::size_t count = 0;
};
