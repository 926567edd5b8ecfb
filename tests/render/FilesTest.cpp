#include "render/Files.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(AssetPath, PrependsTheRootWithoutNormalising)
{
    EXPECT_EQ(assetPath(""), "../../assets/");
    EXPECT_EQ(assetPath("shaders/hud/hud.vert"), "../../assets/shaders/hud/hud.vert");
    EXPECT_EQ(assetPath("../../assets/x"), "../../assets/../../assets/x");
}

TEST(LogMessage, WritesOneLine)
{
    ::testing::internal::CaptureStdout();
    logMessage("hello");
    logMessage("");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "hello\n\n");
}

TEST(ReadFile, ReturnsTheWholeContent)
{
    testkit::AssetSandbox sandbox;
    const std::string text = "line one\nline two\r\n\tend";
    const auto path = sandbox.write("a.txt", text);
    EXPECT_EQ(readFile(path.string()), text);
}

TEST(ReadFile, EmptyFileIsEmptyAndSilent)
{
    testkit::AssetSandbox sandbox;
    const auto path = sandbox.write("empty.txt", "");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(readFile(path.string()), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(ReadFile, MissingFileSaysWhereAndGivesEmptyText)
{
    testkit::AssetSandbox sandbox;
    const std::string path = assetPath("shaders/missing.vert");
    ::testing::internal::CaptureStdout();
    const std::string content = readFile(path);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(content, "");
    EXPECT_EQ(out.rfind("ERROR - failed to read file: ../../assets/shaders/missing.vert\n", 0), 0u) << out;
}

} // namespace
