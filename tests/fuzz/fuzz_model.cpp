// Model loading through the game's own model code, on a glTF file and the .bin beside it.
// An input is the glTF text, then optionally "\n--bin--\n" and the bytes of "model.bin".
#include "FuzzSupport.h"

#include "render/Model.h"

#include <string>
#include <string_view>

namespace {

constexpr std::string_view binMarker = "\n--bin--\n";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::silenceOutput();
    fuzzkit::openGlContext();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t marker = input.find(binMarker);
    const std::string folder = fuzzkit::scratchFolder();
    fuzzkit::writeFile(folder + "/model.gltf", input.substr(0, marker));
    fuzzkit::writeFile(folder + "/model.bin",
                       marker == std::string_view::npos ? std::string_view() : input.substr(marker + binMarker.size()));

    Model model(folder + "/model.gltf", nullptr);
    // Whatever the file says, what the game will draw must stay inside its own buffers.
    for (const auto& mesh : model.meshes) {
        fuzzkit::require(mesh != nullptr, "an empty mesh slot");
        fuzzkit::require(mesh->positions.size() == mesh->vertices.size(), "positions and vertices differ in number");
        fuzzkit::require(mesh->indices.size() % 3 == 0, "indices that are not whole triangles");
        for (const std::uint32_t index : mesh->indices)
            fuzzkit::require(index < mesh->vertices.size(), "an index past the mesh's vertices");
    }
    return 0;
}
