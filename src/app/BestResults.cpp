#include "app/BestResults.h"

#include "app/UserFolders.h"
#include "render/Files.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <time.h>

namespace fs = std::filesystem;

namespace {

// A table is a dozen short lines; anything much longer is not one of ours.
constexpr std::uintmax_t maxFileBytes = 4096;
// Beyond these no game gets: such numbers mean the file was tampered with or damaged.
constexpr int maxLevel = 1000000;
constexpr double maxSeconds = 1.0e9;
// The times a run can carry: from 1970 to the end of the year 9999 (four-digit years).
constexpr std::time_t latestTime = 253402300799;
// The table's own format; the one-record files before it had no format line.
constexpr std::string_view formatLine = "format = 2";

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

template <typename T>
bool parseNumber(std::string_view text, T& value)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end;
}

bool parseLevel(std::string_view text, int& level)
{
    return parseNumber(text, level) && level >= 0 && level <= maxLevel;
}

bool parseSeconds(std::string_view text, double& seconds)
{
    return parseNumber(text, seconds) && std::isfinite(seconds) && seconds >= 0.0 && seconds <= maxSeconds;
}

// `count` decimal digits at `at` of `text` (which the caller has checked is long enough).
bool parseDigits(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// "YYYY-MM-DDTHH:MM:SSZ", UTC, a date and time that exist.
std::optional<std::time_t> parseTime(std::string_view text)
{
    using namespace std::chrono;
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] != 'd' && text[i] != shape[i])
            return std::nullopt;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!parseDigits(text, 0, 4, y) || !parseDigits(text, 5, 2, mo) || !parseDigits(text, 8, 2, d) ||
        !parseDigits(text, 11, 2, h) || !parseDigits(text, 14, 2, mi) || !parseDigits(text, 17, 2, s))
        return std::nullopt;
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!date.ok() || y < 1970 || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    const seconds since = sys_days{date}.time_since_epoch() + hours{h} + minutes{mi} + seconds{s};
    return static_cast<std::time_t>(since.count());
}

std::string formatTime(std::time_t when)
{
    std::tm utc{};
    char text[32];
    if (!::gmtime_r(&when, &utc) || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0)
        return {};
    return text;
}

