// The settings file DATA/GRD_DATA/GRD_DATA_01.GRD, rider folders and paths,
// the one-shot language marker, and the core's part of program start.
//
// Settings file layout (little-endian, 2488 bytes):
//   +0     int32      2001 (version)
//   +4     int32      CurrentRider (0..9)
//   +8     char[32]   CurrentRiderName (zero-terminated)
//   +40    10 x 120   RiderTable (RiderRecord)
//   +1240  uint16     RiderZones[10][3][10]
//   +1840  char[15][6] ZoneNames
//   +1930  2 bytes    zero
//   +1932  uint32[15] ZoneColors
//   +1992  uint32[16] ChartColors
//   +2056  int32      UnitFlags
//   +2060  int32[10]  SmoothLevel
//   +2100  uint8      LanguageIndex, uint8 CompactLayout, 2 bytes zero
//   +2104  float      ClimbGradeThreshold
//   +2108  int32[30]  DiaryColumnOrder
//   +2228  int32[30]  CalendarShows (3 records of 10)
//   +2348  int32[14]  Graf6Settings
//   +2404  float[10]  ScaleMin (word 9 = Graf6Scale)
//   +2444  float[10]  ScaleMax
//   +2484  int32      2001 (end mark)
// Every value read back is checked; one outside its range takes its default.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

inline constexpr std::size_t kSettingsFileBytes = 2488;

// File image of the current settings.
std::string EncodeSettings();
// Decodes a file image into the settings. Every field that lies whole in
// the image is read, whatever else is damaged; the others take their
// defaults. A wrong version word, length or end mark is named in
// `replaced`, and so is every value out of range (replaced by its default).
// Returns false when the version word, length or end mark was wrong.
bool DecodeSettings(std::string_view bytes, std::vector<std::string>* replaced = nullptr);
// Checks the settings in memory and replaces values out of range.
void ValidateSettings(std::vector<std::string>* replaced = nullptr);

// Loads SettingsPath. A missing file keeps the defaults (result true, no
// message); a damaged file is read as far as it can be trusted, reported in
// `message` and kept as a numbered .BAD copy. Afterwards the unit factors,
// ZoneCount and the rider paths are derived.
bool LoadSettings(std::string* message = nullptr);
// Writes SettingsPath (temporary file renamed into place), creating the
// settings folder when missing.
bool SaveSettings(std::string* error = nullptr);

// The save on every activation of the main window. A save that failed is
// not tried again before the settings change (each activation would fail
// the same way), and the failure is told once: `tell` gets its message the
// first time, and again only after a save has succeeded in between. True
// when the settings are on disk.
bool SaveSettingsOnActivation(std::string* tell = nullptr);

// MailSetPath and MailMemoPath in the settings folder; creates the folder.
bool SetupRiderPaths(std::string* error = nullptr);

// Rider folders: the sub-folders of DATA other than GRD_DATA and COLLECTION,
// sorted by name.
std::vector<std::string> ListRiderFolders();
// True for a rider name that only stands for a rider not yet named
// (it contains "NEW" or "RIDER_"); no folder is created for it.
bool IsPlaceholderRiderName(std::string_view name);
// True for a name usable as a folder name (printable, no path characters).
bool IsValidRiderName(std::string_view name);
// The RiderTable entry of a rider: the entry of that name, else the first
// free entry (one still holding a placeholder name); -1 when all ten
// entries belong to other riders.
int RiderEntryFor(std::string_view name);
// Makes `name` the current rider: CurrentRiderName, CurrentRider (its entry
// in RiderTable, or a free entry which takes the name), the rider paths, the
// rider folder (unless a placeholder name), the trip list (into TripList),
// the trip database, TripDates and ZoneCount. Messages about damaged files
// go to `message`; a list or database read damaged is marked changed, so it
// is saved as read. Returns false for an invalid name (nothing changed).
bool OpenRider(std::string_view name, std::string* message = nullptr);

// One-shot language marker LANG.TXT in `folder`: when its text begins with
// "EN_" the language becomes English with all five unit options set, with
// "DE_" German and with "ES_" Spanish, both with all unit options cleared;
// the file is then deleted. Other texts leave everything (and the file)
// alone. Returns true when a marker was applied.
bool ApplyLangMarker(const std::filesystem::path& folder);

// The core's part of program start: derives all paths from the program
// folder, creates the settings folder and the current rider's folder (unless
// a placeholder name), loads the settings, applies the language marker,
// loads the rider's trip list and trip database. Messages for the user
// (damaged files) are appended to `messages`.
void StartCore(std::string_view programDir, std::vector<std::string>* messages = nullptr);

}  // namespace tav
