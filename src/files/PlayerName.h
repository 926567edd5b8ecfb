#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The name written beside the player's runs: the settings' NAME, else the account's own.

// Characters a name keeps: a full name fits, and so does the best runs' table.
inline constexpr std::size_t maxPlayerNameLength = 20;

// A name being typed: no control characters, no "//" (config.txt would read the rest as a
// comment), at most maxPlayerNameLength characters.
std::string nameAsTyped(std::string_view name);
// A name as the game keeps it: as typed, without blanks at its ends.
std::string cleanPlayerName(std::string_view name);

// The name of an account from its passwd entry: the full name, the GECOS field up to its first
// comma (an "&" in it stands for the login name, capitalised), else the login name itself.
std::string accountName(const char* gecos, const char* login);

// The name the game writes beside a run now: the player_name setting, else the account's.
std::string currentPlayerName();
