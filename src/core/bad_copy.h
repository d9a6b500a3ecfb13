// Copies of damaged files. Before anything replaces a file that was read
// damaged or only in part, its bytes are kept next to it as "<name>.BAD";
// a further copy becomes "<name>.BAD1", "<name>.BAD2" ... so no copy is
// ever written over.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tav {

// Writes `bytes` to the first free name of the row above and returns it;
// an empty path when no copy could be written. The copy has the original's
// rights (owner-only when they cannot be read) and is flushed to disk.
// When no copy could be written the original is marked as uncopied: it must
// not be replaced (see MayReplace) until a later copy of it succeeds.
std::filesystem::path KeepBadCopy(const std::filesystem::path& original, std::string_view bytes);

// The same for the file as it lies on disk now (an empty path when it
// cannot be read).
std::filesystem::path KeepBadCopyOfFile(const std::filesystem::path& original);

// Marks a file that is there but could not be read as uncopied: nothing of
// it could be kept, so it must not be replaced by what was read instead.
void KeepUnreadableFile(const std::filesystem::path& original);

// False for a file that was read damaged and could not be kept as a copy:
// writing over it would lose the only bytes of the damaged file.
bool MayReplace(const std::filesystem::path& original);
// The message that a save of `original` was refused for that reason.
std::string RefusedOverwriteMessage(const std::filesystem::path& original);
// Forgets every mark (a new start of the program's data).
void ForgetUncopiedFiles();

}  // namespace tav
