// Trip list lines: bounds-safe access to the parts of a line, the free-slot
// line, slot choice, the trip date index, the trip list file and the
// collection list.
//
// A trip line: key (8 date digits, '_', 6 time digits, kind digit at index
// 15, '_' and a source rest), ';', three-digit slot optionally followed by
// "PF", ';', optional '*' and a comment; a second remark follows "|~\xA7". A
// manual entry has four time digits, "NR" at 13-14 and no trip file. The last
// line "ERASED :" lists the free slots, each ended by ';'.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/trip_types.h"
#include "platform/strings.h"

namespace tav {

// Separator in front of the second remark ("|~" + byte 0xA7).
inline constexpr std::string_view kSecondRemarkMark = "|~\xA7";
inline constexpr std::string_view kFreeSlotPrefix = "ERASED :";

// --- parts of a line (never read past its end) ---
std::string_view LineKey(std::string_view line);       // text before the first ';' (all if none)
bool LineHasSemicolon(std::string_view line);
bool IsFreeSlotListLine(std::string_view line);            // begins with "ER"
bool IsManualLine(std::string_view line);              // 'N' at 13 or 'R' at 14
int LineSportDigit(std::string_view line);             // digit at 15, -1 when none
// Date digits 0-7; false when they are not a valid date.
bool LineDate(std::string_view line, int& year, int& month, int& day);
// Time digits from 9: six for trips (h, m, s), four for manual entries (s = 0).
bool LineTime(std::string_view line, int& hour, int& minute, int& second);
int32_t LineDateValue(std::string_view line);          // 0 when the date is bad
// Statistics slot after the first ';' (leading digits); nullopt when none.
std::optional<int> LineSlot(std::string_view line);
// The slot when it indexes the tables (0..999), else nullopt.
std::optional<int> LineTableSlot(std::string_view line);
bool LineHasPF(std::string_view line);                 // "PF" right after the slot digits
// Comment: text after the first '*' up to the first '|' (or the end).
std::string LineComment(std::string_view line);
// Whole tail after the first '*' (comment and second remark), "" when none.
std::string LineTail(std::string_view line);
// Second remark: text after "|~\xA7", "" when none.
std::string LineSecondRemark(std::string_view line);
// Replaces "PF" after the slot by "__"; false when the line has none.
bool ClearLinePF(std::string& line);
// A well-formed trip or manual line (at least 16 characters, valid date, ';').
bool IsTripLine(std::string_view line);

// --- free slots ---
// Slot numbers of a free-slot line (three-digit or plain decimals, each
// ended by ';'); bad entries are skipped.
std::vector<int> ParseFreeSlots(std::string_view line);
int FreeSlotLineIndex(const TStringList& list);                 // -1 when none
// Appends a freed slot (decimal, no leading zeros) to the free-slot line,
// adding the line when missing.
void AddFreeSlot(TStringList& list, int slot);
// Highest slot used by a trip or manual line (0 when none).
int HighestSlotInUse(const TStringList& list);

// Chooses the slot for a new line: the first usable slot of the free-slot
// line (removed from it), else the highest slot in use + 1, which becomes
// TripCounter; a slot is handed out only within 1..998 and when no line
// uses it. Stores it in CurrentTripSlot and switches the sorted mode off.
// Returns the slot, or -1 with a message when no slot is free.
int NextTripNumber(TStringList& list, std::string* error = nullptr);

// --- dates ---
// Date value: whole days since 30 December 1899.
int32_t DateValue(int year, int month, int day);
void DateOfValue(int32_t value, int& year, int& month, int& day);
bool ValidDate(int year, int month, int day);
// 1 Monday .. 7 Sunday of a date value.
int IsoWeekday(int32_t value);

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
// Saves the list to TripListPath and the trip database to TripDatabasePath;
// clears TripListChanged when both were written.
bool SaveTripList(const TStringList& list, std::string* error = nullptr);

// Joining two trips keeps the folder consistent across a crash: the joined
// records wait in "<trip 1's file>.JOIN", the journal "<trip list>.JOIN"
// names trip 1's file and trip 2's list line, then the list is saved
// without trip 2 and the joined records take trip 1's file.
std::filesystem::path JoinJournalPath();
// Writes the journal (trip 1's file name, trip 2's line) in one step.
bool WriteJoinJournal(const std::string& tripFileName, const std::string& secondLine,
                      std::string* error = nullptr);
// After the list without trip 2 was saved: the joined records take trip 1's
// file and the journal goes.
bool CompleteJoin(const std::string& tripFileName, std::string* error = nullptr);
// On loading a rider: a join the journal names is finished (trip 2's line
// leaves the list, trip 1's slot is marked for recomputing, the list is
// saved, the joined records take trip 1's file); joined records left
// without a journal are removed. False with a message when it could not be
// finished; the journal then stays for the next load.
bool FinishPendingJoin(TStringList& list, std::string* message = nullptr);

// Writes the lines of `selected` to the collection list as name and slot
// followed by "PF;" (a line without ';' has no slot and is left out).
bool WriteCollectionList(const TStringList& selected, std::string* error = nullptr);
bool WriteCollectionList(std::string* error = nullptr);  // SelectedTrips

// Full paths of the trip files of the selected lines that exist (manual
// entries and lines without ';' left out), in order.
std::vector<std::string> ListTripFilePaths(const TStringList& selected);

// Files a trip held in TripSamples: fills the header's threshold, weight and
// kind from the current rider, picks a slot (NextTripNumber), writes
// "<key>.DEO" to RiderDir, adds the line "<key>;<slot>;*<comment>" to the
// list in sorted mode, evaluates the slot and saves list and database.
// `key` is the trip key (date, time, kind digit and source rest).
bool StoreNewTrip(TStringList& list, std::string_view key, std::string_view comment,
                  std::string* error = nullptr);
// The comment a filed trip starts with: "BIKE POWER", "BIKE HR" or "RUN".
std::string SportComment(int sport);
// Trip key "YYYYMMDD_hhmmssK_rest".
std::string MakeTripKey(int year, int month, int day, int hour, int minute, int second, int sport,
                        std::string_view rest);

}  // namespace tav
