#pragma once

#include <filesystem>
#include <string>

// The asset folder, ending in "/". It is "../../assets/" from the working directory (the game
// runs from build/bin) unless chooseAssetRoot picked another one at start-up.
extern const std::string& assetRoot;

// assetRoot immediately followed by the relative path; nothing is added or normalised.
std::string assetPath(std::string relative);

// Looks for the assets, in this order, wherever the game was started from: "../../assets/"
// from the working directory, "../../assets/" from the executable's folder (a build inside the
// repository), then the installed data folder beside the executable's bin folder. The first
// that holds "config.txt" becomes the asset root; one line names it when it is not the first.
// With none, one message names all three places and the result is false.
bool chooseAssetRoot(const std::filesystem::path& executable);

// The running program's own file (empty if the system will not tell).
std::filesystem::path runningExecutable();

// Writes one message to standard output, followed by an end-of-line, and flushes.
void logMessage(std::string message);

// The whole file as text; on failure an error message, a listing of the working
// directory, and an empty string.
std::string readFile(std::string path);
