#pragma once

#include <cstdint>

// A world's random sequence: never seeded, so every run builds the same forest and the same
// rain. It reproduces the classic 15-bit C library generator (values 0 to 32767) on every
// platform, whatever the local rand() and its RAND_MAX are. A value: each world draws from its
// own, so two worlds side by side never take numbers from each other.
class WorldRandom {
public:
    static constexpr int maxValue = 32767;

    // The next raw value, 0 to 32767.
    int next();
    // The next value scaled to [0, 1], as next() / 32767.
    float unit();

    bool operator==(const WorldRandom&) const = default;

private:
    std::uint32_t state = 1;
};
