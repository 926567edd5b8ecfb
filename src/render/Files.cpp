#include "render/Files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string chosenRoot = "../../assets/";

// A folder as the asset root spells it: normalised, ending in exactly one "/".
std::string asRoot(const fs::path& folder)
{
    std::string text = folder.lexically_normal().string();
    if (text.empty() || text.back() != '/')
        text += '/';
    return text;
}

bool holdsConfig(const std::string& root)
{
    std::error_code error;
    return fs::is_regular_file(root + "config.txt", error);
}

} // namespace

const std::string& assetRoot = chosenRoot;

std::string assetPath(std::string relative)
{
    return assetRoot + relative;
}

bool chooseAssetRoot(const fs::path& executable)
{
    const fs::path folder = executable.parent_path();
    // The installed folder is found from the executable, not from a fixed prefix, so that the
    // same build works from /usr, from /usr/local and from a package unpacked anywhere.
    const std::string candidates[] = {
        "../../assets/",
        asRoot(folder / "../../assets"),
        asRoot(folder / QUILLFEN_INSTALLED_ASSETS),
    };
    for (const std::string& candidate : candidates) {
        if (!holdsConfig(candidate))
            continue;
        if (candidate != candidates[0])
            logMessage("Using the assets in " + candidate);
        chosenRoot = candidate;
        return true;
    }
    std::error_code error;
    const fs::path workingDirectory = fs::current_path(error);
    logMessage("ERROR - no assets found: there is no config.txt in " + candidates[0] +
               " (from the working directory " + workingDirectory.string() + "), in " + candidates[1] +
               " (beside the game's folder) or in " + candidates[2] + " (installed)");
    return false;
}

fs::path runningExecutable()
{
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error);
}

void logMessage(std::string message)
{
    std::cout << message << std::endl;
}

std::string readFile(std::string path)
{
    std::ifstream file;
    std::stringstream content;
    file.exceptions(std::ifstream::failbit | std::ifstream::badbit);
    try {
        file.open(path);
        // Reading an empty file through the stream buffer sets failbit; an empty file is not an error.
        if (file.peek() != std::ifstream::traits_type::eof())
            content << file.rdbuf();
        file.close();
    } catch (const std::ifstream::failure&) {
        logMessage("ERROR - failed to read file: " + path);
        // Show where the game was looking from, to help a player whose working directory is wrong.
        std::cout.flush();
        if (std::system("dir") != 0)
            logMessage("(could not list the working directory)");
        return "";
    }
    return content.str();
}
