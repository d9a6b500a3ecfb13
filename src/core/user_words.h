// Texts the core gives the user in the chosen language (LanguageIndex: 0
// German, 2 Spanish, any other value English), as Windows-1252 bytes: the
// reason a file could not be written or read, named with the file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tav {

// The text of the chosen language out of a German, an English and a
// Spanish one.
std::string Words(std::string_view de, std::string_view en, std::string_view es);

// Why a step on a file failed, from its errno ("the disk is full" ...).
std::string FileErrorReason(int error_number);
// "The file <path> cannot be written: <reason>."
std::string CannotWriteMessage(const std::filesystem::path& path, int error_number);

}  // namespace tav
