// The floor under the picture at the window's size: what one full-window pass costs on this
// machine's OpenGL when it does next to nothing. Each way of filling the window is drawn a
// number of times into the window (presented after every draw, as a frame would be), timed on
// the GPU (GL_TIME_ELAPSED) and on the wall (the draw, then glFinish).
//
//   bench_fill [--frames N] [--width W] [--height H] [--scale S]
//
// The source image is the window's size times S (0.55 by default, where the automatic render
// scale settles), filled with a pattern; the full-size copies read an image of the window's size.
#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

const char* const vertexSource = R"(#version 430 core
layout(location = 0) in vec2 position;
out vec2 uv;
void main()
{
    uv = position * 0.5 + 0.5;
    gl_Position = vec4(position, 0.0, 1.0);
})";

// A fetch of one texel per pixel, no filtering.
const char* const fetchSource = R"(#version 430 core
uniform sampler2D image;
out vec4 fragColor;
void main()
{
    fragColor = texelFetch(image, ivec2(gl_FragCoord.xy), 0);
})";

// One filtered lookup per pixel.
const char* const sampleSource = R"(#version 430 core
uniform sampler2D image;
in vec2 uv;
out vec4 fragColor;
void main()
{
    fragColor = texture(image, uv);
})";

// One filtered lookup and a choice on its alpha, as the outlines' upscale makes it.
const char* const thresholdSource = R"(#version 430 core
uniform sampler2D image;
in vec2 uv;
out vec4 fragColor;
void main()
{
    vec4 c = texture(image, uv);
    fragColor = vec4(c.a > 0.5 ? vec3(0.0) : c.rgb, 1.0);
})";

// One colour, no texture.
const char* const flatSource = R"(#version 430 core
out vec4 fragColor;
void main()
{
    fragColor = vec4(0.2, 0.3, 0.4, 1.0);
})";

GLuint compile(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024];
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "shader: %s\n", log);
        std::exit(EXIT_FAILURE);
    }
    return shader;
}

GLuint program(const char* fragment)
{
    const GLuint id = glCreateProgram();
    glAttachShader(id, compile(GL_VERTEX_SHADER, vertexSource));
    glAttachShader(id, compile(GL_FRAGMENT_SHADER, fragment));
    glLinkProgram(id);
    return id;
}

// An RGBA8 image with a pattern in it, with its framebuffer (for the blits).
struct Image {
    GLuint texture = 0;
    GLuint framebuffer = 0;
    int width = 0;
    int height = 0;
};

Image makeImage(int width, int height, GLenum uploadFormat)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 4));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>((i * 7) ^ (i >> 9));
    Image image{0, 0, width, height};
    glGenTextures(1, &image.texture);
    glBindTexture(GL_TEXTURE_2D, image.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, uploadFormat, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glGenFramebuffers(1, &image.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, image.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, image.texture, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return image;
}

double percentile(std::vector<double> values, int percent)
{
    std::sort(values.begin(), values.end());
    return values[values.size() * static_cast<std::size_t>(percent) / 100];
}

} // namespace

