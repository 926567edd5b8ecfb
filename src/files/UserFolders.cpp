#include "files/UserFolders.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string_view>
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

// Temporary files are ".NAME" + this + six characters that mkstemp picks.
constexpr std::string_view temporaryMarker = ".quillfen-tmp-";
constexpr std::size_t randomLength = 6;

bool isRandomPart(std::string_view text)
{
    if (text.size() != randomLength)
        return false;
    for (const char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// Whether `name` is one of writeFileAtomically's temporary files: ".NAME" + the marker + six
// letters or digits. A player's ".best.txt.backup" has the shape of what mkstemp makes, so
// nothing without the marker is ever taken for ours.
bool isOwnTemporary(std::string_view name)
{
    if (name.size() <= 1 + temporaryMarker.size() + randomLength || name[0] != '.')
        return false;
    const std::string_view random = name.substr(name.size() - randomLength);
    const std::string_view rest = name.substr(1, name.size() - 1 - randomLength);
    return isRandomPart(random) && rest.size() > temporaryMarker.size() && rest.ends_with(temporaryMarker);
}

// Removes the stale temporary files directly in `folder` (never below it, never through a link).
std::size_t removeStaleTemporaryFilesIn(const fs::path& folder)
{
    // A write takes seconds at most, even of the largest replay: anything older was cut short.
    constexpr auto staleAfter = std::chrono::minutes(10);
    const auto now = fs::file_time_type::clock::now();
    std::size_t removed = 0;
    std::error_code ec;
    for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec)) {
        std::error_code fileError;
        if (!isOwnTemporary(entry->path().filename().native()) ||
            entry->symlink_status(fileError).type() != fs::file_type::regular)
            continue;
        const auto written = entry->last_write_time(fileError);
        if (fileError || now - written < staleAfter)
            continue;
        if (fs::remove(entry->path(), fileError))
            ++removed;
    }
    return removed;
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

fs::path userCacheFolder()
{
    return gameFolder(baseFolder("XDG_CACHE_HOME", ".cache"));
}

namespace {

// Where a write of `path` lands: a link (dotfile managers keep the player's files so) is
// followed to the file it names, whether or not that file exists yet.
fs::path writeTarget(const fs::path& path, std::string& error)
{
    fs::path target = path;
    for (int links = 0; links < 40; ++links) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec)))
            return target;
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            error = "cannot follow the link " + target.string() + ": " + ec.message();
            return {};
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    error = "cannot follow the link " + path.string() + ": too many links";
    return {};
}

// The new file takes the place of the old one with its permissions and owner; a file that
// did not exist gets what any new file of the player's gets (0666 less the umask).
bool matchPermissions(int fd, const fs::path& target, std::string& error)
{
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        return true;
    }
    // A file the player made read-only is theirs to keep as it is (root included).
    if (S_ISREG(old.st_mode) && ((old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
        error = "cannot write " + target.string() + ": it is read-only";
        return false;
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        error = describeErrno("cannot give the permissions of the old file to", target);
        return false;
    }
    // Only root can hand a file to another owner; anyone else already owns what they write.
    if (::geteuid() == 0)
        (void)::fchown(fd, old.st_uid, old.st_gid);
    return true;
}

} // namespace

bool writeFileAtomically(const fs::path& requested, const std::string& content, std::string& error)
{
    const fs::path path = writeTarget(requested, error);
    if (path.empty())
        return false;
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return false;
    }

    // mkstemp gives a name no other writer uses, in the same folder so that rename stays atomic.
    std::string hidden(".");
    hidden.append(path.filename().string()).append(temporaryMarker).append(randomLength, 'X');
    std::string temporary = (folder / hidden).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = describeErrno("cannot create a file in", folder);
        return false;
    }
    if (!matchPermissions(fd, path, error)) {
        ::close(fd);
        ::unlink(temporary.c_str());
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

fs::path moveAside(const fs::path& path, std::string& error)
{
    for (int copy = 0; copy < 1000; ++copy) {
        std::string name = path.string() + ".bad";
        if (copy > 0)
            name.append(".").append(std::to_string(copy));
        const fs::path aside(name);
        // RENAME_NOREPLACE makes "only if the name is free" one step; a file system that cannot
        // do that gets a look first.
        int result = ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            std::error_code ec;
            if (fs::symlink_status(aside, ec).type() != fs::file_type::not_found)
                continue;
            result = ::rename(path.c_str(), aside.c_str());
        }
        if (result == 0)
            return aside;
        if (errno != EEXIST) {
            error = std::strerror(errno);
            return {};
        }
    }
    error = "too many earlier copies beside it";
    return {};
}

std::size_t removeStaleTemporaryFiles()
{
    const fs::path folder = userDataFolder();
    if (folder.empty())
        return 0;
    return removeStaleTemporaryFilesIn(folder) + removeStaleTemporaryFilesIn(folder / "replays");
}
