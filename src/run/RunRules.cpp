#include "run/RunRules.h"

#include "files/Config.h"
#include "run/GameRules.h"

namespace {

float defaultOf(const char* key)
{
    return findSetting(key)->defaultValue;
}

} // namespace

RunRules RunRules::defaults()
{
    RunRules rules;
    rules.settings = {defaultOf("difficulty"), defaultOf("moveSensitivity"), defaultOf("sensitivity"),
                      defaultOf("invert_mouse")};
    rules.baseHealth = startHealth;
    return rules;
}

RunRules RunRules::configured()
{
    RunRules rules;
    rules.settings = {difficulty, moveSensitivity, sensitivity, invert_mouse};
    rules.baseHealth = startHealth;
    return rules;
}
