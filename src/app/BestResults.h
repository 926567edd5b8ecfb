#pragma once

#include <filesystem>
#include <optional>
#include <string>

// How far one game got: the level reached and the seconds survived since the start or restart.
struct RunResult {
    int level = 0;
    double seconds = 0.0;
};

// A higher level wins; on the same level, the longer run.
bool beats(const RunResult& run, const RunResult& other);

// The text of a record file ("key = value" lines), and back. Parsing fails (no value) on
// anything that is not exactly a record: unknown or repeated keys, missing keys, bad or
// negative numbers.
std::string formatBestResult(const RunResult& best);
std::optional<RunResult> parseBestResult(const std::string& text);

// The best game so far, kept in a small file between games. A missing file is no record
// yet; a damaged one is moved aside (never lost, never fatal) and the next record is
// written fresh; a record that cannot be saved is reported once and play goes on.
class BestResults {
public:
    // Reads the record at `file` at once.
    explicit BestResults(std::filesystem::path file);

    // Where the player's record lives: best.txt in the user's data folder (empty without a home).
    static std::filesystem::path defaultFile();

    // A game has ended: keeps it when it beats the best so far and saves it. True when it did.
    bool submit(const RunResult& run);

    const std::optional<RunResult>& best() const { return record; }
    const std::filesystem::path& file() const { return path; }

private:
    void load();

    std::filesystem::path path;
    std::optional<RunResult> record;
    bool saveFailureReported = false;
};