int main(int argc, char** argv)
{
    int frames = 300;
    int width = 1000;
    int height = 750;
    float scale = 0.55f;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--frames")
            frames = std::max(10, std::atoi(argv[i + 1]));
        else if (arg == "--width")
            width = std::max(16, std::atoi(argv[i + 1]));
        else if (arg == "--height")
            height = std::max(16, std::atoi(argv[i + 1]));
        else if (arg == "--scale")
            scale = std::clamp(static_cast<float>(std::atof(argv[i + 1])), 0.1f, 1.0f);
        else {
            std::fprintf(stderr, "usage: %s [--frames N] [--width W] [--height H] [--scale S]\n", argv[0]);
            return EXIT_FAILURE;
        }
    }
    if (argc % 2 == 0) {
        std::fprintf(stderr, "usage: %s [--frames N] [--width W] [--height H] [--scale S]\n", argv[0]);
        return EXIT_FAILURE;
    }
    if (!glfwInit())
        return EXIT_FAILURE;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow* window = glfwCreateWindow(width, height, "Quillfen fill benchmark", nullptr, nullptr);
    if (!window)
        return EXIT_FAILURE;
    glfwMakeContextCurrent(window);
    glfwSwapInterval(0);
    glfwGetFramebufferSize(window, &width, &height);
    const int smallWidth = std::max(1, static_cast<int>(static_cast<float>(width) * scale + 0.5f));
    const int smallHeight = std::max(1, static_cast<int>(static_cast<float>(height) * scale + 0.5f));
    std::printf("renderer: %s\nwindow %d x %d, scaled image %d x %d, %d frames each\n\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)), width, height, smallWidth, smallHeight,
                frames);

    GLuint quadVao = 0;
    GLuint quadVbo = 0;
    const float quad[12] = {-1, -1, 1, -1, 1, 1, -1, -1, 1, 1, -1, 1};
    glGenVertexArrays(1, &quadVao);
    glBindVertexArray(quadVao);
    glGenBuffers(1, &quadVbo);
    glBindBuffer(GL_ARRAY_BUFFER, quadVbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(0);

    const Image full = makeImage(width, height, GL_RGBA);
    const Image small = makeImage(smallWidth, smallHeight, GL_RGBA);
    const Image smallBgra = makeImage(smallWidth, smallHeight, GL_BGRA);
    const GLuint fetch = program(fetchSource);
    const GLuint sample = program(sampleSource);
    const GLuint threshold = program(thresholdSource);
    const GLuint flat = program(flatSource);

    auto draw = [&](GLuint id, const Image& image) {
        return [&, id] {
            glUseProgram(id);
            glBindTexture(GL_TEXTURE_2D, image.texture);
            glDrawArrays(GL_TRIANGLES, 0, 6);
        };
    };
    auto blit = [&](const Image& image, GLenum filter) {
        return [&, filter] {
            glBindFramebuffer(GL_READ_FRAMEBUFFER, image.framebuffer);
            glBlitFramebuffer(0, 0, image.width, image.height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, filter);
            glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        };
    };
    struct Way {
        const char* name;
        std::function<void()> fill;
    };
    const Way ways[] = {
        {"clear", [] { glClearColor(0.2f, 0.3f, 0.4f, 1.0f); glClear(GL_COLOR_BUFFER_BIT); }},
        {"one colour", draw(flat, full)},
        {"copy, texelFetch, full size", draw(fetch, full)},
        {"copy, texture, full size", draw(sample, full)},
        {"upscale, texture (linear)", draw(sample, small)},
        {"upscale, texture, BGRA image", draw(sample, smallBgra)},
        {"upscale, texture + threshold", draw(threshold, small)},
        {"blit, full size, nearest", blit(full, GL_NEAREST)},
        {"upscale, blit, linear", blit(small, GL_LINEAR)},
        {"upscale, blit, nearest", blit(small, GL_NEAREST)},
    };

    GLuint query = 0;
    glGenQueries(1, &query);
    glViewport(0, 0, width, height);
    glDisable(GL_DEPTH_TEST);
    std::printf("%-32s %9s %8s %9s %9s\n", "fill", "wall ms", "p95 ms", "GPU ms", "swap ms");
    for (const Way& way : ways) {
        std::vector<double> wall;
        std::vector<double> gpu;
        std::vector<double> swap;
        // The first frames compile the driver's variants of the programs: not counted.
        for (int f = -10; f < frames; ++f) {
            const auto start = std::chrono::steady_clock::now();
            glBeginQuery(GL_TIME_ELAPSED, query);
            way.fill();
            glEndQuery(GL_TIME_ELAPSED);
            glFinish();
            const auto drawn = std::chrono::steady_clock::now();
            glfwSwapBuffers(window);
            glfwPollEvents();
            const auto shown = std::chrono::steady_clock::now();
            GLuint64 ns = 0;
            glGetQueryObjectui64v(query, GL_QUERY_RESULT, &ns);
            if (f < 0)
                continue;
            wall.push_back(std::chrono::duration<double, std::milli>(drawn - start).count());
            swap.push_back(std::chrono::duration<double, std::milli>(shown - drawn).count());
            gpu.push_back(static_cast<double>(ns) / 1e6);
        }
        auto mean = [](const std::vector<double>& v) {
            double sum = 0.0;
            for (double x : v)
                sum += x;
            return sum / static_cast<double>(v.size());
        };
        std::printf("%-32s %9.3f %8.3f %9.3f %9.3f\n", way.name, mean(wall), percentile(wall, 95), mean(gpu),
                    mean(swap));
    }
    glfwTerminate();
    return EXIT_SUCCESS;
}
