#pragma once

#include <filesystem>
#include <string>

// Where the game keeps what it writes for a player, by the XDG base-directory rules:
// $XDG_DATA_HOME/quillfen (records, replays, screenshots) and $XDG_CONFIG_HOME/quillfen
// (the player's own settings). An unset, empty or relative variable falls back to the
// usual place under $HOME. Empty when there is no home to fall back to.
std::filesystem::path userDataFolder();
std::filesystem::path userConfigFolder();

// Replaces `path` with `content` so that a crash or a power cut leaves either the old file or
// the new one, never a mix: the text goes to a temporary file in the same folder, is flushed
// and synced, then renamed over `path`. Creates the folder when needed. On failure returns
// false with the reason in `error`, and `path` is untouched.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& content, std::string& error);
