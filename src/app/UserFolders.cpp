#include "app/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The XDG rules ignore a variable that is empty or not an absolute path.
fs::path baseFolder(const char* variable, const char* underHome)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return fs::path(value);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return fs::path(home) / underHome;
    return {};
}

fs::path gameFolder(const fs::path& base)
{
    return base.empty() ? base : base / "quillfen";
}

std::string describeErrno(const std::string& what, const fs::path& path)
{
    return what + " " + path.string() + ": " + std::strerror(errno);
}

bool writeAll(int fd, const std::string& content)
{
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

fs::path userDataFolder()
{
    return gameFolder(baseFolder("XDG_DATA_HOME", ".local/share"));
}

fs::path userConfigFolder()
{
    return gameFolder(baseFolder("XDG_CONFIG_HOME", ".config"));
}

bool writeFileAtomically(const fs::path& path, const std::string& content, std::string& error)
{
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return false;
    }

    // mkstemp gives a name no other writer uses, in the same folder so that rename stays atomic.
    std::string hidden(".");
    hidden.append(path.filename().string()).append(".XXXXXX");
    std::string temporary = (folder / hidden).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = describeErrno("cannot create a file in", folder);
        return false;
    }
    const bool written = writeAll(fd, content) && ::fsync(fd) == 0;
    if (!written)
        error = describeErrno("cannot write", temporary);
    if (::close(fd) != 0 && written) {
        error = describeErrno("cannot close", temporary);
        ::unlink(temporary.c_str());
        return false;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = describeErrno("cannot replace", path);
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
