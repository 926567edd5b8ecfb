#pragma once

// The settings that change what the world does: how hard it is, how fast the creature flies
// and how the view turns. A recording carries them, so it plays by the rules it was made under.
struct RuleSettings {
    float difficulty = 0.0f;
    float moveSensitivity = 0.0f;
    float sensitivity = 0.0f;
    float invertMouse = 0.0f;
    bool operator==(const RuleSettings&) const = default;
};

// The rules one run plays by, fixed when the run is made: the settings above and the health
// each game starts from.
struct RunRules {
    RuleSettings settings;
    float baseHealth = 5.0f;

    // The game's own defaults, whatever the player's file says: a probe of the world flies by these.
    static RunRules defaults();
    // The player's settings as they are now.
    static RunRules configured();
};
