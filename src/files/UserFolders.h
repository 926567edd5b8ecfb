#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// Where the game keeps what it writes for a player, by the XDG base-directory rules:
// $XDG_DATA_HOME/quillfen (records, replays, screenshots) and $XDG_CONFIG_HOME/quillfen
// (the player's own settings). An unset, empty or relative variable falls back to the
// usual place under $HOME. Empty when there is no home to fall back to.
std::filesystem::path userDataFolder();
std::filesystem::path userConfigFolder();
// Where the game keeps what it can work out again: $XDG_CACHE_HOME/quillfen (or ~/.cache/quillfen).
std::filesystem::path userCacheFolder();

// Replaces `path` with `content` so that a crash or a power cut leaves either the old file or
// the new one, never a mix: the text goes to a temporary file in the same folder (hidden, named
// ".NAME.quillfen-tmp-XXXXXX"), is flushed and synced, then renamed over `path`. Creates the
// folder when needed. A link is written through to the file it names (which it creates when
// missing), and the file keeps its permissions; a read-only file is refused. On failure returns
// false with the reason in `error`, and `path` is untouched.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& content, std::string& error);

// Moves a damaged file (or whatever stands at `path`) out of the way, to a name that nothing has
// yet: `path`.bad, else `path`.bad.1, `path`.bad.2, ... An earlier copy is never overwritten.
// Returns the new name, or an empty path with the reason in `error`.
std::filesystem::path moveAside(const std::filesystem::path& path, std::string& error);

// A write cut short (a crash, a power cut, a killed game) leaves its temporary file behind, and
// a replay's can be tens of megabytes. Removes those of the game's own writes in the data folder
// and its replays folder: regular files named exactly as writeFileAtomically names them and
// untouched for ten minutes, so that another copy of the game writing at this moment is left
// alone. A player's own files never match. Returns how many were removed. Called once as the game starts.
std::size_t removeStaleTemporaryFiles();
