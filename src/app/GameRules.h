#pragma once

class Game;

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

// The game is over when health is gone or time has run out (exactly 0 is still playing).
bool isGameOver(float health, float remainingTime);

// Seconds granted when `level` begins: shrinks with the square of the level, sooner
// the higher the difficulty; never negative.
float levelTimeBonus(int level, float difficulty);

// One frame of the rules: restart when over and Enter was released, otherwise a new
// level every 15 s of play; the level timer runs every frame, whatever the state.
void applyGameRules(RuleState state, bool restartPressed, float deltaTime, float difficulty, float baseHealth);

// The same, on the game's player and input.
void applyGameRules(Game& game);
