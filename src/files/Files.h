#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The asset folder, ending in "/". It is "../../assets/" from the working directory (the game
// runs from build/bin) unless chooseAssetRoot picked another one at start-up.
extern const std::string& assetRoot;

// assetRoot immediately followed by the relative path; nothing is added or normalised.
std::string assetPath(std::string relative);

// Where a build keeps its programs and where its sources keep the assets.
struct BuildTree {
    std::filesystem::path bin;
    std::filesystem::path assets;
    // The compiled catalogues of the translations (LANG/LC_MESSAGES/quillfen.mo).
    std::filesystem::path locale;
};

// This build's own folders, as CMake configured it.
BuildTree thisBuild();

// Chooses the asset folder at start-up from where the game's executable lies. A game whose
// executable is in its build's bin folder runs from a build tree: it takes "../../assets/" from
// the working directory, else its sources' assets. Any other executable is an installed game:
// it takes the installed data folder beside its bin folder and nothing else, so no folder the
// player happens to be in can hand it other files. A folder counts when it holds what the game
// cannot run without, its shaders and models (config.txt is optional: without it the game starts
// with its defaults). One line names the folder chosen when it is not "../../assets/"; with none,
// one message names where the game looked and the result is false.
bool chooseAssetRoot(const std::filesystem::path& executable, const BuildTree& build = thisBuild());

// The folder of the translations' catalogues, found as the assets are: a game in its build's bin
// folder takes its build's, an installed one the locale folder of its prefix (share/locale).
std::filesystem::path catalogueFolder(const std::filesystem::path& executable, const BuildTree& build = thisBuild());

// The running program's own file (empty if the system will not tell).
std::filesystem::path runningExecutable();

// Writes one message to standard output, followed by an end-of-line, and flushes.
void logMessage(std::string message);

// How reading a file went.
enum class FileRead { ok, cannotOpen, notRegular, tooLarge, cannotRead };

// The whole content of a regular file (a link to one is followed) of at most maxBytes. Anything
// else, a folder, a pipe, a device, a larger file, is refused without being read or waited on;
// `content` is then empty.
FileRead readRegularFile(const std::string& path, std::uintmax_t maxBytes, std::string& content);

// The whole regular file as text; on failure an error message (with a listing of the working
// directory when the file cannot be opened or read) and an empty string.
std::string readFile(std::string path);
