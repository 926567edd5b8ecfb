#pragma once

#include <filesystem>
#include <string>

// Saves what the window shows (the default framebuffer's back buffer, fully drawn) as
// "quillfen-YYYYMMDD-HHMMSS.png" in `folder`, named by the local time; a name already taken
// gets "-2", "-3", ... so no screenshot is ever overwritten. Returns the file's path, or an
// empty path with the reason in `error`.
std::filesystem::path writeScreenshot(const std::filesystem::path& folder, int width, int height, std::string& error);
