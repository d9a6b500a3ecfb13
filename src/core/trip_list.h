// Trip lists: the free-slot line, slot choice, the trip date index, the
// trip list file and the collection list. The parts of a single line are
// read through trip_line.h; saving a list together with the trip database,
// filing a new trip and joining two trips are in trip_catalog.h.
//
// A list holds trip lines (see trip_line.h); its last line "ERASED :"
// lists the free slots, each ended by ';'.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/trip_line.h"
#include "core/trip_types.h"
#include "platform/strings.h"

namespace tav {

inline constexpr std::string_view kFreeSlotPrefix = "ERASED :";

// --- free slots ---
// Slot numbers of a free-slot line (three-digit or plain decimals, each
// ended by ';'); bad entries are skipped.
std::vector<int> ParseFreeSlots(std::string_view line);
int FreeSlotLineIndex(const TStringList& list);                 // -1 when none
// Appends a freed slot (decimal, no leading zeros) to the free-slot line,
// adding the line when missing.
void AddFreeSlot(TStringList& list, int slot);
// Takes every entry `slot` out of the free-slot line (the other bytes of the
// line stay); true when there was one.
bool TakeFreeSlot(TStringList& list, int slot);
// Highest slot used by a trip or manual line (0 when none).
int HighestSlotInUse(const TStringList& list);

// Chooses the slot for a new line: the first usable slot of the free-slot
// line (removed from it), else the highest slot in use + 1, which becomes
// TripCounter; a slot is handed out only within 1..998 and when no line
// uses it. Stores it in CurrentTripSlot and switches the sorted mode off.
// Returns the slot, or -1 with a message when no slot is free.
int NextTripNumber(TStringList& list, std::string* error = nullptr);

// --- date index ---
// Rebuilds TripDates (one entry per line, slot 0 for manual entries), and
// TripFirstDate / TripLastDate, from the list.
void BuildTripDateIndex(const TStringList& list);
void BuildTripDateIndex();  // over TripList

// --- files ---
// What reading a trip list found damaged.
struct TripListDamage {
  int DroppedLines = 0;      // lines left out (no trip line, or the cut last line)
  bool LastLineCut = false;  // the text does not end with a line break
  bool FreeSlotLineMissing = false;  // a text with lines but no free-slot line (always written last)
  bool Damaged() const { return DroppedLines > 0 || LastLineCut || FreeSlotLineMissing; }
};
// The lines of a trip list file's text, as LoadTripListFile takes them:
// empty lines are skipped, lines that are no trip line are left out, and so
// is a last line without its line break (of a cut free-slot line the
// entries ended by ';' are kept); the free-slot line is made the last line
// (added when missing; in a file that is not empty its absence is damage).
TripListDamage ParseTripList(std::string_view text, TStringList& list);
// Trip files (*.DEO) in `folder` whose name no line of `list` names.
int UnlistedTripFiles(const std::filesystem::path& folder, const TStringList& list);
// Reads "%s/%s.T_L" of the current rider into `list` (ParseTripList). A
// damaged list is reported in `message`, which also says how many trip
// files of the rider's folder no line names, and the original file is kept
// as a numbered .BAD copy. A missing file gives a list with the free-slot
// line only and returns true; false only when the file cannot be read.
bool LoadTripList(TStringList& list, std::string* message = nullptr);
bool LoadTripListFile(const std::filesystem::path& path, TStringList& list,
                      std::string* message = nullptr);
bool SaveTripListFile(const std::filesystem::path& path, const TStringList& list,
                      std::string* error = nullptr);

// Writes the lines of `selected` to the collection list as name and slot
// followed by "PF;" (a line without ';' has no slot and is left out).
bool WriteCollectionList(const TStringList& selected, std::string* error = nullptr);
bool WriteCollectionList(std::string* error = nullptr);  // SelectedTrips

// Full paths of the trip files of the selected lines that exist (manual
// entries and lines without ';' left out), in order.
std::vector<std::string> ListTripFilePaths(const TStringList& selected);

// The comment a filed trip starts with: "BIKE POWER", "BIKE HR" or "RUN".
std::string SportComment(int sport);
// Trip key "YYYYMMDD_hhmmssK_rest".
std::string MakeTripKey(int year, int month, int day, int hour, int minute, int second, int sport,
                        std::string_view rest);

}  // namespace tav
