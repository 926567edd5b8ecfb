#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// How far one game got: the level reached and the seconds survived since the start or restart.
struct RunResult {
    int level = 0;
    double seconds = 0.0;
};

// Seconds in whole tenths, the nearest: the precision the screens show a run's time at and the
// table orders it by (two runs that read the same are equal).
long long tenthsOf(double seconds);

// A higher level wins; on the same level, the longer run, by tenths of a second.
bool beats(const RunResult& run, const RunResult& other);

// One line of the best-runs table: the result, when the run ended (seconds since 1970, UTC),
// who played it and how it ended. The records kept by earlier versions have no time or name.
struct BestRun {
    BestRun() = default;
    BestRun(RunResult result, std::optional<std::time_t> when, std::string name = {}, bool givenUp = false)
        : result(result)
        , when(when)
        , name(std::move(name))
        , givenUp(givenUp)
    {
    }

    RunResult result;
    std::optional<std::time_t> when;
    // The player's name as the settings gave it then; may be empty.
    std::string name;
    // Ended with RESTART from the pause menu rather than by death or time.
    bool givenUp = false;
};

// Whether `run` stands above `other` in the table: the better result, and of equal results the
// older run (one without a time is the oldest). How a run ended does not matter: giving up can
// only cut a run short, never make it better.
bool ranksAbove(const BestRun& run, const BestRun& other);

// When a run ended as the player reads it, in local time: "2026-12-08 18:24". Empty without a time.
std::string localDateTime(const std::optional<std::time_t>& when);

// The name the runs of this game are kept under (the settings' NAME).
std::string playerName();

// The text of the best-runs file, and back. The file is a "format = 3" line and then one line
// per run, best first: "run = LEVEL SECONDS WHEN ENDING NAME", WHEN as YYYY-MM-DDTHH:MM:SSZ (UTC)
// or "-" for none, ENDING "ended" (by death or time) or "given-up", and the name to the end of
// the line (it may be empty); lines starting with '#' are comments. Format 2 files ("run =
// LEVEL SECONDS [WHEN]") and the one-record file of earlier versions ("level = L" and "seconds =
// S") still read. Parsing fails (no value) on anything else: a format this game does not know
// (newer ones included), unknown or repeated keys, bad or negative numbers, impossible dates.
// Names are read and written as cleanName() leaves them. A table read back is in order and
// keeps at most BestResults::capacity runs.
std::string formatBestRuns(const std::vector<BestRun>& runs);
std::optional<std::vector<BestRun>> parseBestRuns(const std::string& text);

// A name as a line of the file can hold it: control characters become spaces, spaces at either
// end go, and it is cut (between two characters) to BestResults::maxNameBytes.
std::string cleanName(std::string_view name);

// The ten best games so far, kept in a small file between games. A missing file is no record
// yet; a damaged one is moved aside (never lost, never fatal) and the next run starts a new
// table. A file that cannot be read, or of a newer format, is left as it is and never written
// over: this game's runs are kept for the session only, and it says so once. Several copies of
// the game may play at once: each run is merged into the table as the file holds it then,
// under a lock (a flock on "FILE.lock" beside it). A table that cannot be saved is reported
// once and play goes on.
class BestResults {
public:
    static constexpr std::size_t capacity = 10;
    // The format this game writes; the file of a larger one is left alone.
    static constexpr int formatVersion = 3;
    static constexpr std::size_t maxNameBytes = 64;

    // Reads the table at `file` at once.
    explicit BestResults(std::filesystem::path file);

    // Where the player's table lives: best.txt in the user's data folder (empty without a home).
    static std::filesystem::path defaultFile();

    // A game has ended: it takes its place in the table as the file holds it now (other copies'
    // runs included) when it is among the ten best, and the table is saved. True when it is a
    // new first place; then, while no other copy can change the table, `keepNewBest` runs (the
    // game saves the run's recording as best.qfr), unless the file was left alone.
    bool submit(BestRun run, const std::function<void()>& keepNewBest = {});

    // The first place, if any game has been kept.
    std::optional<RunResult> best() const;
    // The table, best first.
    const std::vector<BestRun>& runs() const { return table; }
    // Where in the table the run last submitted in this session stands; none when it did not
    // make the table (or nothing was submitted yet).
    std::optional<std::size_t> newest() const { return newestIndex; }
    // The place, from 1, that `run` holds in the table, or would take if it were submitted now;
    // none when it falls outside the ten.
    std::optional<std::size_t> placeOf(const BestRun& run) const;
    const std::filesystem::path& file() const { return path; }

private:
    // What the file holds now.
    struct Reading {
        enum class State { missing, read, damaged, leftAlone } state = State::missing;
        std::vector<BestRun> runs;
    };
    Reading read();
    // Says once why the file is left alone.
    void leaveAlone(const std::string& why);

    std::filesystem::path path;
    std::vector<BestRun> table;
    std::optional<std::size_t> newestIndex;
    bool saveFailureReported = false;
    bool leftAloneReported = false;
};
