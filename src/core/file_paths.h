// Paths of the program's files: Windows-1252 texts (as the data files and
// the windows hold them) turned into file-system paths and back, and the
// whole-file read every loader starts with. Touches no process-wide data.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tav {

// Reads a whole file, but only a regular one: a folder or device where a
// file is expected gives false (instead of an unbounded read).
bool ReadRegularFile(const std::filesystem::path& path, std::string& bytes);

std::filesystem::path FsPath(std::string_view cp1252);
std::string PathText(const std::filesystem::path& path);
// a + separator + b for texts of paths.
std::string JoinPath(std::string_view a, std::string_view b);

}  // namespace tav
