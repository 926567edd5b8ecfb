#include "app/BestResults.h"

#include "app/UserFolders.h"
#include "render/Files.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A record is two short lines; anything much longer is not one of ours.
constexpr std::uintmax_t maxFileBytes = 4096;
// Beyond these no game gets: such numbers mean the file was tampered with or damaged.
constexpr int maxLevel = 1000000;
constexpr double maxSeconds = 1.0e9;

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

template <typename T>
bool parseNumber(const std::string& text, T& value)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

} // namespace

bool beats(const RunResult& run, const RunResult& other)
{
    if (run.level != other.level)
        return run.level > other.level;
    return run.seconds > other.seconds;
}

std::string formatBestResult(const RunResult& best)
{
    char text[128];
    std::snprintf(text, sizeof text, "level = %d\nseconds = %.3f\n", best.level, best.seconds);
    return text;
}

std::optional<RunResult> parseBestResult(const std::string& text)
{
    RunResult result;
    bool haveLevel = false;
    bool haveSeconds = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty())
            continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            return std::nullopt;
        const std::string key = trim(line.substr(0, equals));
        const std::string value = trim(line.substr(equals + 1));
        if (key == "level" && !haveLevel) {
            if (!parseNumber(value, result.level) || result.level < 0 || result.level > maxLevel)
                return std::nullopt;
            haveLevel = true;
        } else if (key == "seconds" && !haveSeconds) {
            if (!parseNumber(value, result.seconds) || !std::isfinite(result.seconds) || result.seconds < 0.0 ||
                result.seconds > maxSeconds)
                return std::nullopt;
            haveSeconds = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveLevel || !haveSeconds)
        return std::nullopt;
    return result;
}

BestResults::BestResults(fs::path file)
    : path(std::move(file))
{
    load();
}

fs::path BestResults::defaultFile()
{
    const fs::path folder = userDataFolder();
    return folder.empty() ? fs::path() : folder / "best.txt";
}

void BestResults::load()
{
    if (path.empty())
        return;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return; // no record yet
    std::optional<RunResult> parsed;
    if (!ec && fs::is_regular_file(status)) {
        const std::uintmax_t size = fs::file_size(path, ec);
        std::ifstream in(path, std::ios::binary);
        if (!ec && size <= maxFileBytes && in) {
            std::ostringstream text;
            text << in.rdbuf();
            if (in.good() || in.eof())
                parsed = parseBestResult(text.str());
        }
    }
    if (parsed) {
        record = parsed;
        return;
    }
    // Keep the damaged file for whoever wants to look at it; the next record starts afresh.
    const fs::path aside = path.string() + ".bad";
    fs::rename(path, aside, ec);
    if (ec)
        logMessage("Best: " + path.string() + " could not be read, nor moved aside (" + ec.message() +
                   "); no record is kept");
    else
        logMessage("Best: " + path.string() + " could not be read; it is kept as " + aside.string());
}

bool BestResults::submit(const RunResult& run)
{
    if (record && !beats(run, *record))
        return false;
    record = run;
    if (path.empty())
        return true;
    std::string error;
    if (!writeFileAtomically(path, formatBestResult(run), error) && !saveFailureReported) {
        logMessage("Best: the record could not be saved to " + path.string() + " (" + error +
                   "); the game goes on without it");
        saveFailureReported = true;
    }
    return true;
}
