#pragma once

#include <string>

// The asset directory, relative to the working directory: the game runs from build/bin.
extern const std::string assetRoot;

// assetRoot immediately followed by the relative path; nothing is added or normalised.
std::string assetPath(std::string relative);

// Writes one message to standard output, followed by an end-of-line, and flushes.
void logMessage(std::string message);

// The whole file as text; on failure an error message, a listing of the working
// directory, and an empty string.
std::string readFile(std::string path);
