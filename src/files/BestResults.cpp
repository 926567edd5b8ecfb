#include "files/BestResults.h"

#include "files/Files.h"
#include "files/PlayerName.h"
#include "files/UserFolders.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A table is a dozen short lines; comments may make it longer, but never this long.
constexpr std::uintmax_t maxFileBytes = 1024 * 1024;
// Beyond these no game gets: such numbers mean the file was tampered with or damaged.
constexpr int maxLevel = 1000000;
constexpr double maxSeconds = 1.0e9;
// The times a run can carry: from 1970 to the end of the year 9999 (four-digit years).
constexpr std::time_t latestTime = 253402300799;
// A format 2 table has no ending or name; the one-record files before it had no format line.
constexpr int firstTableFormat = 2;
// Another copy of the game holds the table's lock for a moment; one that is stopped must not
// freeze this one.
constexpr auto lockPatience = std::chrono::seconds(2);

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

// The next field of a run's line (up to a space or tab), taken off the front of `text`.
std::string_view nextField(std::string_view& text)
{
    text = text.substr(std::min(text.find_first_not_of(" \t"), text.size()));
    const auto end = std::min(text.find_first_of(" \t"), text.size());
    const std::string_view field = text.substr(0, end);
    text.remove_prefix(end);
    return field;
}

// Format 2: "LEVEL SECONDS [TIME]". Format 3: "LEVEL SECONDS TIME|- ended|given-up [NAME]".
std::optional<BestRun> parseRun(std::string_view text, int format)
{
    BestRun run;
    if (!parseLevel(nextField(text), run.result.level) || !parseSeconds(nextField(text), run.result.seconds))
        return std::nullopt;
    const std::string_view when = nextField(text);
    if (format == firstTableFormat) {
        if (!when.empty() && !(run.when = parseTime(when)))
            return std::nullopt;
        return trim(text).empty() ? std::optional(run) : std::nullopt;
    }
    if (when != "-" && !(run.when = parseTime(when)))
        return std::nullopt;
    const std::string_view ending = nextField(text);
    if (ending != "ended" && ending != "given-up")
        return std::nullopt;
    run.givenUp = ending == "given-up";
    run.name = cleanName(text);
    return run;
}

// The format number of a "format = N" value, if it is one.
std::optional<int> formatNumber(std::string_view value)
{
    int number = 0;
    return parseNumber(value, number) ? std::optional(number) : std::nullopt;
}

// The next line of the file that is neither blank nor a comment, trimmed, taken off `rest`.
std::optional<std::string_view> nextLine(std::string_view& rest)
{
    while (!rest.empty()) {
        const auto end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = trim(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!line.empty() && line[0] != '#')
            return line;
    }
    return std::nullopt;
}

// Whether the file's first setting is the format line of a format newer than this game's.
bool isNewerFormat(const std::string& text)
{
    std::string_view rest = text;
    if (const std::optional<std::string_view> line = nextLine(rest)) {
        const auto equals = line->find('=');
        const std::optional<int> format =
            equals == std::string_view::npos || trim(line->substr(0, equals)) != "format"
                ? std::nullopt
                : formatNumber(trim(line->substr(equals + 1)));
        return format && *format > BestResults::formatVersion;
    }
    return false;
}

// Holds the table's lock while it lives: an exclusive flock on "FILE.lock" (the table itself is
// replaced by a rename, so it cannot carry one). `busy` when another copy kept it too long.
class TableLock {
public:
    explicit TableLock(const fs::path& table)
    {
        std::error_code ec;
        fs::create_directories(table.parent_path(), ec);
        const std::string name = table.string() + ".lock";
        fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        // Without a lock file the folder cannot be written either: the save will say so.
        if (fd < 0)
            return;
        const auto giveUp = std::chrono::steady_clock::now() + lockPatience;
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > giveUp) {
                busy = errno == EWOULDBLOCK;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~TableLock()
    {
        if (fd >= 0)
            ::close(fd);
    }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

    bool busy = false;

private:
    int fd = -1;
};

} // namespace

long long tenthsOf(double seconds)
{
    return std::llround(seconds * 10.0);
}

