#include "core/file_paths.h"

#include "platform/strings.h"
#include "platform/text.h"

namespace tav {

bool ReadRegularFile(const std::filesystem::path& path, std::string& bytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  return ReadWholeFile(path, bytes);
}

std::filesystem::path FsPath(std::string_view cp1252) {
  std::string utf8 = Cp1252ToUtf8(cp1252);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathText(const std::filesystem::path& path) {
  std::u8string u = path.u8string();
  return Utf8ToCp1252(std::string(u.begin(), u.end()));
}

std::string JoinPath(std::string_view a, std::string_view b) {
  if (a.empty()) return std::string(b);
  return PathText(FsPath(a) / FsPath(b));
}

}  // namespace tav
