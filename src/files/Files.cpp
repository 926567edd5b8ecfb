#include "files/Files.h"

#include "files/Translation.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Without its shaders and models the game can show nothing; everything else is optional.
bool holdsAssets(const std::string& root)
{
    std::error_code error;
    return fs::is_directory(root + "shaders", error) && fs::is_directory(root + "models", error);
}

bool choose(const std::string& root)
{
    if (!holdsAssets(root))
        return false;
    if (root != "../../assets/")
        logMessage("Using the assets in " + root);
    chosenRoot = root;
    return true;
}

} // namespace

const std::string& assetRoot = chosenRoot;

std::string assetPath(std::string relative)
{
    return assetRoot + relative;
}

BuildTree thisBuild()
{
    return {QUILLFEN_BUILD_BIN, QUILLFEN_SOURCE_ASSETS, QUILLFEN_BUILD_LOCALE};
}

bool chooseAssetRoot(const fs::path& executable, const BuildTree& build)
{
    if (executable.empty() || !executable.is_absolute()) {
        logMessage(_("ERROR - no assets found: the system does not say where the game's program lies"));
        return false;
    }
    const fs::path folder = executable.parent_path();
    std::error_code error;
    if (fs::equivalent(folder, build.bin, error)) {
        const std::string sources = asRoot(build.assets);
        if (choose("../../assets/") || choose(sources))
            return true;
        const fs::path workingDirectory = fs::current_path(error);
        logMessage(formatText(_("ERROR - no assets found: there are no shaders and models in %s (from the working "
                                "directory %s) or in %s (this build's sources)"),
                              "../../assets/", workingDirectory.c_str(), sources.c_str()));
        return false;
    }
    // The installed folder is found from the executable, not from a fixed prefix, so that the
    // same build works from /usr, from /usr/local and from a package unpacked anywhere.
    const std::string installed = asRoot(folder / QUILLFEN_INSTALLED_ASSETS);
    if (choose(installed))
        return true;
    logMessage(formatText(_("ERROR - no assets found: there are no shaders and models in %s (installed beside %s)"),
                          installed.c_str(), executable.c_str()));
    return false;
}

fs::path catalogueFolder(const fs::path& executable, const BuildTree& build)
{
    const fs::path folder = executable.parent_path();
    std::error_code error;
    if (folder.empty() || fs::equivalent(folder, build.bin, error))
        return build.locale;
    return (folder / QUILLFEN_INSTALLED_LOCALE).lexically_normal();
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

FileRead readRegularFile(const std::string& path, std::uintmax_t maxBytes, std::string& content)
{
    content.clear();
    // Looked at before it is opened: opening a pipe waits for a writer, and a device may act on an open.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return FileRead::cannotOpen;
    if (!S_ISREG(info.st_mode))
        return FileRead::notRegular;
    // Without waiting, and looked at again once open: another file may have taken its place.
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0)
        return FileRead::cannotOpen;
    FileRead result = FileRead::ok;
    if (::fstat(file, &info) != 0)
        result = FileRead::cannotRead;
    else if (!S_ISREG(info.st_mode))
        result = FileRead::notRegular;
    else if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        result = FileRead::tooLarge;
    char buffer[1 << 16];
    while (result == FileRead::ok) {
        const ssize_t got = ::read(file, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno != EINTR)
                result = FileRead::cannotRead;
        } else if (content.size() + static_cast<std::size_t>(got) > maxBytes) {
            result = FileRead::tooLarge; // it grew while it was read
        } else {
            content.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(file);
    if (result != FileRead::ok)
        content.clear();
    return result;
}

std::string readFile(std::string path)
{
    std::string content;
    const FileRead result = readRegularFile(path, UINTMAX_MAX, content);
    if (result == FileRead::notRegular) {
        logMessage("ERROR - failed to read file: " + path + " is not a regular file");
        return "";
    }
    if (result != FileRead::ok) {
        logMessage("ERROR - failed to read file: " + path);
        // Show where the game was looking from, to help a player whose working directory is wrong.
        std::cout.flush();
        if (std::system("dir") != 0)
            logMessage("(could not list the working directory)");
        return "";
    }
    return content;
}
