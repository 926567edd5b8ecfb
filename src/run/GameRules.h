#pragma once

#include <array>
#include <cstddef>

// Level length in seconds of play, and the remaining time after a restart.
constexpr float levelLength = 15.0f;
// Health at the start and after a restart; each level adds to it.
constexpr float startHealth = 5.0f;

// The values the rules work on; they live in the player and in the game.
struct RuleState {
    int& level;
    float& health;
    float& remainingTime;
    float& levelTimer;
    bool& restarted;
};

// What the rules decided in one step of play. The rules append, everyone else only reads: the
// HUD, the sound, the records and the screens all learn from the same queue, emptied as each
// step of play begins, so nobody works a level-up or a game's end out again on their own.
enum class RuleEvent {
    LevelUp,   // a new level began: health refilled, time bonus granted
    Died,      // health ran out: the run is over
    OutOfTime, // time ran out first: the run is over
    Restarted, // a new run began after the last one ended
};

class RuleEvents {
public:
    static constexpr std::size_t capacity = 8;

    void push(RuleEvent event)
    {
        if (count < capacity)
            events[count++] = event;
    }
    void clear() { count = 0; }
    bool has(RuleEvent event) const
    {
        for (std::size_t i = 0; i < count; ++i)
            if (events[i] == event)
                return true;
        return false;
    }
    std::size_t size() const { return count; }
    const RuleEvent* begin() const { return events.data(); }
    const RuleEvent* end() const { return events.data() + count; }

private:
    std::array<RuleEvent, capacity> events{};
    std::size_t count = 0;
};

// The game is over when health is gone or time has run out (exactly 0 is still playing).
bool isGameOver(float health, float remainingTime);

// Seconds granted when `level` begins: shrinks with the square of the level, sooner
// the higher the difficulty; never negative.
float levelTimeBonus(int level, float difficulty);

// A new run: level 0, base health, a full level's time, the level timer from 0.
void restartRun(RuleState state, float baseHealth);

// One frame of the rules: restart when over and a restart was asked for, otherwise a new
// level every 15 s of play; the level timer runs every frame, whatever the state.
void applyGameRules(RuleState state, bool restartPressed, float deltaTime, float difficulty, float baseHealth);

// After the world has moved: the run that was still on at the start of the step has just ended
// when health or time is gone now. Health running out wins when both go in the same step.
void noteRunEnd(RuleEvents& events, bool wasPlaying, float health, float remainingTime);
