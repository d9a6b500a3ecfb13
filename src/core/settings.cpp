#include "core/settings.h"

namespace tav {
std::string EncodeSettings() { return {}; }
bool DecodeSettings(std::string_view, std::vector<std::string>*) { return false; }
void ValidateSettings(std::vector<std::string>*) {}
bool LoadSettings(std::string*) { return true; }
bool SaveSettings(std::string*) { return true; }
bool SetupRiderPaths(std::string*) { return true; }
std::vector<std::string> ListRiderFolders() { return {}; }
bool IsPlaceholderRiderName(std::string_view) { return false; }
bool IsValidRiderName(std::string_view) { return true; }
bool OpenRider(std::string_view, std::string*) { return true; }
bool ApplyLangMarker(const std::filesystem::path&) { return false; }
void StartCore(std::string_view, std::vector<std::string>*) {}
}  // namespace tav