// "LEVEL SECONDS [TIME]", separated by spaces.
std::optional<BestRun> parseRun(std::string_view text)
{
    std::string_view fields[3];
    std::size_t count = 0;
    while (!text.empty()) {
        const auto end = std::min(text.find_first_of(" \t"), text.size());
        if (end > 0) {
            if (count == 3)
                return std::nullopt;
            fields[count++] = text.substr(0, end);
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    BestRun run;
    if (count < 2 || !parseLevel(fields[0], run.result.level) || !parseSeconds(fields[1], run.result.seconds))
        return std::nullopt;
    if (count == 3) {
        run.when = parseTime(fields[2]);
        if (!run.when)
            return std::nullopt;
    }
    return run;
}

} // namespace

bool beats(const RunResult& run, const RunResult& other)
{
    if (run.level != other.level)
        return run.level > other.level;
    return run.seconds > other.seconds;
}

bool ranksAbove(const BestRun& run, const BestRun& other)
{
    if (beats(run.result, other.result))
        return true;
    if (beats(other.result, run.result))
        return false;
    // Equal results: whoever got there first keeps the place.
    return other.when && (!run.when || *run.when < *other.when);
}

std::string localDateTime(const std::optional<std::time_t>& when)
{
    std::tm local{};
    char text[32];
    if (!when || !::localtime_r(&*when, &local) || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0)
        return {};
    return text;
}

std::string formatBestRuns(const std::vector<BestRun>& runs)
{
    std::string text = "# Quillfen's best runs, best first: level, seconds, and when the run ended (UTC)\n";
    text.append(formatLine).append("\n");
    for (const BestRun& run : runs) {
        char line[96];
        std::snprintf(line, sizeof line, "run = %d %.3f", run.result.level, run.result.seconds);
        text += line;
        if (run.when)
            text.append(" ").append(formatTime(*run.when));
        text += '\n';
    }
    return text;
}

std::optional<std::vector<BestRun>> parseBestRuns(const std::string& text)
{
    enum class Kind { unknown, table, oneRecord } kind = Kind::unknown;
    std::vector<BestRun> runs;
    std::optional<int> level;
    std::optional<double> seconds;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = trim(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (line.empty() || line[0] == '#')
            continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = trim(line.substr(0, equals));
        const std::string_view value = trim(line.substr(equals + 1));
        if (kind == Kind::unknown && key == "format") {
            // A format this game does not know is not guessed at.
            if (value != "2")
                return std::nullopt;
            kind = Kind::table;
        } else if (kind == Kind::table && key == "run") {
            const std::optional<BestRun> run = parseRun(value);
            if (!run)
                return std::nullopt;
            runs.push_back(*run);
        } else if (kind != Kind::table && key == "level" && !level) {
            int parsed = 0;
            if (!parseLevel(value, parsed))
                return std::nullopt;
            level = parsed;
            kind = Kind::oneRecord;
        } else if (kind != Kind::table && key == "seconds" && !seconds) {
            double parsed = 0.0;
            if (!parseSeconds(value, parsed))
                return std::nullopt;
            seconds = parsed;
            kind = Kind::oneRecord;
        } else {
            return std::nullopt;
        }
    }
    if (kind == Kind::oneRecord) {
        if (!level || !seconds)
            return std::nullopt;
        runs.push_back({{*level, *seconds}, std::nullopt});
    } else if (kind == Kind::unknown) {
        return std::nullopt;
    }
    std::stable_sort(runs.begin(), runs.end(), ranksAbove);
    if (runs.size() > BestResults::capacity)
        runs.resize(BestResults::capacity);
    return runs;
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

std::optional<RunResult> BestResults::best() const
{
    if (table.empty())
        return std::nullopt;
    return table.front().result;
}

void BestResults::load()
{
    if (path.empty())
        return;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return; // no record yet
    std::optional<std::vector<BestRun>> parsed;
    if (!ec && fs::is_regular_file(status)) {
        const std::uintmax_t size = fs::file_size(path, ec);
        std::ifstream in(path, std::ios::binary);
        if (!ec && size <= maxFileBytes && in) {
            std::ostringstream text;
            text << in.rdbuf();
            if (in.good() || in.eof())
                parsed = parseBestRuns(text.str());
        }
    }
    if (parsed) {
        table = std::move(*parsed);
        return;
    }
    // Keep the damaged file for whoever wants to look at it; the next run starts a new table.
    std::string error;
    const fs::path aside = moveAside(path, error);
    if (aside.empty())
        logMessage("Best: " + path.string() + " could not be read, nor moved aside (" + error + "); no record is kept");
    else
        logMessage("Best: " + path.string() + " could not be read; it is kept as " + aside.string());
}

bool BestResults::submit(const RunResult& run)
{
    return submit(run, std::time(nullptr));
}

bool BestResults::submit(const RunResult& run, std::time_t when)
{
    BestRun entry{run, std::nullopt};
    if (when >= 0 && when <= latestTime)
        entry.when = when;
    const auto place = std::find_if(table.begin(), table.end(),
                                    [&entry](const BestRun& kept) { return ranksAbove(entry, kept); });
    const auto index = static_cast<std::size_t>(place - table.begin());
    if (index >= capacity) {
        newestIndex.reset();
        return false;
    }
    const bool newFirst = table.empty() || beats(run, table.front().result);
    table.insert(place, entry);
    if (table.size() > capacity)
        table.pop_back();
    newestIndex = index;
    if (path.empty())
        return newFirst;
    std::string error;
    if (!writeFileAtomically(path, formatBestRuns(table), error) && !saveFailureReported) {
        logMessage("Best: the record could not be saved to " + path.string() + " (" + error +
                   "); the game goes on without it");
        saveFailureReported = true;
    }
    return newFirst;
}
