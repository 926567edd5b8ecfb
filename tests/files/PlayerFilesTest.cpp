// Files a player can point the game at (their config.txt, a replay to watch) may be anything: a
// pipe nobody writes to, a link to a device that never ends, a file of many gigabytes. The game
// reads regular files only, and a replay no larger than a recording can be.
#include "files/Config.h"
#include "files/Replay.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

// A file of that many bytes that takes no room on the disk (a sparse one).
void makeSparse(const fs::path& path, std::uintmax_t size)
{
    std::ofstream(path).close();
    fs::resize_file(path, size);
}

TEST(PlayerFiles, ASettingsFileThatIsAPipeOrADeviceIsReportedAndTheRestStillApplies)
{
    testkit::AssetSandbox sandbox;
    sandbox.write("config.txt", "fov = 70\n");
    const fs::path folder = sandbox.root / "config" / "quillfen";
    fs::create_directories(folder);
    testkit::ScopedEnv env;
    env.set("XDG_CONFIG_HOME", (sandbox.root / "config").c_str());
    const fs::path own = folder / "config.txt";

    ASSERT_EQ(::mkfifo(own.c_str(), 0600), 0);
    for (int kind = 0; kind < 2; ++kind) {
        resetSettings();
        ::testing::internal::CaptureStdout();
        loadConfig(); // a pipe used to wait here for a writer, and /dev/zero to fill the memory
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "ERROR - failed to read file: " + own.string() + " is not a regular file\n");
        EXPECT_FLOAT_EQ(fov, 70.0f) << "the asset folder's file still applies";
        fs::remove(own);
        fs::create_symlink("/dev/zero", own);
    }
    resetSettings();
}

TEST(PlayerFiles, AReplayIsReadOnlyFromARegularFileNoLargerThanARecording)
{
    // The game refuses it with one line, before it needs a display.
    const fs::path game = fs::current_path() / "quillfen";
    const fs::path log = fs::temp_directory_path() / ("quillfen-zero-" + std::to_string(::getpid()) + ".log");
    const int status = std::system(
        ("env -u DISPLAY -u WAYLAND_DISPLAY " + game.string() + " --replay /dev/zero > " + log.string() + " 2>&1").c_str());
    std::ifstream in(log);
    const std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(log);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(out, "Replay: cannot play /dev/zero: it is not a regular file\n");

    testkit::AssetSandbox sandbox;
    std::string error;
    const fs::path pipe = sandbox.root / "pipe.qfr";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(loadReplay(pipe, error));
    EXPECT_EQ(error, "it is not a regular file");

    // The recorder stops before its limit; the header adds a little. Beyond that is no recording.
    const fs::path huge = sandbox.root / "huge.qfr";
    makeSparse(huge, std::uintmax_t{1} << 32);
    EXPECT_FALSE(loadReplay(huge, error));
    EXPECT_EQ(error, "it is larger than any recording (50 MB)");
    const fs::path largest = sandbox.root / "largest.qfr";
    makeSparse(largest, ReplayRecorder::defaultLimit);
    EXPECT_FALSE(loadReplay(largest, error));
    EXPECT_EQ(error, "it is not a Quillfen replay") << "read, and judged by its content";
}

} // namespace
