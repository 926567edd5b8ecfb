#pragma once

#include <cstdint>

// The world's random sequence: never seeded, so every run builds the same forest and the
// same rain. It reproduces the classic 15-bit C library generator (values 0 to 32767)
// on every platform, whatever the local rand() and its RAND_MAX are.
class WorldRandom {
public:
    static constexpr int maxValue = 32767;

    // The next raw value, 0 to 32767.
    static int next();
    // The next value scaled to [0, 1], as next() / 32767.
    static float unit();
    // Back to the start of the sequence: every new world grows from there (so a replay sees the
    // forest it was recorded in), and tests and benchmarks start from a known point.
    static void restart();

    // Where the sequence stands, and back to there: a world set aside (a run paused while a
    // recording is watched) goes on with the numbers it would have drawn.
    static std::uint32_t position() { return state; }
    static void resumeAt(std::uint32_t at) { state = at; }

private:
    static std::uint32_t state;
};
