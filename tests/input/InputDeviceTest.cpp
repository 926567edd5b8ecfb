#include "input/GameInput.h"
#include "support/TestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

std::string run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 256> buffer{};
        while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe))
            out += buffer.data();
        ::pclose(pipe);
    }
    return out;
}

// Real X input (xdotool, through the XTEST extension) into a real window, sampled as the game
// samples it: a tap shorter than a frame falls wholly between two samples.
class TapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("command -v xdotool > /dev/null 2>&1") != 0)
            GTEST_SKIP() << "xdotool is not installed";
        context = std::make_unique<testkit::GlContext>(320, 240, true);
        glfwSetWindowTitle(context->window, "quillfen tap test");
        deliver();
        const std::string found = run("xdotool search --sync --onlyvisible --name '^quillfen tap test$' | tail -n 1");
        windowId = found.substr(0, found.find('\n'));
        ASSERT_FALSE(windowId.empty()) << "the test window cannot be found";
        run("xdotool windowfocus --sync " + windowId);
        deliver();
        input = std::make_unique<GameInput>(context->window);
        sample();
    }

    // Lets GLFW take every event the X server holds for the window by now.
    void deliver()
    {
        for (int i = 0; i < 10; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            glfwPollEvents();
        }
    }

    void sample() { input->update(); }

    // Press and release, both before the next sample.
    void tap(const std::string& xdotoolCommand)
    {
        run("xdotool " + xdotoolCommand);
        deliver();
    }

    std::unique_ptr<testkit::GlContext> context;
    std::unique_ptr<GameInput> input;
    std::string windowId;
};

TEST_F(TapTest, AKeyTappedBetweenTwoSamplesIsOnePressAndOneRelease)
{
    ASSERT_EQ(input->state(GLFW_KEY_ENTER), KEY_UP);
    tap("keydown Return keyup Return");
    sample();
    EXPECT_EQ(input->state(GLFW_KEY_ENTER), KEY_HELD);
    sample();
    EXPECT_EQ(input->state(GLFW_KEY_ENTER), KEY_RELEASED);
    sample();
    EXPECT_EQ(input->state(GLFW_KEY_ENTER), KEY_UP);
}

TEST_F(TapTest, AClickBetweenTwoSamplesIsOnePressAndOneRelease)
{
    tap("mousemove --window " + windowId + " 160 120 click 1");
    sample();
    EXPECT_EQ(input->state(GLFW_MOUSE_BUTTON_LEFT), KEY_HELD);
    sample();
    EXPECT_EQ(input->state(GLFW_MOUSE_BUTTON_LEFT), KEY_RELEASED);
}

TEST_F(TapTest, TapsNotSampledBeforeTheFocusWentAwayAreForgotten)
{
    // A window that loses the focus sees its keys let go; such a release, or a tap just before,
    // must not act when the window is back.
    tap("keydown Return keyup Return");
    input->settle();
    sample();
    EXPECT_EQ(input->state(GLFW_KEY_ENTER), KEY_UP);
    sample();
    EXPECT_EQ(input->state(GLFW_KEY_ENTER), KEY_UP) << "nor is it let go later";
}

} // namespace
