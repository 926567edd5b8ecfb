#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// How far one game got: the level reached and the seconds survived since the start or restart.
struct RunResult {
    int level = 0;
    double seconds = 0.0;
};

// A higher level wins; on the same level, the longer run.
bool beats(const RunResult& run, const RunResult& other);

// One line of the best-runs table: the result and when the run ended (seconds since 1970, UTC).
// The record kept by earlier versions of the game has no time.
struct BestRun {
    RunResult result;
    std::optional<std::time_t> when;
};

// Whether `run` stands above `other` in the table: the better result, and of equal results the
// older run (one without a time is the oldest).
bool ranksAbove(const BestRun& run, const BestRun& other);

// When a run ended as the player reads it, in local time: "2026-12-08 18:24". Empty without a time.
std::string localDateTime(const std::optional<std::time_t>& when);

// The text of the best-runs file, and back. The file is a "format = 2" line and then one line
// per run, best first: "run = LEVEL SECONDS YYYY-MM-DDTHH:MM:SSZ" (UTC; the time may be left
// out); lines starting with '#' are comments. The one-record file of earlier versions
// ("level = L" and "seconds = S") reads as a table of one. Parsing fails (no value) on anything
// else: another format, unknown or repeated keys, bad or negative numbers, impossible dates.
// A table read back is in order and keeps at most BestResults::capacity runs.
std::string formatBestRuns(const std::vector<BestRun>& runs);
std::optional<std::vector<BestRun>> parseBestRuns(const std::string& text);

// The ten best games so far, kept in a small file between games. A missing file is no record
// yet; a damaged one is moved aside (never lost, never fatal) and the next run starts a new
// table; a table that cannot be saved is reported once and play goes on.
class BestResults {
public:
    static constexpr std::size_t capacity = 10;

    // Reads the table at `file` at once.
    explicit BestResults(std::filesystem::path file);

    // Where the player's table lives: best.txt in the user's data folder (empty without a home).
    static std::filesystem::path defaultFile();

    // A game has ended (now, or at `when`): it takes its place in the table when it is among the
    // ten best, and the table is saved. True when it is a new first place.
    bool submit(const RunResult& run);
    bool submit(const RunResult& run, std::time_t when);

    // The first place, if any game has been kept.
    std::optional<RunResult> best() const;
    // The table, best first.
    const std::vector<BestRun>& runs() const { return table; }
    // Where in the table the run last submitted in this session stands; none when it did not
    // make the table (or nothing was submitted yet).
    std::optional<std::size_t> newest() const { return newestIndex; }
    const std::filesystem::path& file() const { return path; }

private:
    void load();

    std::filesystem::path path;
    std::vector<BestRun> table;
    std::optional<std::size_t> newestIndex;
    bool saveFailureReported = false;
};
