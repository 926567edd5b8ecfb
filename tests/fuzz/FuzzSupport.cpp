#include "FuzzSupport.h"

#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

namespace fuzzkit {

void silenceOutput()
{
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
}

namespace {

// Made on first use and removed with its contents when the process ends.
struct ScratchFolder {
    ScratchFolder()
    {
        path = (std::filesystem::temp_directory_path() / "quillfen-fuzz-XXXXXX").string();
        if (!mkdtemp(path.data()))
            require(false, "cannot create a scratch folder");
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

} // namespace

const std::string& scratchFolder()
{
    static const ScratchFolder folder;
    return folder.path;
}

void writeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    require(static_cast<bool>(out), "cannot write a scratch file");
}

void openGlContext()
{
    require(glfwInit() == GLFW_TRUE, "glfwInit failed: is a display (Xvfb) available?");
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(64, 64, "quillfen fuzz", nullptr, nullptr);
    require(window != nullptr, "cannot create an OpenGL 4.3 core window");
    glfwMakeContextCurrent(window);
}

void require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace fuzzkit
