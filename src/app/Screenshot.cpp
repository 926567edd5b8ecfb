#include "app/Screenshot.h"

#include <epoxy/gl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

// Private to this file: the tests and tools carry their own copy of the writer.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace fs = std::filesystem;

namespace {

void appendToFile(void* context, void* data, int size)
{
    auto* out = static_cast<std::string*>(context);
    out->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::string timeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

} // namespace

fs::path writeScreenshot(const fs::path& folder, int width, int height, std::string& error)
{
    if (width <= 0 || height <= 0) {
        error = "the window has no picture to save (" + std::to_string(width) + " x " + std::to_string(height) + ")";
        return {};
    }
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

    // OpenGL's rows run bottom to top, a PNG's top to bottom; the window has no use for alpha.
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        const unsigned char* from = &pixels[static_cast<std::size_t>(height - 1 - y) * width * 4];
        unsigned char* to = &rgb[static_cast<std::size_t>(y) * width * 3];
        for (int x = 0; x < width; ++x)
            std::memcpy(to + 3 * x, from + 4 * x, 3);
    }
    std::string png;
    if (!stbi_write_png_to_func(appendToFile, &png, width, height, 3, rgb.data(), width * 3)) {
        error = "the image could not be encoded";
        return {};
    }

    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = folder.string() + ": " + ec.message();
        return {};
    }
    const std::string stem = "quillfen-" + timeStamp();
    for (int n = 1; n < 1000; ++n) {
        const fs::path path = folder / (stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".png");
        // "x": created here or not at all, so an existing file is never written over.
        std::FILE* file = std::fopen(path.c_str(), "wbx");
        if (!file) {
            if (errno == EEXIST)
                continue;
            error = path.string() + ": " + std::strerror(errno);
            return {};
        }
        const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
        if (std::fclose(file) != 0 || !written) {
            error = path.string() + ": " + std::strerror(errno);
            std::remove(path.c_str());
            return {};
        }
        return path;
    }
    error = "every name for this second is taken";
    return {};
}
