// Copies of damaged files. Before anything replaces a file that was read
// damaged or only in part, its bytes are kept next to it as "<name>.BAD";
// a further copy becomes "<name>.BAD1", "<name>.BAD2" ... so no copy is
// ever written over.
#pragma once

#include <filesystem>
#include <string_view>

namespace tav {

// Writes `bytes` to the first free name of the row above and returns it;
// an empty path when no copy could be written. The copy has the original's
// rights (owner-only when they cannot be read) and is flushed to disk.
std::filesystem::path KeepBadCopy(const std::filesystem::path& original, std::string_view bytes);

// The same for the file as it lies on disk now (an empty path when it
// cannot be read).
std::filesystem::path KeepBadCopyOfFile(const std::filesystem::path& original);

}  // namespace tav
