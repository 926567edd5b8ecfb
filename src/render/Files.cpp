#include "render/Files.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

const std::string assetRoot = "../../assets/";

std::string assetPath(std::string relative)
{
    return assetRoot + relative;
}

void logMessage(std::string message)
{
    std::cout << message << std::endl;
}

std::string readFile(std::string path)
{
    std::ifstream file;
    std::stringstream content;
    file.exceptions(std::ifstream::failbit | std::ifstream::badbit);
    try {
        file.open(path);
        // Reading an empty file through the stream buffer sets failbit; an empty file is not an error.
        if (file.peek() != std::ifstream::traits_type::eof())
            content << file.rdbuf();
        file.close();
    } catch (const std::ifstream::failure&) {
        logMessage("ERROR - failed to read file: " + path);
        // Show where the game was looking from, to help a player whose working directory is wrong.
        std::cout.flush();
        if (std::system("dir") != 0)
            logMessage("(could not list the working directory)");
        return "";
    }
    return content.str();
}
