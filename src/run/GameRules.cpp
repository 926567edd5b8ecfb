#include "run/GameRules.h"


#include <cmath>

namespace {

constexpr float timeBonusBase = 10.0f;
constexpr float difficultyLimit = 0.9955f;
constexpr float healthPerLevel = 0.5f;

} // namespace

bool isGameOver(float health, float remainingTime)
{
    return health <= 0.0f || remainingTime < 0.0f;
}

float levelTimeBonus(int level, float difficulty)
{
    float d = difficulty;
    if (!(d > 0.0f)) // also catches NaN
        d = 0.0f;
    else if (d >= difficultyLimit)
        d = difficultyLimit;
    const float s = std::sqrt((1.0f - d) * timeBonusBase);
    const float ratio = static_cast<float>(level) / s;
    const float bonus = timeBonusBase - ratio * ratio;
    return bonus > 0.0f ? bonus : 0.0f;
}

void restartRun(RuleState state, float baseHealth)
{
    state.levelTimer = 0.0f;
    state.health = baseHealth;
    state.remainingTime = levelLength;
    state.level = 0;
    state.restarted = true;
}

void applyGameRules(RuleState state, bool restartPressed, float deltaTime, float difficulty, float baseHealth)
{
    if (isGameOver(state.health, state.remainingTime)) {
        if (restartPressed)
            restartRun(state, baseHealth);
    } else if (state.levelTimer > levelLength) {
        state.levelTimer = 0.0f;
        state.level += 1;
        state.remainingTime += levelTimeBonus(state.level, difficulty);
        // Health is refilled, not topped up: damage never carries into the next level.
        state.health = static_cast<float>(state.level) * healthPerLevel + baseHealth;
    }
    state.levelTimer += deltaTime;
}

void noteRunEnd(RuleEvents& events, bool wasPlaying, float health, float remainingTime)
{
    if (!wasPlaying || !isGameOver(health, remainingTime))
        return;
    events.push(health <= 0.0f ? RuleEvent::Died : RuleEvent::OutOfTime);
}