bool beats(const RunResult& run, const RunResult& other)
{
    if (run.level != other.level)
        return run.level > other.level;
    return tenthsOf(run.seconds) > tenthsOf(other.seconds);
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

std::string playerName()
{
    return currentPlayerName();
}

std::string cleanName(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    out = std::string(trim(out));
    if (out.size() > BestResults::maxNameBytes) {
        // Not inside a character: back to the first byte of the one that does not fit.
        std::size_t cut = BestResults::maxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out = std::string(trim(out.substr(0, cut)));
    }
    return out;
}

std::string formatBestRuns(const std::vector<BestRun>& runs)
{
    std::string text = "# Quillfen's best runs, best first: level, seconds, when the run ended (UTC),\n"
                       "# whether it ended (by death or time) or was given up, and who played it\n";
    text += "format = " + std::to_string(BestResults::formatVersion) + "\n";
    for (const BestRun& run : runs) {
        char line[96];
        std::snprintf(line, sizeof line, "run = %d %.3f ", run.result.level, run.result.seconds);
        text += line;
        text += run.when ? formatTime(*run.when) : "-";
        text += run.givenUp ? " given-up" : " ended";
        const std::string name = cleanName(run.name);
        if (!name.empty())
            text += " " + name;
        text += '\n';
    }
    return text;
}

std::optional<std::vector<BestRun>> parseBestRuns(const std::string& text)
{
    enum class Kind { unknown, table, oneRecord } kind = Kind::unknown;
    int format = 0;
    std::vector<BestRun> runs;
    std::optional<int> level;
    std::optional<double> seconds;
    std::string_view rest = text;
    while (const std::optional<std::string_view> next = nextLine(rest)) {
        const std::string_view line = *next;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = trim(line.substr(0, equals));
        const std::string_view value = trim(line.substr(equals + 1));
        if (kind == Kind::unknown && key == "format") {
            // A format this game does not know is not guessed at.
            const std::optional<int> number = formatNumber(value);
            if (!number || *number < firstTableFormat || *number > BestResults::formatVersion)
                return std::nullopt;
            format = *number;
            kind = Kind::table;
        } else if (kind == Kind::table && key == "run") {
            const std::optional<BestRun> run = parseRun(value, format);
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
        runs.emplace_back(RunResult{*level, *seconds}, std::nullopt);
    } else if (kind == Kind::unknown) {
        return std::nullopt;
    }
    std::stable_sort(runs.begin(), runs.end(), ranksAbove);
    if (runs.size() > BestResults::capacity)
        runs.resize(BestResults::capacity);
    return runs;
}

BestResults::Reading BestResults::read()
{
    Reading reading;
    std::error_code ec;
    if (fs::status(path, ec).type() == fs::file_type::not_found)
        return reading; // no record yet
    std::string text;
    const FileRead result = readRegularFile(path.string(), maxFileBytes, text);
    const int readError = errno;
    if (result == FileRead::cannotOpen || result == FileRead::cannotRead) {
        leaveAlone("could not be read (" + std::string(std::strerror(readError)) + ")");
        reading.state = Reading::State::leftAlone;
        return reading;
    }
    if (result == FileRead::ok && isNewerFormat(text)) {
        leaveAlone("was written by a newer version of the game");
        reading.state = Reading::State::leftAlone;
        return reading;
    }
    if (result == FileRead::ok) {
        if (std::optional<std::vector<BestRun>> runs = parseBestRuns(text)) {
            reading.state = Reading::State::read;
            reading.runs = std::move(*runs);
            return reading;
        }
    }
    // Keep the damaged file for whoever wants to look at it; the next run starts a new table.
    std::string error;
    const fs::path aside = moveAside(path, error);
    if (aside.empty()) {
        leaveAlone("could not be read, nor moved aside (" + error + ")");
        reading.state = Reading::State::leftAlone;
        return reading;
    }
    logMessage("Best: " + path.string() + " could not be read; it is kept as " + aside.string());
    reading.state = Reading::State::damaged;
    return reading;
}

void BestResults::leaveAlone(const std::string& why)
{
    if (!leftAloneReported)
        logMessage("Best: " + path.string() + " " + why +
                   "; it is left as it is, and the runs of this game are not saved");
    leftAloneReported = true;
}

BestResults::BestResults(fs::path file)
    : path(std::move(file))
{
    if (path.empty())
        return;
    // Under the lock: a damaged file is moved aside only while no other copy is writing a good one.
    const TableLock lock(path);
    if (!lock.busy)
        table = read().runs;
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

std::optional<std::size_t> BestResults::placeOf(const BestRun& run) const
{
    const auto above =
        std::count_if(table.begin(), table.end(), [&run](const BestRun& kept) { return ranksAbove(kept, run); });
    const auto place = static_cast<std::size_t>(above) + 1;
    return place <= capacity ? std::optional(place) : std::nullopt;
}

bool BestResults::submit(BestRun run, const std::function<void()>& keepNewBest)
{
    if (run.when && (*run.when < 0 || *run.when > latestTime))
        run.when.reset();
    run.name = cleanName(run.name);

    std::optional<TableLock> lock;
    Reading reading;
    if (!path.empty()) {
        lock.emplace(path);
        reading = lock->busy ? Reading{Reading::State::leftAlone, {}} : read();
    }
    // The file as it is now is the table, with the runs of other copies of the game; a file
    // found damaged (and moved aside) or left alone leaves the table of this session.
    if (reading.state == Reading::State::read || reading.state == Reading::State::missing)
        table = std::move(reading.runs);

    const auto place = std::partition_point(table.begin(), table.end(),
                                            [&run](const BestRun& kept) { return ranksAbove(kept, run); });
    const auto index = static_cast<std::size_t>(place - table.begin());
    if (index >= capacity) {
        newestIndex.reset();
        return false;
    }
    const bool newFirst = table.empty() || beats(run.result, table.front().result);
    table.insert(place, std::move(run));
    if (table.size() > capacity)
        table.pop_back();
    newestIndex = index;
    if (path.empty())
        return newFirst;
    if (reading.state == Reading::State::leftAlone) {
        if (lock->busy && !saveFailureReported) {
            logMessage("Best: the record could not be saved to " + path.string() +
                       " (another copy of the game keeps it locked); the game goes on without it");
            saveFailureReported = true;
        }
        return newFirst;
    }
    std::string error;
    if (!writeFileAtomically(path, formatBestRuns(table), error)) {
        if (!saveFailureReported)
            logMessage("Best: the record could not be saved to " + path.string() + " (" + error +
                       "); the game goes on without it");
        saveFailureReported = true;
        return newFirst;
    }
    if (newFirst && keepNewBest)
        keepNewBest();
    return newFirst;
}
